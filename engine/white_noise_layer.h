#pragma once

#include "engine/base_layer.h"

namespace quillon {

// Every pixel an independent uniform value, normalised and coloured.
class WhiteNoiseLayer : public BaseLayer {
  public:
    WhiteNoiseLayer() = default;
    WhiteNoiseLayer(const WhiteNoiseLayer& other) = default;

    bool Render(RenderContext& context) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "WHITENOISELAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
};

}  // namespace quillon
