// The TEXTURE and MASKLAYER blocks.
#include <ostream>

#include "engine/block_io.h"
#include "engine/texture_map.h"

namespace quillon {

namespace {

constexpr struct {
    int bit;
    const char* keyword;
} kScreenSaverLines[] = {
    {kScreenSaverXMirror, "XMIRROR"},
    {kScreenSaverYMirror, "YMIRROR"},
    {kScreenSaverTile, "TILE"},
    {kScreenSaverExpand, "EXPAND"},
};

}  // namespace

void TextureMap::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "TEXTURE", Name());
    WriteCommonProperties(out, indent);
    out << indent << "\tWIDTH " << Width() << '\n';
    out << indent << "\tHEIGHT " << Height() << '\n';
    out << indent << "\tZOOM ";
    m_zoom.Write(out);
    out << '\n';
    for (const auto& line : kScreenSaverLines) {
        if (m_screenSaverType & line.bit) out << indent << "\tSSTYPE " << line.keyword << '\n';
    }
    WriteLayerList(out, indent, *this);
    out << indent << "}\n";
}

bool TextureMap::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Texture Map",
        "Invalid Token(%s) in Texture Map",
        "Syntax Error(missing  '}') in Texture Map",
    };
    RemoveAll();
    LayerSizeReader size(reader, *this, "Invalid WIDTH(%d) in Texture Map",
                         "Invalid HEIGHT(%d) in Texture Map");
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "WIDTH") return ReadResult(size.ReadWidth());
        if (keyword == "HEIGHT") return ReadResult(size.ReadHeight());
        if (keyword == "ZOOM") return ReadResult(reader.ReadRandomNumber(m_zoom));
        if (keyword == "SSTYPE") {
            int bit = 0;
            if (!reader.ReadScreenSaverType(bit)) return KeywordResult::Failed;
            m_screenSaverType |= bit;
            return KeywordResult::Read;
        }
        if (keyword == "LAYERS") return ReadResult(reader.ReadLayerList(*this));
        return KeywordResult::Unknown;
    }) && size.Finish();
}

void MaskLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "MASKLAYER", Name());
    WriteCommonProperties(out, indent);
    out << indent << "\tGREYIFY " << BooleanKeyword(m_greyify) << '\n';
    WriteLayerList(out, indent, *this);
    out << indent << "}\n";
}

bool MaskLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Mask Layer",
        "Invalid Token(%s) in Mask Layer",
        "Syntax Error(missing  '}') in Mask Layer",
    };
    RemoveAll();
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "GREYIFY") return ReadResult(reader.ReadBoolean(m_greyify));
        if (keyword == "LAYERS") return ReadResult(reader.ReadLayerList(*this));
        return KeywordResult::Unknown;
    });
}

}  // namespace quillon
