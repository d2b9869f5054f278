#include "engine/block_io.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <span>

#include "engine/base_layer.h"
#include "engine/color.h"
#include "engine/multi_base_layer.h"

namespace quillon {

namespace {

constexpr std::array<std::string_view, 7> kCombineNames = {
    "OPAQUE", "TRANSPARENT", "SHADE", "ADDITIVE", "SUBTRACTIVE", "MULTIPLY", "DISABLE"};
constexpr std::array<std::string_view, 4> kCoordinateNames = {"NONE", "LINEAR", "CYLINDRICAL",
                                                              "SPHERICAL"};
constexpr std::array<std::string_view, 4> kCutNames = {"PLANE", "CYLINDER", "YCYLINDER", "TOROID"};
constexpr std::array<std::string_view, 6> kNoiseNames = {"VALUE",       "GRADIENT",   "VALGRAD",
                                                         "CONVOLUTION", "SPARSECONV", "GRID"};
constexpr std::array<std::string_view, 4> kTurbulenceNames = {"NONE", "NOISE", "TURBULENCE",
                                                              "FRACTALSUM"};
constexpr std::array<std::string_view, 3> kColorMappingNames = {"SCALE", "TRIG", "MODULUS"};
constexpr std::array<std::string_view, 5> kScreenSaverNames = {"EXPAND", "TILE", "XMIRROR",
                                                               "YMIRROR", "CURRENT"};

std::span<const std::string_view> Table(FileEnumeration kind) {
    switch (kind) {
        case FileEnumeration::CombineFunction:
            return kCombineNames;
        case FileEnumeration::CoordinateFunction:
            return kCoordinateNames;
        case FileEnumeration::CutType:
            return kCutNames;
        case FileEnumeration::NoiseFunction:
            return kNoiseNames;
        case FileEnumeration::TurbulenceType:
            return kTurbulenceNames;
        case FileEnumeration::ColorMapping:
            return kColorMappingNames;
        case FileEnumeration::ScreenSaverType:
            return kScreenSaverNames;
    }
    return {};
}

std::string FormatGeneral(double value) {
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, result.ptr);
}

}  // namespace

std::string_view EnumerationName(FileEnumeration kind, int value) {
    const auto table = Table(kind);
    if (value < 0 || static_cast<std::size_t>(value) >= table.size()) return {};
    return table[static_cast<std::size_t>(value)];
}

int FindEnumerationValue(FileEnumeration kind, std::string_view name) {
    const auto table = Table(kind);
    for (std::size_t k = 0; k < table.size(); ++k) {
        if (table[k] == name) return static_cast<int>(k);
    }
    return -1;
}

std::string_view CombineFuncName(CombineFunc function) {
    const std::string_view name =
        EnumerationName(FileEnumeration::CombineFunction, static_cast<int>(function));
    return name.empty() ? kCombineNames[0] : name;
}

std::string_view ColorMappingName(const BaseColorFunctor& functor) {
    if (dynamic_cast<const ModulusColorFunctor*>(&functor)) return "MODULUS";
    if (dynamic_cast<const CosineColorFunctor*>(&functor)) return "TRIG";
    return "SCALE";
}

std::string FormatReal(double value) {
    if (std::isnan(value)) return "0";
    if (std::isinf(value)) value = value > 0 ? DBL_MAX : -DBL_MAX;
    return FormatGeneral(value);
}

std::string FormatFloat(float value) {
    if (std::isnan(value)) return "0";
    if (std::isinf(value)) value = value > 0 ? FLT_MAX : -FLT_MAX;
    return FormatGeneral(static_cast<double>(value));
}

std::string_view BooleanKeyword(bool value) {
    return value ? "TRUE" : "FALSE";
}

std::string CleanFileText(std::string_view text) {
    std::string clean(text.substr(0, kMaxFileTextLength));
    for (char& c : clean) {
        if (c == '"') c = '\'';
    }
    return clean;
}

void RandomNumber::Write(std::ostream& out) const {
    if (!m_isRandom) {
        out << FormatFloat(m_count > 0 ? m_numbers[0] : 0.0f);
        return;
    }
    out << '(';
    for (int k = 0; k < m_count; ++k) {
        if (k > 0) out << ", ";
        out << FormatFloat(m_numbers[k]);
    }
    out << ')';
}

void WriteBlockStart(std::ostream& out, const std::string& indent, std::string_view keyword,
                     const std::string& name) {
    out << indent << keyword << " \"" << CleanFileText(name) << "\" {\n";
}

void WriteLayerList(std::ostream& out, const std::string& indent, const MultiBaseLayer& layer) {
    out << indent << "\tLAYERS {\n";
    const std::string childIndent = indent + "\t\t";
    for (int k = 0; k < layer.Count(); ++k) layer.Child(k)->Write(out, childIndent);
    out << indent << "\t}\n";
}

void WriteColorMapLine(std::ostream& out, const std::string& indent, const ColorMap& map) {
    out << indent << "\tCOLORMAP ";
    map.Write(out, indent + "\t");
}

void BlockReader::ReportErrorFormat(const char* format, ...) const {
    char message[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    ReportError(message);
}

bool BlockReader::ReadCombineFunction(CombineFunc& value) {
    int v = 0;
    if (!ReadEnumeration(FileEnumeration::CombineFunction, v)) return false;
    value = static_cast<CombineFunc>(v);
    return true;
}

bool BlockReader::ReadColorMapping(std::unique_ptr<BaseColorFunctor>& functor) {
    int v = 0;
    if (!ReadEnumeration(FileEnumeration::ColorMapping, v)) return false;
    switch (v) {
        case 1:
            functor = std::make_unique<CosineColorFunctor>(2.0f, 0.0f);
            break;
        case 2:
            functor = std::make_unique<ModulusColorFunctor>(1.0f);
            break;
        default:
            functor = std::make_unique<ScaleColorFunctor>();
            break;
    }
    return true;
}

bool LayerSizeReader::Read(int& side, const char* message) {
    int value = 0;
    if (!m_reader.ReadInteger(value)) return false;
    if (value < 1) {
        m_reader.ReportErrorFormat(message, value);
        return false;
    }
    side = value;
    m_applied = false;
    return m_width == 0 || m_height == 0 || Apply(m_width, m_height);
}

bool LayerSizeReader::Finish() {
    if (m_applied || (m_width == 0 && m_height == 0)) return true;
    return Apply(m_width ? m_width : m_layer.Width(), m_height ? m_height : m_layer.Height());
}

bool LayerSizeReader::Apply(int width, int height) {
    if (static_cast<long long>(width) * height > kMaxLayerPixels) {
        if (width >= height) {
            m_reader.ReportErrorFormat(m_widthMessage, width);
        } else {
            m_reader.ReportErrorFormat(m_heightMessage, height);
        }
        return false;
    }
    m_layer.SetSize(width, height);
    m_applied = true;
    return true;
}

bool BlockReader::ReadScreenSaverType(int& bit) {
    static constexpr int kBits[] = {8, 4, 1, 2, 0};  // EXPAND, TILE, XMIRROR, YMIRROR, CURRENT
    int v = 0;
    if (!ReadEnumeration(FileEnumeration::ScreenSaverType, v)) return false;
    bit = (v >= 0 && v < 5) ? kBits[v] : 0;
    return true;
}

}  // namespace quillon
