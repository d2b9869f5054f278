#pragma once

#include "engine/multi_base_layer.h"

namespace quillon {

// Display hints for the screen saver (TextureMap::ScreenSaverType bits).
inline constexpr int kScreenSaverXMirror = 1;
inline constexpr int kScreenSaverYMirror = 2;
inline constexpr int kScreenSaverTile = 4;
inline constexpr int kScreenSaverExpand = 8;

// The root of a texture: its children are composited bottom to top into
// an RGB image.
class TextureMap : public MultiBaseLayer {
  public:
    TextureMap();
    TextureMap(const TextureMap& other);

    bool Render(RenderContext& context) override;
    void SetSize(int width, int height) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "TEXTURE";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
    bool AllocateBuffers() override;
    void FreeBuffers() override;
    bool ComposesOntoTarget() const override { return true; }

    const RandomNumber& Zoom() const { return m_zoom; }
    void SetZoom(const RandomNumber& zoom) { m_zoom = zoom; }
    int ScreenSaverType() const { return m_screenSaverType; }
    void SetScreenSaverType(int bits) { m_screenSaverType = bits; }

  private:
    // Whether a child rendered after this application might read what the
    // scratch buffer held before it (see ComposesOntoTarget).
    bool ReadLater(const BaseLayer& child, bool mayRepeat) const;

    RandomNumber m_zoom = RandomNumber(1.0f);
    int m_screenSaverType = 0;
};

// A texture map whose image is handed to the next child of its container
// as a mask instead of being composited.
class MaskLayer : public TextureMap {
  public:
    MaskLayer();
    MaskLayer(const MaskLayer& other) = default;

    bool Render(RenderContext& context) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "MASKLAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
    void NormalizeCombine() override;
    // Renders into a buffer of its own and leaves the caller's colours alone.
    bool ComposesOntoTarget() const override { return false; }

    bool Greyify() const { return m_greyify; }
    void SetGreyify(bool greyify) { m_greyify = greyify; }

  private:
    bool m_greyify = true;
};

}  // namespace quillon
