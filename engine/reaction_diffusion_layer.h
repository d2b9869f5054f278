#pragma once

#include <array>

#include "engine/base_layer.h"

namespace quillon {

// How one chemical spreads: its diffusion rates along two perpendicular
// axes, the rotation of those axes and how fast it dissipates.
struct ChemicalParameters {
    RandomNumber xRate;        // DIFFA1 / DIFFB1
    RandomNumber yRate;        // DIFFA2 / DIFFB2
    RandomNumber dissipation;  // DISSA / DISSB
    RandomNumber angle;        // THETAA / THETAB, radians

    bool operator==(const ChemicalParameters&) const = default;
};

// 3 x 3 weights: rows y - 1, y, y + 1 of the buffer, within a row columns
// x - 1, x, x + 1.
using Stencil = std::array<float, 9>;

// Spots and stripes grown by two reacting, anisotropically diffusing
// chemicals on the layer's pixel grid. The grid wraps at every edge, so the
// result tiles. The concentration of A after the iterations is the value
// buffer; every rendering starts afresh from a random state.
class ReactionDiffusionLayer : public BaseLayer {
  public:
    static constexpr int kDefaultIterations = 1000;
    // Counts are cut to this (a file may ask for two billion steps).
    static constexpr int kMaxIterations = 1000000;
    static constexpr float kDefaultTimeStep = 0.01f;

    ReactionDiffusionLayer();
    // Parameters, stencils, iterations and time step; never the working
    // buffers of a rendering.
    ReactionDiffusionLayer(const ReactionDiffusionLayer& other);

    bool Render(RenderContext& context) override;
    // Drops the working buffers when the pixel count changes.
    void SetSize(int width, int height) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "REACTIONDIFFUSIONLAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    // The eight rates of the two chemicals, DIFFA1 to THETAB, in file order.
    static std::span<const PropertyEntry<ReactionDiffusionLayer>> RateProperties();
    bool IsSameKind(const BaseLayer& other) const override;
    bool AllocateBuffers() override;
    void FreeBuffers() override;

    const ChemicalParameters& ChemicalA() const { return m_chemicalA; }
    const ChemicalParameters& ChemicalB() const { return m_chemicalB; }
    void SetChemicalA(const ChemicalParameters& value) { m_chemicalA = value; }
    void SetChemicalB(const ChemicalParameters& value) { m_chemicalB = value; }
    int Iterations() const { return m_iterations; }
    // Cut to 0 .. kMaxIterations.
    void SetIterations(int iterations);
    float TimeStep() const { return m_timeStep; }
    void SetTimeStep(float timeStep) { m_timeStep = timeStep; }

    // The stencils of the last rendering (the plain Laplacian before one).
    const Stencil& StencilA() const { return m_stencilA; }
    const Stencil& StencilB() const { return m_stencilB; }

    // The anisotropic Laplacian of the diffusion tensor with rates d1 along
    // x and d2 along y, rotated by angle (radians), minus the dissipation.
    static Stencil BuildStencil(float d1, float d2, double angle, double dissipation);
    static constexpr Stencil kPlainLaplacian = {0, 1, 0, 1, -4, 1, 0, 1, 0};

    // One simultaneous update of a width x height grid (index y x width + x)
    // whose rows and columns wrap: from a and b into nextA and nextB.
    static void StepGrid(const float* a, const float* b, float* nextA, float* nextB, int width,
                         int height, const Stencil& stencilA, const Stencil& stencilB,
                         float timeStep);

  private:
    // Draws DIFF1, DIFF2, THETA, then DISS, in that order.
    static Stencil DrawStencil(const ChemicalParameters& chemical);
    void FreeWorkingBuffers();

    ChemicalParameters m_chemicalA{1.0f, 1.0f, 0.0f, 0.0f};
    ChemicalParameters m_chemicalB{16.0f, 16.0f, 0.0f, 0.0f};
    int m_iterations = kDefaultIterations;
    float m_timeStep = kDefaultTimeStep;
    // Chemical A lives in the base's value buffer.
    FloatBuffer m_concentrationB;
    FloatBuffer m_nextA;
    FloatBuffer m_nextB;
    Stencil m_stencilB = kPlainLaplacian;
    Stencil m_stencilA = kPlainLaplacian;
};

}  // namespace quillon
