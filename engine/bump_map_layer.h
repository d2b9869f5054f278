#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/block_io.h"
#include "engine/multi_base_layer.h"

namespace quillon {

class BumpMapLayer;

// One light of a bump map: a point light at (x, y, z) in pixels (x from the
// left, y the buffer row, z above the image) when finite, otherwise a
// distant light shining along (x, y, z). Shared through std::shared_ptr so
// that the editor's light pages and the layer hold the same object.
class BumpLightSrc {
  public:
    // The float nearest sqrt(3) / 2: with the default direction (1, 1, 1)
    // a flat surface shades to exactly one half.
    static constexpr float kDefaultComponent = 0.8660254f;

    RandomNumber xPos = RandomNumber(1.0f);
    RandomNumber yPos = RandomNumber(1.0f);
    RandomNumber zPos = RandomNumber(1.0f);
    float color[3] = {kDefaultComponent, kDefaultComponent, kDefaultComponent};
    bool finite = false;
    bool on = true;

    // Same positions, colour and flags (the owner does not count).
    bool operator==(const BumpLightSrc& other) const;

    BumpMapLayer* Owner() const { return m_owner; }

    // The LIGHT block: "\tLIGHT {", the fields with indent plus two tabs,
    // "\t}" (every line after indent).
    void Write(std::ostream& out, const std::string& indent) const;
    // The part after the keyword LIGHT; fields not named keep their values.
    bool ReadBlock(BlockReader& reader);

  private:
    friend class BumpMapLayer;
    BumpMapLayer* m_owner = nullptr;
};

// A container that composites its children, takes the image as a height
// field (each channel its own, unless greyified) and lights it with one to
// eight lights, for a relief look.
class BumpMapLayer : public MultiBaseLayer {
  public:
    static constexpr int kMaxLights = 8;
    static constexpr int kMinLights = 1;

    BumpMapLayer();                           // one noise-function child, one default light
    BumpMapLayer(const BumpMapLayer& other);  // children cloned, lights copied

    bool Render(RenderContext& context) override;
    void SetSize(int width, int height) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "BUMPMAPLAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
    bool AllocateBuffers() override;
    void FreeBuffers() override;
    bool ComposesOntoTarget() const override { return true; }

    // False (nothing changes) when kMaxLights are held.
    bool AddLight(std::shared_ptr<BumpLightSrc> light);
    // Removes that very light object. False when it is not held or when it
    // is the last one.
    bool RemoveLight(const BumpLightSrc* light);
    int LightCount() const { return static_cast<int>(m_lights.size()); }
    // Null when index is out of range.
    std::shared_ptr<BumpLightSrc> Light(int index) const;
    void RemoveAllLights();

    bool Greyify() const { return m_greyify; }
    void SetGreyify(bool greyify) { m_greyify = greyify; }
    bool Tileable() const { return m_tileable; }
    void SetTileable(bool tileable) { m_tileable = tileable; }
    const RandomNumber& BumpScale() const { return m_bumpScale; }
    void SetBumpScale(const RandomNumber& scale) { m_bumpScale = scale; }

  protected:
    // Draws the bump scale and then every light's x, y and z (lights that
    // are off included), and lights the height field `heights` (3 floats
    // per pixel, width x height) into the work buffer. Borders wrap or
    // repeat the edge pixel. False when the job was cancelled.
    bool Shade(const float* heights, bool wrap, const RenderContext& context);

    // The LIGHT keyword of a block: reads one light block into `scratch`
    // (so it starts from the previous block's values) and adds a copy;
    // lights beyond kMaxLights are dropped without a message.
    KeywordResult ReadLightKeyword(BlockReader& reader, BumpLightSrc& scratch);
    void WriteLights(std::ostream& out, const std::string& indent) const;

    FloatBuffer m_work;  // the lit colours, 3 floats per pixel

  private:
    bool m_greyify = true;
    bool m_tileable = false;
    RandomNumber m_bumpScale = RandomNumber(1.0f);
    std::vector<std::shared_ptr<BumpLightSrc>> m_lights;
};

}  // namespace quillon
