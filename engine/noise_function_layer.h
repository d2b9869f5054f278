#pragma once

#include <memory>
#include <vector>

#include "engine/base_layer.h"
#include "engine/matrix.h"
#include "engine/noise/noise3d.h"

namespace quillon {

// What is added to the turbulence sum: nothing, the point's x, its distance
// from the z axis, or from the origin.
enum class CoordFunction { None = 0, Linear = 1, Cylindrical = 2, Spherical = 3 };
// The counts below tie the file's keyword tables to these enums.
inline constexpr std::size_t kCoordFunctionCount =
    static_cast<std::size_t>(CoordFunction::Spherical) + 1;
// How pixels are laid on the noise: a plane, or a circle around x (CYLINDER),
// around y (YCYLINDER) or both (TOROID), so the picture tiles.
enum class CutType { Plane = 0, Cylinder = 1, YCylinder = 2, Toroid = 3 };
inline constexpr std::size_t kCutTypeCount = static_cast<std::size_t>(CutType::Toroid) + 1;
enum class TurbulenceType { None = 0, Noise = 1, Turbulence = 2, FractalSum = 3 };
inline constexpr std::size_t kTurbulenceTypeCount =
    static_cast<std::size_t>(TurbulenceType::FractalSum) + 1;

// A generator layer: each pixel becomes a 3-D point, transformed (scale x
// rotation x translation), displaced by a coordinate noise, and valued by a
// turbulence sum of the main noise plus a coordinate function.
class NoiseFunctionLayer : public BaseLayer {
  public:
    // TURBITER and COORDTURBITER above this are cut (a file may ask for any).
    static constexpr int kMaxTurbulenceIterations = 64;

    NoiseFunctionLayer();
    NoiseFunctionLayer(int width, int height, MultiBaseLayer* parent);
    NoiseFunctionLayer(const NoiseFunctionLayer& other);  // the noises are cloned

    bool Render(RenderContext& context) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "NOISEFUNCTIONLAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;

    // Replace the noise instance under the layer's lock.
    void SetNoiseFunction(NoiseFunction kind);
    void SetCoordNoiseFunction(NoiseFunction kind);
    NoiseFunction GetNoiseFunction() const { return m_noiseFunction; }
    NoiseFunction GetCoordNoiseFunction() const { return m_coordNoiseFunction; }
    const Noise3D& Noise() const { return *m_noise; }
    const Noise3D& CoordNoise() const { return *m_coordNoise; }

    struct Turbulence {
        TurbulenceType type = TurbulenceType::Noise;
        RandomNumber magnitude = RandomNumber(1.0f);
        RandomNumber variance = RandomNumber(2.17f);
        int iterations = 4;
    };
    const Turbulence& MainTurbulence() const { return m_turbulence; }
    const Turbulence& CoordTurbulence() const { return m_coordTurbulence; }
    // Iterations are cut to kMaxTurbulenceIterations.
    void SetMainTurbulence(const Turbulence& turbulence);
    void SetCoordTurbulence(const Turbulence& turbulence);

    CoordFunction GetCoordFunction() const { return m_coordFunction; }
    void SetCoordFunction(CoordFunction function) { m_coordFunction = function; }
    CutType Cut() const { return m_cut; }
    void SetCut(CutType cut) { m_cut = cut; }
    // The grid weight of GRID noises, applied at each rendering.
    double NoiseParameter() const { return m_noiseParameter; }
    void SetNoiseParameter(double value) { m_noiseParameter = value; }
    double CoordNoiseParameter() const { return m_coordNoiseParameter; }
    void SetCoordNoiseParameter(double value) { m_coordNoiseParameter = value; }

    struct Triple {
        RandomNumber x, y, z;
        bool operator==(const Triple&) const = default;
    };
    const Triple& Translation() const { return m_translation; }
    const Triple& Rotation() const { return m_rotation; }  // degrees
    const Triple& Scale() const { return m_scale; }
    void SetTranslation(const Triple& value) { m_translation = value; }
    void SetRotation(const Triple& value) { m_rotation = value; }
    void SetScale(const Triple& value) { m_scale = value; }

    // Everything one rendering draws, fixed before the first pixel. Pixels
    // are evaluated from it without touching the layer, so rows may be
    // computed on several threads.
    struct Frame {
        Matrix transform;  // 4 x 4
        double turbulenceMagnitude = 0.0;
        double turbulenceVariance = 0.0;
        double coordMagnitude = 0.0;
        double coordVariance = 0.0;
        double du = 0.0;
        double dv = 0.0;
        std::vector<double> rowHeights;  // z of each row's pixel point
    };
    // Draws translation x, y, z, rotation x, y, z, scale x, y, z, the four
    // magnitudes and variances, then re-draws both noises' tables.
    Frame PrepareFrame(float contextScale);
    double EvaluatePixel(const Frame& frame, int row, int column) const;
    // EvaluatePixel of pixels first .. first + count - 1 (in row-major
    // order), bit for bit, evaluated a block of points at a time.
    void EvaluatePixels(const Frame& frame, std::size_t first, std::size_t count, float* out) const;

    // Turbulence sum of a noise at (x, y, z): octaves work on a copy of the
    // homogeneous point scaled by variance^i and are divided by variance^i.
    static double TurbulenceSum(const Noise3D& noise, TurbulenceType type, double x, double y,
                                double z, double magnitude, double variance, int iterations);
    // TurbulenceSum at n points, bit for bit, through Noise3D::EvaluateMany.
    static void TurbulenceSumMany(const Noise3D& noise, TurbulenceType type, const double* x,
                                  const double* y, const double* z, double magnitude,
                                  double variance, int iterations, double* out, std::size_t n);
    // The pixel-point heights of a toroid's rows: rising for the first half,
    // falling back for the second, with cosine-shaped turns.
    static std::vector<double> ToroidHeights(int height);
    // S x R x T for the drawn values (degrees; scale times the context's).
    static Matrix BuildTransform(const double translate[3], const double rotate[3],
                                 const double scale[3]);

  private:
    // The transformed point of a pixel, before the coordinate noise moves it.
    void PixelPoint(const Frame& frame, const double (&t)[3][4], int row, int column,
                    double p[3]) const;
    // Rows 0..2 of the frame's transform.
    static void TransformRows(const Frame& frame, double (&t)[3][4]);
    double FinishValue(double value, const double p[3]) const;

    Triple m_translation{0.0f, 0.0f, 0.0f};
    Triple m_rotation{0.0f, 0.0f, 0.0f};
    Triple m_scale{1.0f, 1.0f, 1.0f};
    Turbulence m_turbulence;
    std::unique_ptr<Noise3D> m_noise;
    CoordFunction m_coordFunction = CoordFunction::None;
    CutType m_cut = CutType::Plane;
    NoiseFunction m_noiseFunction = NoiseFunction::Gradient;
    double m_noiseParameter = 0.0;
    std::unique_ptr<Noise3D> m_coordNoise;
    Turbulence m_coordTurbulence{TurbulenceType::None, RandomNumber(1.0f), RandomNumber(2.17f), 4};
    NoiseFunction m_coordNoiseFunction = NoiseFunction::Gradient;
    double m_coordNoiseParameter = 0.0;
};

}  // namespace quillon
