// The WHITENOISELAYER block: common properties and the colour map.
#include <ostream>

#include "engine/block_io.h"
#include "engine/white_noise_layer.h"

namespace quillon {

void WhiteNoiseLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "WHITENOISELAYER", Name());
    WriteCommonProperties(out, indent);
    WriteColorMapLine(out, indent, GetColorMap());
    out << indent << "}\n";
}

bool WhiteNoiseLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in White Noise Layer",
        "Invalid Token(%s) in White Noise Layer",
        "Syntax Error(missing  '}') in White Noise Layer",
    };
    return reader.ReadLayerBlock(*this, kMessages,
                                 [](std::string_view) { return KeywordResult::Unknown; });
}

}  // namespace quillon
