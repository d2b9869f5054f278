#include "format/layer_parser.h"

#include <locale.h>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

#include "engine/base_layer.h"
#include "engine/color.h"
#include "engine/error_reporter.h"
#include "engine/layer_kinds.h"
#include "engine/multi_base_layer.h"
#include "engine/property_table.h"
#include "engine/texture_map.h"

namespace quillon {

namespace {

constexpr double kByteToUnit = 0.00392156862745098;  // 1 / 255

constexpr const char* kEnumerationMessages[] = {
    "Unexpected Combine Function(%s)",  "Unexpected Coordinate Function(%s)",
    "Unexpected Cut Type(%s)",          "Unexpected Noise Function(%s)",
    "Unexpected Turbulence Type(%s)",   "Unexpected Color Mapping Function(%s)",
    "Unexpected screen saver type(%s)",
};
static_assert(std::size(kEnumerationMessages) == static_cast<std::size_t>(FileEnumeration::Count));

constexpr const char* kUpgradeLine =
    "Please download the newest version of Quillon from the Veltrana web site.";

// Decimal conversion that ignores the user's locale (a GUI may have set one
// with a decimal comma). Out-of-range values become the nearest finite one.
double ConvertReal(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const double v = strtod_l(text.c_str(), nullptr, cLocale);
    if (std::isinf(v)) return v > 0 ? DBL_MAX : -DBL_MAX;
    return v;
}

// The leading integer of the token ("12e3" gives 12), saturated.
int ConvertInteger(std::string_view text) {
    long long v = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), v);
    if (result.ec == std::errc::result_out_of_range) {
        return (!text.empty() && text[0] == '-') ? std::numeric_limits<int>::min()
                                                 : std::numeric_limits<int>::max();
    }
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

float ToStoredFloat(double v) {
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}

std::string FormatVersion(double version) {
    char buf[400];
    const auto result = std::to_chars(buf, buf + sizeof buf, version, std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(buf, result.ptr) : std::string("?");
}

}  // namespace

LayerParser::LayerParser(const std::filesystem::path& path, LineEnds lineEnds)
    : SimpleLexer(path, lineEnds) {}

LayerParser::LayerParser(std::unique_ptr<std::istream> input, std::string fileName,
                         LineEnds lineEnds)
    : SimpleLexer(std::move(input), std::move(fileName), lineEnds) {}

LayerParser::~LayerParser() = default;

void LayerParser::ReportError(std::string_view message) const {
    SimpleLexer::ReportError(message);
}

bool LayerParser::TakeText(TokenStatus status, std::string& text) {
    switch (status) {
        case TokenStatus::Error:
            ReportError(LastError());
            return false;
        case TokenStatus::Overflow:
            ReportError("Token buffer overflowed");
            return false;
        default:
            text = TokenString();
            return true;
    }
}

bool LayerParser::ReadKeyword(std::string& word) {
    return TakeText(ReadIdentifier(), word);
}

bool LayerParser::Expect(char c, const char* message) {
    if (ExpectSilently(c)) return true;
    ReportError(message);
    return false;
}

bool LayerParser::ExpectSilently(char c) {
    SkipBlanks();
    const int got = Get();
    if (got == c) return true;
    Unget(got);
    return false;
}

bool LayerParser::ReadVersion(const char* what) {
    double version = 0.0;
    if (!ReadReal(version)) return false;
    if (version > kFileVersion) {
        std::string message = "Cannot load Quillon Version " + FormatVersion(version) + " " + what +
                              ".\n" + kUpgradeLine;
        quillon::ReportError(message);
        return false;
    }
    m_version = version;
    return true;
}

bool LayerParser::ParseFile(TextureMap* target) {
    if (target) target->RemoveAll();
    m_result.reset();
    std::string word;
    while (Peek() != kEndOfInput) {
        if (!ReadKeyword(word) || !ParseFileBlock(word, target)) {
            // Half-read layers are of no use to anyone.
            m_result.reset();
            return false;
        }
    }
    return true;
}

bool LayerParser::ParseFileBlock(const std::string& word, TextureMap* target) {
    if (word == "VERSION") return ReadVersion("file");
    // The target is read as a texture map whatever class derives from it.
    if (word == TextureMap::kKeyword && target) return target->TextureMap::ReadBlock(*this);
    const LayerKind* kind = FindLayerKind(word, false);
    if (!kind) {
        ReportErrorFormat("Invalid Token(%s)", word.c_str());
        return false;
    }
    std::unique_ptr<BaseLayer> layer = kind->create();
    if (!layer->ReadBlock(*this)) return false;
    if (target) {
        target->AddLast(std::move(layer));
    } else {
        m_result = std::move(layer);
    }
    return true;
}

bool LayerParser::ParseColorMapFile(ColorMap& target) {
    m_colorMapRead = false;
    std::string word;
    while (Peek() != kEndOfInput) {
        if (!ReadKeyword(word)) return false;
        if (word == "VERSION") {
            if (!ReadVersion("color map")) return false;
        } else if (word == "COLORMAP") {
            if (!ReadColorMap(target)) return false;
            m_colorMapRead = true;
        } else {
            ReportErrorFormat("Invalid Token(%s) in parse()", word.c_str());
            return false;
        }
    }
    return true;
}

bool LayerParser::ReadInteger(int& value) {
    switch (ReadNumber()) {
        case TokenStatus::Integer:
            value = ConvertInteger(Token());
            return true;
        case TokenStatus::Overflow:
            ReportError("Token buffer overflowed in reading integer");
            return false;
        default:
            ReportError("Syntax Error(integer expected)");
            return false;
    }
}

bool LayerParser::ReadReal(double& value) {
    switch (ReadNumber()) {
        case TokenStatus::Integer:
        case TokenStatus::Real:
            value = ConvertReal(TokenString());
            return true;
        case TokenStatus::Overflow:
            ReportError("Token buffer overflowed in reading floating point number");
            return false;
        default:
            ReportError("Syntax Error(floating point number expected)");
            return false;
    }
}

bool LayerParser::ReadBoolean(bool& value) {
    if (ReadIdentifier() == TokenStatus::Ok) {
        if (Token() == "TRUE") {
            value = true;
            return true;
        }
        if (Token() == "FALSE") {
            value = false;
            return true;
        }
    }
    ReportError("Syntax Error(TRUE or FALSE expected)");
    return false;
}

bool LayerParser::ReadString(std::string& value) {
    return TakeText(ReadQuotedString(), value);
}

bool LayerParser::ReadRandomNumber(RandomNumber& value) {
    double v = 0.0;
    if (Peek() != '(') {
        if (!ReadReal(v)) return false;
        value = RandomNumber(ToStoredFloat(v));
        return true;
    }
    Get();
    RandomNumber result;
    result.SetRandom(true);
    while (true) {
        if (!ReadReal(v)) return false;
        result.AddNumber(ToStoredFloat(v));
        const int c = Peek();
        if (c == ',') {
            Get();
            if (result.Count() == RandomNumber::kMaxNumbers) break;
        } else if (c == ')' || result.Count() == RandomNumber::kMaxNumbers) {
            break;
        }
    }
    if (!Expect(')', "Syntax Error(missing ')') in random number")) return false;
    value = result;
    return true;
}

bool LayerParser::ReadRandomTriple(RandomNumber& x, RandomNumber& y, RandomNumber& z) {
    static constexpr const char* kComma = "Syntax Error(expecting ',') in random number reader.";
    return Expect('(', "Syntax Error(expecting '(') in random number reader.") &&
           ReadRandomNumber(x) && Expect(',', kComma) && ReadRandomNumber(y) &&
           Expect(',', kComma) && ReadRandomNumber(z) &&
           Expect(')', "Syntax Error(expecting ')') in random number reader.");
}

bool LayerParser::ReadEnumeration(FileEnumeration kind, int& value) {
    const TokenStatus status = ReadIdentifier();
    const std::string name = TokenString();
    const int found = status == TokenStatus::Ok ? FindEnumerationValue(kind, name) : -1;
    if (found < 0) {
        ReportErrorFormat(kEnumerationMessages[static_cast<std::size_t>(kind)], name.c_str());
        return false;
    }
    value = found;
    return true;
}

bool LayerParser::ReadColorComponents(Color& colour) {
    static constexpr const char* kComma = "Syntax Error(expecting ',') in indexed color";
    double rgb[3] = {0.0, 0.0, 0.0};
    for (double& component : rgb) {
        if (!Expect(',', kComma)) return false;
        if (m_version >= 0.6) {
            int byte = 0;
            if (!ReadInteger(byte)) return false;
            component = byte * kByteToUnit;
        } else if (!ReadReal(component)) {
            return false;
        }
    }
    RandomNumber opacity;
    if (!Expect(',', kComma) || !ReadRandomNumber(opacity)) return false;
    colour = Color(rgb[0], rgb[1], rgb[2], opacity);
    return true;
}

bool LayerParser::ReadIndexedColor(bool isRandom, IndexedColor& entry) {
    int index = 0;
    if (!Expect('(', "Syntax Error(expecting '(') in indexed color") || !ReadInteger(index)) {
        return false;
    }
    Color first;
    if (!ReadColorComponents(first)) return false;
    const bool hasSecond = isRandom && m_version >= 0.6;
    Color second = first;
    if (hasSecond && !ReadColorComponents(second)) return false;
    if (!Expect(')', "Syntax Error(missing ')') in indexed color")) return false;
    entry = hasSecond ? IndexedColor(index, first, second) : IndexedColor(index, first);
    return true;
}

bool LayerParser::ReadColorMap(ColorMap& map) {
    if (ReadIdentifier() != TokenStatus::Ok || Token() != "SIZE") {
        ReportError("Syntax Error(expecting SIZE) in color map");
        return false;
    }
    int count = 0;
    if (!ReadInteger(count)) return false;
    if (count < 0) {
        ReportErrorFormat("Syntax Error(negative size %d) in color map", count);
        return false;
    }
    bool isRandom = false;
    if (m_version > 1.0) {
        if (ReadIdentifier() != TokenStatus::Ok || Token() != "RANDOM") {
            ReportError("Syntax Error(expecting RANDOM) in color map");
            return false;
        }
        if (!ReadBoolean(isRandom)) return false;
    }
    map.RemoveAllEntries();
    // Set before the entries too, so that each keeps its second colour.
    map.SetRandom(isRandom);
    // No reservation for count: the file may lie about it.
    for (int k = 0; k < count; ++k) {
        IndexedColor entry;
        if (!ReadIndexedColor(isRandom, entry)) return false;
        map.AddEntry(entry);
    }
    map.SetRandom(isRandom);
    return true;
}

KeywordResult LayerParser::ReadCommonProperty(BaseLayer& layer, std::string_view keyword) {
    // Each kind writes its colour map where its block has it; any block
    // may hold one.
    if (keyword == "COLORMAP") return ReadResult(ReadColorMap(layer.GetColorMap()));
    return ReadProperty(*this, BaseLayer::CommonProperties(), layer, keyword);
}

bool LayerParser::ReadLayerBlock(BaseLayer& layer, const BlockMessages& messages,
                                 const KeywordReader& ownKeyword) {
    std::string text;
    if (!ReadString(text)) return false;
    layer.SetName(text);
    if (!Expect('{', messages.opening)) return false;
    while (true) {
        const int c = Peek();
        if (c == '}' || c == kEndOfInput) break;
        if (!ReadKeyword(text)) return false;
        KeywordResult result = ReadCommonProperty(layer, text);
        if (result == KeywordResult::Unknown && ownKeyword) result = ownKeyword(text);
        if (result == KeywordResult::Failed) return false;
        if (result == KeywordResult::Unknown) {
            ReportErrorFormat(messages.invalidToken, text.c_str());
            return false;
        }
    }
    return Expect('}', messages.closing);
}

bool LayerParser::ReadLayerList(MultiBaseLayer& container) {
    // Every level costs stack in the readers, and later in rendering,
    // cloning, writing and destroying the tree.
    if (m_depth >= kMaxNestingDepth) {
        ReportErrorFormat("Layers nested too deeply (more than %d levels)", kMaxNestingDepth);
        return false;
    }
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(m_depth);

    if (!Expect('{', "Syntax Error(expecting '{') in multilayer.")) return false;
    std::string word;
    while (true) {
        const int c = Peek();
        if (c == '}' || c == kEndOfInput) break;
        if (!ReadKeyword(word)) return false;
        const LayerKind* kind = FindLayerKind(word, true);
        if (!kind) {
            ReportErrorFormat("Invalid Token(%s) in multilayer.", word.c_str());
            return false;
        }
        std::unique_ptr<BaseLayer> layer = kind->create();
        if (!layer->ReadBlock(*this)) return false;
        container.AddLast(std::move(layer));
    }
    return Expect('}', "Syntax Error(missing '}') in multilayer.");
}

}  // namespace quillon
