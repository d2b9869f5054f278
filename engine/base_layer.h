#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/color.h"
#include "engine/float_buffer.h"
#include "engine/random.h"
#include "engine/render_context.h"
#include "engine/sync.h"

namespace quillon {

class BlockReader;
class MultiBaseLayer;
template <class Owner>
struct PropertyEntry;

// How a container composites a layer onto what lies below it.
enum class CombineFunc : int {
    Opaque = 0,
    Transparent = 1,
    Shade = 2,
    Additive = 3,
    Subtractive = 4,
    Multiply = 5,
    Disable = 6,  // mask layers: rendered, not composited
};
// Tables indexed by the function check their size against this.
inline constexpr std::size_t kCombineFuncCount = static_cast<std::size_t>(CombineFunc::Disable) + 1;

// Bits of BaseLayer::Flags.
inline constexpr int kLayerTilingSubLayer = 1;
inline constexpr int kLayerMortar = 2;

// Largest pixel count a layer accepts (16384 x 16384).
inline constexpr long long kMaxLayerPixels = 1LL << 28;
// Most applications of one layer in one rendering (USAGE): each is a whole
// rendering of the layer, so more would only make a synthesis endless.
inline constexpr int kMaxUsage = 1000;

// The base of every layer: its value buffer, colour map and colour function,
// the common properties and the layer's lock. A plain BaseLayer renders an
// all-zero value field through its colour map.
class BaseLayer {
  public:
    BaseLayer();
    BaseLayer(int width, int height, std::string name);
    BaseLayer(const BaseLayer& other);
    BaseLayer& operator=(const BaseLayer&) = delete;
    virtual ~BaseLayer();

    virtual bool Render(RenderContext& context);
    // Refuses (changes nothing) sizes below 1 or above kMaxLayerPixels.
    virtual void SetSize(int width, int height);
    virtual std::unique_ptr<BaseLayer> Clone() const;
    // The keyword of the layer's block in texture files.
    static constexpr std::string_view kKeyword = "BASELAYER";
    virtual std::string_view Keyword() const { return kKeyword; }
    // Writes the layer's block, each line after indent (a run of tabs).
    virtual void Write(std::ostream& out, const std::string& indent) const;
    // Reads the layer's block after its keyword (engine/block_io.h).
    virtual bool ReadBlock(BlockReader& reader);
    // Whether other is an instance of this layer's class (derived kinds
    // included); false for a plain layer. A change of kind asks both ways
    // (SameKind below), which tells kinds apart exactly.
    virtual bool IsSameKind(const BaseLayer& other) const;
    virtual void NormalizeCombine();
    // Colours the values into context.rgb and context.alpha; false when the
    // rendering was cancelled meanwhile (the colours then partly written).
    virtual bool MapColors(const RenderContext& context);
    virtual bool AllocateBuffers();
    virtual void FreeBuffers();
    // Whether the rendering reads the colours already in context.rgb (it
    // composites onto them) instead of overwriting every value. A container
    // may skip its scratch buffer only for layers that overwrite.
    virtual bool ComposesOntoTarget() const { return false; }

    // Takes over another layer's settings (used when a layer changes kind).
    void Assign(const BaseLayer& other);

    const std::string& Name() const { return m_name; }
    // Names and descriptions are kept as a file can hold them: double
    // quotes become apostrophes, at most 1023 bytes.
    void SetName(std::string_view name);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Size() const { return m_size; }
    int Flags() const { return m_flags; }
    void SetFlags(int flags) { m_flags = flags; }
    bool IsTilingSubLayer() const { return (m_flags & kLayerTilingSubLayer) != 0; }
    bool IsMortar() const { return (m_flags & kLayerMortar) != 0; }

    ColorMap& GetColorMap() { return m_colorMap; }
    const ColorMap& GetColorMap() const { return m_colorMap; }
    const BaseColorFunctor& ColorFunction() const { return *m_colorFunction; }
    void SetColorFunction(std::unique_ptr<BaseColorFunctor> function);

    CombineFunc GetCombineFunc() const { return m_combineFunc; }
    void SetCombineFunc(CombineFunc function) { m_combineFunc = function; }
    const RandomNumber& Transparency() const { return m_transparency; }
    void SetTransparency(const RandomNumber& value) { m_transparency = value; }
    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    MultiBaseLayer* Parent() const { return m_parent; }
    void SetParent(MultiBaseLayer* parent) { m_parent = parent; }
    const std::string& Description() const { return m_description; }
    void SetDescription(std::string_view description);
    const RandomNumber& Probability() const { return m_probability; }
    void SetProbability(const RandomNumber& value) { m_probability = value; }
    const RandomNumber& Reduction() const { return m_reduction; }
    void SetReduction(const RandomNumber& value) { m_reduction = value; }
    const RandomNumber& Usage() const { return m_usage; }
    // The bounds of the value (a fixed number, a range's ends) are cut to
    // kMaxUsage; a rendering also cuts what a scaled form draws.
    void SetUsage(const RandomNumber& value);
    const RandomNumber& UseProbability() const { return m_useProbability; }
    void SetUseProbability(const RandomNumber& value) { m_useProbability = value; }

    // The TRANSPARENT weight of one application, drawn at its composite
    // (0 for every other combine function, which draws nothing).
    float DrawCompositeTransparency() const;

    // The per-pixel values of the current rendering (null outside one).
    float* Values() { return m_values.Data(); }
    // Where row r starts in the per-pixel buffers; computed, so that a
    // declared size costs nothing until a rendering wants its buffers.
    std::size_t RowOffset(int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_width);
    }

    LayerLock& Lock() const { return m_lock; }
    // True while some thread holds the layer (a rendering, an edit).
    bool IsBusy() const { return m_lock.IsHeld(); }

    // The common properties, DESCRIPTION to TRANSPARENCY, in file order:
    // what every block writes after its name and reads among its keywords.
    static std::span<const PropertyEntry<BaseLayer>> CommonProperties();
    void WriteCommonProperties(std::ostream& out, const std::string& indent) const;

  protected:
    // The start of a rendering: takes the lock and the buffers and posts
    // LayerStarted. When the buffers cannot be had, what was allocated is
    // released and the layer renders as a plain layer instead: the returned
    // lock is then not held and plainResult holds that rendering's outcome.
    std::unique_lock<LayerLock> BeginRender(RenderContext& context, bool& plainResult);
    // Render of the plain base class, for subclasses whose buffers failed.
    bool RenderPlain(RenderContext& context);
    // Fills rgb (3 per pixel) and alpha with black when nothing else can be done.
    void RenderBlack(RenderContext& context);

    FloatBuffer m_values;

  private:
    std::string m_name = "layer";
    int m_width = 64;
    int m_height = 64;
    int m_size = 64 * 64;
    int m_flags = 0;
    ColorMap m_colorMap;
    std::unique_ptr<BaseColorFunctor> m_colorFunction;
    CombineFunc m_combineFunc = CombineFunc::Opaque;
    RandomNumber m_transparency = RandomNumber(0.75f);
    bool m_enabled = true;
    mutable LayerLock m_lock;
    MultiBaseLayer* m_parent = nullptr;
    std::string m_description;
    RandomNumber m_probability = RandomNumber(1.0f);
    RandomNumber m_reduction = RandomNumber(0.0f);
    RandomNumber m_usage = RandomNumber(1.0f);
    RandomNumber m_useProbability = RandomNumber(1.0f);
};

// Truncates a drawn value to an int, saturating instead of overflowing
// (NaN gives 0).
int TruncToInt(double value);

// The composite formulas. Colour mode: dst and src hold 3 floats per pixel,
// alpha 1, mask 3 (or null). Value mode: 1 float per pixel everywhere.
// transparency is used by Transparent only. Disable composites nothing.
void CompositeColor(CombineFunc function, float* dst, const float* src, const float* alpha,
                    const float* mask, std::size_t pixels, float transparency);
// CompositeColor onto a black picture with the layer's colours already in
// place: rgb holds src and becomes the composite, bit for bit what
// CompositeColor gives for a dst of zeros.
void CompositeColorOntoBlack(CombineFunc function, float* rgb, const float* alpha,
                             const float* mask, std::size_t pixels, float transparency);
void CompositeValue(CombineFunc function, float* dst, const float* src, const float* mask,
                    std::size_t pixels, float transparency);
// Replaces 3 floats per pixel by one luminance value per pixel, in place.
void LuminanceInPlace(float* rgb, std::size_t pixels);

// Both layers answer IsSameKind for each other: they are of one class.
inline bool SameKind(const BaseLayer& a, const BaseLayer& b) {
    return a.IsSameKind(b) && b.IsSameKind(a);
}

}  // namespace quillon
