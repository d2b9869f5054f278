// The TILINGLAYER block.
#include <ostream>

#include "engine/block_io.h"
#include "engine/tiling_layer.h"

namespace quillon {

namespace {

void WriteRandomLine(std::ostream& out, const std::string& indent, const char* keyword,
                     const RandomNumber& value) {
    out << indent << '\t' << keyword << ' ';
    value.Write(out);
    out << '\n';
}

}  // namespace

// Only the pair of numbers the layout uses is written: bricks across and
// down for regular bricks, the rock count and growth for rocks.
void TilingLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "TILINGLAYER", Name());
    WriteCommonProperties(out, indent);
    out << indent << "\tREGULAR " << BooleanKeyword(m_regular) << '\n';
    if (m_regular) {
        WriteRandomLine(out, indent, "BRICKSWIDE", m_bricksWide);
        WriteRandomLine(out, indent, "BRICKSHIGH", m_bricksHigh);
    } else {
        WriteRandomLine(out, indent, "NUMBERROCKS", m_numberOfRocks);
        WriteRandomLine(out, indent, "GROWTH", m_growth);
    }
    WriteRandomLine(out, indent, "OFFSET", m_offset);
    out << indent << "\tRANDOMPLACE " << BooleanKeyword(m_randomPlacement) << '\n';
    WriteRandomLine(out, indent, "THRESHOLD", m_threshold);
    WriteRandomLine(out, indent, "EDGERADIUS", m_edgeRadius);
    out << indent << "\tEDGEROUND " << BooleanKeyword(m_roundedEdges) << '\n';
    for (const ProfilePoint& point : m_profile) {
        out << indent << "\tPOINT " << FormatFloat(point.x) << ' ' << FormatFloat(point.y) << '\n';
    }
    out << indent << "\tGREYIFY " << BooleanKeyword(Greyify()) << '\n';
    WriteRandomLine(out, indent, "BUMPSCALE", BumpScale());
    WriteLights(out, indent);
    WriteLayerList(out, indent, *this);
    out << indent << "}\n";
}

// The POINT lines of a block replace the whole edge profile when the block
// closes; LIGHT blocks start from the previous one's values.
bool TilingLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Tiling Layer",
        "Invalid Token(%s) in Tiling Layer",
        "Syntax Error(missing  '}') in Tiling Layer",
    };
    RemoveAllLights();
    RemoveAll();
    BumpLightSrc scratch;
    std::vector<ProfilePoint> points;
    bool greyify = Greyify();
    RandomNumber bumpScale = BumpScale();
    const bool ok = reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "REGULAR") return ReadResult(reader.ReadBoolean(m_regular));
        if (keyword == "RANDOMPLACE") return ReadResult(reader.ReadBoolean(m_randomPlacement));
        if (keyword == "EDGEROUND") return ReadResult(reader.ReadBoolean(m_roundedEdges));
        if (keyword == "GREYIFY") return ReadResult(reader.ReadBoolean(greyify));
        if (keyword == "BRICKSWIDE") return ReadResult(reader.ReadRandomNumber(m_bricksWide));
        if (keyword == "BRICKSHIGH") return ReadResult(reader.ReadRandomNumber(m_bricksHigh));
        if (keyword == "NUMBERROCKS") return ReadResult(reader.ReadRandomNumber(m_numberOfRocks));
        if (keyword == "GROWTH") return ReadResult(reader.ReadRandomNumber(m_growth));
        if (keyword == "OFFSET") return ReadResult(reader.ReadRandomNumber(m_offset));
        if (keyword == "EDGERADIUS") return ReadResult(reader.ReadRandomNumber(m_edgeRadius));
        if (keyword == "THRESHOLD") return ReadResult(reader.ReadRandomNumber(m_threshold));
        if (keyword == "BUMPSCALE") return ReadResult(reader.ReadRandomNumber(bumpScale));
        if (keyword == "POINT") {
            double x = 0.0;
            double y = 0.0;
            if (!reader.ReadReal(x) || !reader.ReadReal(y)) return KeywordResult::Failed;
            points.push_back({static_cast<float>(x), static_cast<float>(y)});
            return KeywordResult::Read;
        }
        if (keyword == "LIGHT") return ReadLightKeyword(reader, scratch);
        if (keyword == "LAYERS") return ReadResult(reader.ReadLayerList(*this));
        return KeywordResult::Unknown;
    });
    SetGreyify(greyify);
    SetBumpScale(bumpScale);
    if (ok) m_profile = std::move(points);
    return ok;
}

}  // namespace quillon
