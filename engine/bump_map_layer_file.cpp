// The BUMPMAPLAYER block and its LIGHT blocks.
#include <ostream>

#include "engine/block_io.h"
#include "engine/bump_map_layer.h"

namespace quillon {

void BumpLightSrc::Write(std::ostream& out, const std::string& indent) const {
    const std::string inner = indent + "\t\t";
    out << indent << "\tLIGHT {\n";
    out << inner << "XPOS ";
    xPos.Write(out);
    out << '\n' << inner << "YPOS ";
    yPos.Write(out);
    out << '\n' << inner << "ZPOS ";
    zPos.Write(out);
    out << '\n'
        << inner << "COLOR " << FormatFloat(color[0]) << ' ' << FormatFloat(color[1]) << ' '
        << FormatFloat(color[2]) << '\n';
    out << inner << "FINITE " << BooleanKeyword(finite) << '\n';
    out << inner << "ON " << BooleanKeyword(on) << '\n';
    out << indent << "\t}\n";
}

bool BumpLightSrc::ReadBlock(BlockReader& reader) {
    if (reader.PeekChar() != '{') {
        reader.ReportError("Syntax Error(expecting '{') in light source");
        return false;
    }
    reader.GetChar();
    std::string word;
    while (true) {
        const int c = reader.PeekChar();
        if (c == '}' || c < 0) break;
        if (!reader.ReadKeyword(word)) return false;
        bool ok = true;
        if (word == "XPOS") {
            ok = reader.ReadRandomNumber(xPos);
        } else if (word == "YPOS") {
            ok = reader.ReadRandomNumber(yPos);
        } else if (word == "ZPOS") {
            ok = reader.ReadRandomNumber(zPos);
        } else if (word == "COLOR") {
            double rgb[3] = {0.0, 0.0, 0.0};
            ok = reader.ReadReal(rgb[0]) && reader.ReadReal(rgb[1]) && reader.ReadReal(rgb[2]);
            if (ok) {
                for (int k = 0; k < 3; ++k) color[k] = static_cast<float>(rgb[k]);
            }
        } else if (word == "FINITE") {
            ok = reader.ReadBoolean(finite);
        } else if (word == "ON") {
            ok = reader.ReadBoolean(on);
        } else {
            reader.ReportErrorFormat("Invalid Token(%s) in light source", word.c_str());
            return false;
        }
        if (!ok) return false;
    }
    if (reader.PeekChar() != '}') {
        reader.ReportError("Syntax Error(missing '}') in light source");
        return false;
    }
    reader.GetChar();
    return true;
}

void BumpMapLayer::WriteLights(std::ostream& out, const std::string& indent) const {
    for (const auto& light : m_lights) light->Write(out, indent);
}

KeywordResult BumpMapLayer::ReadLightKeyword(BlockReader& reader, BumpLightSrc& scratch) {
    if (!scratch.ReadBlock(reader)) return KeywordResult::Failed;
    AddLight(std::make_shared<BumpLightSrc>(scratch));  // a ninth is dropped
    return KeywordResult::Read;
}

void BumpMapLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "BUMPMAPLAYER", Name());
    WriteCommonProperties(out, indent);
    out << indent << "\tGREYIFY " << BooleanKeyword(m_greyify) << '\n';
    out << indent << "\tTILEABLE " << BooleanKeyword(m_tileable) << '\n';
    out << indent << "\tBUMPSCALE ";
    m_bumpScale.Write(out);
    out << '\n';
    WriteLayerList(out, indent, *this);
    WriteLights(out, indent);
    out << indent << "}\n";
}

// Every LIGHT block starts from the values of the one before it; a block
// without any leaves the layer without light.
bool BumpMapLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Bump Map",
        "Invalid Token(%s) in Bump Map",
        "Syntax Error(missing  '}') in Bump Map",
    };
    RemoveAllLights();
    RemoveAll();
    BumpLightSrc scratch;
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "LAYERS") return ReadResult(reader.ReadLayerList(*this));
        if (keyword == "GREYIFY") return ReadResult(reader.ReadBoolean(m_greyify));
        if (keyword == "TILEABLE") return ReadResult(reader.ReadBoolean(m_tileable));
        if (keyword == "BUMPSCALE") return ReadResult(reader.ReadRandomNumber(m_bumpScale));
        if (keyword == "LIGHT") return ReadLightKeyword(reader, scratch);
        return KeywordResult::Unknown;
    });
}

}  // namespace quillon
