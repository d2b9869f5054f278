#pragma once

#include "engine/multi_base_layer.h"

namespace quillon {

// Combines the raw values of its children with their combine functions and
// colours the result through its own colour map.
class CombineLayer : public MultiBaseLayer {
  public:
    CombineLayer();
    CombineLayer(const CombineLayer& other) = default;

    bool Render(RenderContext& context) override;
    void SetSize(int width, int height) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "NOISECOMBINELAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
    bool AllocateBuffers() override;
    void FreeBuffers() override;
};

}  // namespace quillon
