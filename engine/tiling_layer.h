#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/bump_map_layer.h"

namespace quillon {

// Cuts the texture into bricks (a regular grid, optionally jittered, with a
// running offset) or into rocks grown from seeds, fills every piece with a
// window of one of its children chosen by weight, fills the joints with a
// mortar child and bevels the pieces' edges under the bump map's lights.
// The result wraps around at the texture's edges.
//
// Every child is a tiling sub-layer: its PROBABILITY is the budget of
// uses, its REDUCTION the cost of one use, and MORTAR makes it fill the
// joints instead of the pieces.
class TilingLayer : public BumpMapLayer {
  public:
    // Piece numbers in the piece map besides the pieces' own.
    static constexpr int kUnassigned = -1;
    static constexpr int kMortarPiece = -16;
    // The rock smoothing kernel is the rounded disc of this radius.
    static constexpr int kSmoothingRadius = 3;

    struct ProfilePoint {
        float x = 0.0f;
        float y = 0.0f;
        bool operator==(const ProfilePoint&) const = default;
    };

    TilingLayer();
    TilingLayer(const TilingLayer& other);  // the children stay tiling sub-layers

    bool Render(RenderContext& context) override;
    void SetSize(int width, int height) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "TILINGLAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
    bool AllocateBuffers() override;
    void FreeBuffers() override;

    // The base behaviour, then the child is marked as a tiling sub-layer.
    bool InsertAt(std::unique_ptr<BaseLayer> layer, int index) override;
    bool ReplaceAt(int index, std::unique_ptr<BaseLayer> layer) override;

    const RandomNumber& BricksWide() const { return m_bricksWide; }
    void SetBricksWide(const RandomNumber& value) { m_bricksWide = value; }
    const RandomNumber& BricksHigh() const { return m_bricksHigh; }
    void SetBricksHigh(const RandomNumber& value) { m_bricksHigh = value; }
    const RandomNumber& Offset() const { return m_offset; }
    void SetOffset(const RandomNumber& value) { m_offset = value; }
    const RandomNumber& NumberOfRocks() const { return m_numberOfRocks; }
    void SetNumberOfRocks(const RandomNumber& value) { m_numberOfRocks = value; }
    const RandomNumber& Growth() const { return m_growth; }
    void SetGrowth(const RandomNumber& value) { m_growth = value; }
    bool Regular() const { return m_regular; }
    void SetRegular(bool regular) { m_regular = regular; }
    bool RandomPlacement() const { return m_randomPlacement; }
    void SetRandomPlacement(bool random) { m_randomPlacement = random; }
    const RandomNumber& EdgeRadius() const { return m_edgeRadius; }
    void SetEdgeRadius(const RandomNumber& value) { m_edgeRadius = value; }
    bool RoundedEdges() const { return m_roundedEdges; }
    void SetRoundedEdges(bool rounded) { m_roundedEdges = rounded; }
    const RandomNumber& Threshold() const { return m_threshold; }
    void SetThreshold(const RandomNumber& value) { m_threshold = value; }
    // Edge height against o, the share of a pixel's neighbourhood that
    // lies outside its piece (0 inside, towards 1 at the joints); points in
    // ascending x.
    const std::vector<ProfilePoint>& EdgeProfile() const { return m_profile; }
    void SetEdgeProfile(std::vector<ProfilePoint> points) { m_profile = std::move(points); }

    // Bricks placed or rocks made by the last rendering.
    int PieceCount() const { return m_pieceCount; }

  private:
    // A usable child and its rendering for this synthesis.
    struct Source {
        BaseLayer* child = nullptr;
        FloatBuffer colour;
        FloatBuffer alpha;
        float weight = 0.0f;
    };
    struct Rock {
        int seedX = 0;
        int seedY = 0;
        int minDx = 0;
        int maxDx = 0;
        int minDy = 0;
        int maxDy = 0;
        double growth = 1.0;
    };
    enum class Step { Done, Cancelled, NoMemory };

    // False when no child can fill a piece.
    bool BuildSources(const RenderContext& context);
    Step ChooseSource(RenderContext& context, Source*& chosen);
    Step RenderChild(RenderContext& context, BaseLayer& child, FloatBuffer& colour,
                     FloatBuffer& alpha);
    // A piece's window: w x h pixels at (x, y), wrapping, taken from
    // (sourceX, sourceY) of the source's picture.
    struct Window {
        const Source* source = nullptr;
        int x = 0, y = 0, w = 0, h = 0, sourceX = 0, sourceY = 0;
    };
    // Limits the size to the picture and draws where the window starts
    // in the source (x, then y).
    Window DrawWindow(const Source& source, int x, int y, int w, int h) const;
    // Copies the window's colour and alpha and gives its pixels `piece`.
    void CopyWindow(const Window& window, int piece, float* alpha);
    Step PlaceBricks(RenderContext& context);
    Step GrowRocks(RenderContext& context);
    bool SmoothRocks(const RenderContext& context);
    Step FillRocks(RenderContext& context);
    Step MakeEdges(RenderContext& context, int radius);
    Step EdgeHeights(RenderContext& context, int radius);
    Step LayMortar(RenderContext& context);
    float ProfileHeight(float o) const;
    float UnassignedHeight() const;

    RandomNumber m_bricksWide = RandomNumber(1.0f);
    RandomNumber m_bricksHigh = RandomNumber(1.0f);
    RandomNumber m_offset = RandomNumber(0.0f);
    RandomNumber m_numberOfRocks = RandomNumber(2.0f);
    RandomNumber m_growth = RandomNumber(1.0f);
    bool m_regular = true;
    bool m_randomPlacement = true;
    RandomNumber m_edgeRadius = RandomNumber(3.0f);
    bool m_roundedEdges = false;
    std::vector<ProfilePoint> m_profile = {{0.0f, 1.0f}, {1.0f, 0.0f}};
    RandomNumber m_threshold = RandomNumber(0.0f);

    // Buffers of one rendering.
    FloatBuffer m_colour;                      // the pieces' colours, 3 floats per pixel
    std::unique_ptr<std::int32_t[]> m_pieces;  // piece number per pixel
    std::vector<Source> m_sources;
    float m_totalWeight = 0.0f;
    std::vector<Rock> m_rocks;
    int m_pieceCount = 0;
};

}  // namespace quillon
