// The NOISECOMBINELAYER block.
#include <ostream>

#include "engine/block_io.h"
#include "engine/combine_layer.h"

namespace quillon {

// No CMAP line: a combine layer never applies its colour function.
void CombineLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "NOISECOMBINELAYER", Name());
    WriteCommonProperties(out, indent);
    out << indent << "\tWIDTH " << Width() << '\n';
    out << indent << "\tHEIGHT " << Height() << '\n';
    WriteLayerList(out, indent, *this);
    WriteColorMapLine(out, indent, GetColorMap());
    out << indent << "}\n";
}

// The size read is provisional: the container that adopts the layer gives
// it its own.
bool CombineLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Noise Combine Layer",
        "Invalid Token(%s) in Noise Combine Layer",
        "Syntax Error(missing  '}') in Noise Combine Layer",
    };
    RemoveAll();
    LayerSizeReader size(reader, *this, "Invalid WIDTH(%d) in Noise Combine Layer",
                         "Invalid HEIGHT(%d) in Noise Combine Layer");
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "WIDTH") return ReadResult(size.ReadWidth());
        if (keyword == "HEIGHT") return ReadResult(size.ReadHeight());
        if (keyword == "LAYERS") return ReadResult(reader.ReadLayerList(*this));
        return KeywordResult::Unknown;
    }) && size.Finish();
}

}  // namespace quillon
