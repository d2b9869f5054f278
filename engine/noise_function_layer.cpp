#include "engine/noise_function_layer.h"

#include "engine/parallel.h"

#include <cmath>
#include <mutex>

#include "engine/noise/grid_noise.h"

namespace quillon {

namespace {

const double kPi = 4.0 * std::atan(1.0);
const double kTwoPi = 8.0 * std::atan(1.0);

int LimitIterations(int n) {
    return n > NoiseFunctionLayer::kMaxTurbulenceIterations
               ? NoiseFunctionLayer::kMaxTurbulenceIterations
               : n;
}

// A new draw of the noise; a GRID noise takes its weight first.
void Redraw(Noise3D& noise, double weight) {
    if (auto* grid = dynamic_cast<GridNoise3D*>(&noise)) grid->SetWeight(weight);
    noise.Randomize();
}

}  // namespace

NoiseFunctionLayer::NoiseFunctionLayer()
    : m_noise(MakeNoise(NoiseFunction::Gradient)),
      m_coordNoise(MakeNoise(NoiseFunction::Gradient)) {}

NoiseFunctionLayer::NoiseFunctionLayer(int width, int height, MultiBaseLayer* parent)
    : BaseLayer(width, height, "layer"),
      m_noise(MakeNoise(NoiseFunction::Gradient)),
      m_coordNoise(MakeNoise(NoiseFunction::Gradient)) {
    SetParent(parent);
}

NoiseFunctionLayer::NoiseFunctionLayer(const NoiseFunctionLayer& other)
    : BaseLayer(other),
      m_translation(other.m_translation),
      m_rotation(other.m_rotation),
      m_scale(other.m_scale),
      m_turbulence(other.m_turbulence),
      m_noise(other.m_noise->Clone()),
      m_coordFunction(other.m_coordFunction),
      m_cut(other.m_cut),
      m_noiseFunction(other.m_noiseFunction),
      m_noiseParameter(other.m_noiseParameter),
      m_coordNoise(other.m_coordNoise->Clone()),
      m_coordTurbulence(other.m_coordTurbulence),
      m_coordNoiseFunction(other.m_coordNoiseFunction),
      m_coordNoiseParameter(other.m_coordNoiseParameter) {}

std::unique_ptr<BaseLayer> NoiseFunctionLayer::Clone() const {
    return std::make_unique<NoiseFunctionLayer>(*this);
}

bool NoiseFunctionLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const NoiseFunctionLayer*>(&other) != nullptr;
}

void NoiseFunctionLayer::SetNoiseFunction(NoiseFunction kind) {
    std::lock_guard<LayerLock> hold(Lock());
    m_noise.reset();
    m_noiseFunction = kind;
    m_noise = MakeNoise(kind);
}

void NoiseFunctionLayer::SetCoordNoiseFunction(NoiseFunction kind) {
    std::lock_guard<LayerLock> hold(Lock());
    m_coordNoise.reset();
    m_coordNoiseFunction = kind;
    m_coordNoise = MakeNoise(kind);
}

void NoiseFunctionLayer::SetMainTurbulence(const Turbulence& turbulence) {
    m_turbulence = turbulence;
    m_turbulence.iterations = LimitIterations(turbulence.iterations);
}

void NoiseFunctionLayer::SetCoordTurbulence(const Turbulence& turbulence) {
    m_coordTurbulence = turbulence;
    m_coordTurbulence.iterations = LimitIterations(turbulence.iterations);
}

Matrix NoiseFunctionLayer::BuildTransform(const double translate[3], const double rotate[3],
                                          const double scale[3]) {
    Matrix t = Matrix::Identity(4);
    t.Element(0, 3) = translate[0];
    t.Element(1, 3) = translate[1];
    t.Element(2, 3) = translate[2];

    const double toRadians = std::atan2(1.0, 1.0) / 45.0;
    const double x = rotate[0] * toRadians, y = rotate[1] * toRadians, z = rotate[2] * toRadians;
    const double sx = std::sin(x), cx = std::cos(x);
    const double sy = std::sin(y), cy = std::cos(y);
    const double sz = std::sin(z), cz = std::cos(z);
    Matrix r(4, 4, 0.0);
    const double rows[4][4] = {
        {sz * sy * sx + cz * cx, sz * sy * cx - cz * sx, sz * cy, 0.0},
        {cy * sx, cy * cx, -sy, 0.0},
        {cz * sy * sx - sz * cx, cz * sy * cx + sz * sx, cz * cy, 0.0},
        {0.0, 0.0, 0.0, 1.0},
    };
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.Element(i, j) = rows[i][j];

    Matrix s = Matrix::Identity(4);
    s.Element(0, 0) = scale[0];
    s.Element(1, 1) = scale[1];
    s.Element(2, 2) = scale[2];

    // Each factor multiplied on the left: translated first, then rotated, then scaled.
    Matrix m = Matrix::Identity(4);
    m = t.Multiply(m);
    m = r.Multiply(m);
    m = s.Multiply(m);
    return m;
}

std::vector<double> NoiseFunctionLayer::ToroidHeights(int height) {
    std::vector<double> z(static_cast<std::size_t>(height > 0 ? height : 0));
    const int half = height / 2;
    const double dz = 1.0 / height;
    double zt = 0.0;
    for (int r = 0; r < height; ++r) {
        z[static_cast<std::size_t>(r)] = zt;
        if (r < 3) {
            zt += std::cos(((r + 2) * 0.25 + 1.0) * kPi) * dz;
        } else if (r < half - 2) {
            zt += dz;
        } else if (r <= half + 2) {
            zt += std::cos(((r - half + 2) / 4.0) * kPi) * dz;
        } else if (r < height - 2) {
            zt -= dz;
        } else {
            zt += std::cos(((r - height + 2) * 0.25 + 1.0) * kPi) * dz;
        }
    }
    return z;
}

double NoiseFunctionLayer::TurbulenceSum(const Noise3D& noise, TurbulenceType type, double x,
                                         double y, double z, double magnitude, double variance,
                                         int iterations) {
    switch (type) {
        case TurbulenceType::None:
            return 1.0;
        case TurbulenceType::Noise:
            return magnitude * noise.EvaluateAt(x, y, z);
        case TurbulenceType::Turbulence:
        case TurbulenceType::FractalSum: {
            const bool absolute = type == TurbulenceType::Turbulence;
            double sum = 0.0;
            double divisor = 1.0;
            for (int i = 0; i < iterations; ++i) {
                const double v = noise.EvaluateAt(x, y, z);
                sum += (absolute ? std::abs(v) : v) / divisor;
                // The whole homogeneous copy is scaled; row 3 plays no part.
                x *= variance;
                y *= variance;
                z *= variance;
                divisor *= variance;
            }
            return magnitude * sum;
        }
    }
    return 1.0;
}

NoiseFunctionLayer::Frame NoiseFunctionLayer::PrepareFrame(float contextScale) {
    Frame frame;
    const double translate[3] = {m_translation.x.Evaluate(), m_translation.y.Evaluate(),
                                 m_translation.z.Evaluate()};
    const double rotate[3] = {m_rotation.x.Evaluate(), m_rotation.y.Evaluate(),
                              m_rotation.z.Evaluate()};
    const double k = contextScale;
    double scale[3];
    scale[0] = k * m_scale.x.Evaluate();
    scale[1] = k * m_scale.y.Evaluate();
    scale[2] = k * m_scale.z.Evaluate();
    frame.transform = BuildTransform(translate, rotate, scale);

    frame.turbulenceMagnitude = m_turbulence.magnitude.Evaluate();
    frame.turbulenceVariance = m_turbulence.variance.Evaluate();
    frame.coordMagnitude = m_coordTurbulence.magnitude.Evaluate();
    frame.coordVariance = m_coordTurbulence.variance.Evaluate();

    Redraw(*m_noise, m_noiseParameter);
    Redraw(*m_coordNoise, m_coordNoiseParameter);

    const int w = Width(), h = Height();
    const bool aroundX = m_cut == CutType::Cylinder || m_cut == CutType::Toroid;
    const bool aroundY = m_cut == CutType::YCylinder || m_cut == CutType::Toroid;
    frame.du = aroundX ? kTwoPi / w : 1.0 / w;
    frame.dv = aroundY ? kTwoPi / h : 1.0 / h;

    if (m_cut == CutType::Toroid) {
        frame.rowHeights = ToroidHeights(h);
    } else {
        frame.rowHeights.resize(static_cast<std::size_t>(h));
        for (int r = 0; r < h; ++r) {
            const double v = r * frame.dv;
            frame.rowHeights[static_cast<std::size_t>(r)] =
                m_cut == CutType::YCylinder ? std::cos(v) / kTwoPi : v;
        }
    }
    return frame;
}

void NoiseFunctionLayer::TurbulenceSumMany(const Noise3D& noise, TurbulenceType type,
                                           const double* x, const double* y, const double* z,
                                           double magnitude, double variance, int iterations,
                                           double* out, std::size_t n) {
    switch (type) {
        case TurbulenceType::None:
            for (std::size_t i = 0; i < n; ++i) out[i] = 1.0;
            return;
        case TurbulenceType::Noise:
            noise.EvaluateMany(x, y, z, out, n);
            for (std::size_t i = 0; i < n; ++i) out[i] = magnitude * out[i];
            return;
        case TurbulenceType::Turbulence:
        case TurbulenceType::FractalSum:
            break;
    }
    const bool absolute = type == TurbulenceType::Turbulence;
    constexpr std::size_t kBlock = 256;
    double sx[kBlock], sy[kBlock], sz[kBlock], v[kBlock];
    for (std::size_t start = 0; start < n; start += kBlock) {
        const std::size_t count = n - start < kBlock ? n - start : kBlock;
        double* sum = out + start;
        for (std::size_t i = 0; i < count; ++i) {
            sx[i] = x[start + i];
            sy[i] = y[start + i];
            sz[i] = z[start + i];
            sum[i] = 0.0;
        }
        double divisor = 1.0;
        for (int octave = 0; octave < iterations; ++octave) {
            noise.EvaluateMany(sx, sy, sz, v, count);
            for (std::size_t i = 0; i < count; ++i) {
                sum[i] += (absolute ? std::abs(v[i]) : v[i]) / divisor;
                sx[i] *= variance;
                sy[i] *= variance;
                sz[i] *= variance;
            }
            divisor *= variance;
        }
        for (std::size_t i = 0; i < count; ++i) sum[i] = magnitude * sum[i];
    }
}

void NoiseFunctionLayer::PixelPoint(const Frame& frame, const double (&t)[3][4], int row,
                                    int column, double p[3]) const {
    const double u = column * frame.du;
    double px, py;
    const double pz = frame.rowHeights[static_cast<std::size_t>(row)];
    switch (m_cut) {
        case CutType::Cylinder:
        case CutType::Toroid:
            px = std::cos(u) / kTwoPi;
            py = std::sin(u) / kTwoPi;
            break;
        case CutType::YCylinder:
            px = u;
            py = std::sin(row * frame.dv) / kTwoPi;
            break;
        case CutType::Plane:
        default:
            px = u;
            py = 0.0;
            break;
    }

    // p = transform x (px, py, pz, 1), summed in column order.
    for (int r = 0; r < 3; ++r) {
        double sum = 0.0;
        sum += t[r][0] * px;
        sum += t[r][1] * py;
        sum += t[r][2] * pz;
        sum += t[r][3] * 1.0;
        p[r] = sum;
    }
}

void NoiseFunctionLayer::TransformRows(const Frame& frame, double (&t)[3][4]) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) t[r][c] = frame.transform.Element(r, c);
    }
}

double NoiseFunctionLayer::FinishValue(double value, const double p[3]) const {
    switch (m_coordFunction) {
        case CoordFunction::Linear:
            return value + p[0];
        case CoordFunction::Cylindrical:
            return value + std::sqrt(p[0] * p[0] + p[1] * p[1]);
        case CoordFunction::Spherical:
            return value + std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        case CoordFunction::None:
        default:
            return value;
    }
}

double NoiseFunctionLayer::EvaluatePixel(const Frame& frame, int row, int column) const {
    double t[3][4];
    TransformRows(frame, t);
    double p[3];
    PixelPoint(frame, t, row, column, p);
    const double d =
        TurbulenceSum(*m_coordNoise, m_coordTurbulence.type, p[0], p[1], p[2], frame.coordMagnitude,
                      frame.coordVariance, m_coordTurbulence.iterations);
    if (m_coordTurbulence.type != TurbulenceType::None) {
        p[0] += d;
        p[1] += d;
        p[2] += d;
    }
    const double value =
        TurbulenceSum(*m_noise, m_turbulence.type, p[0], p[1], p[2], frame.turbulenceMagnitude,
                      frame.turbulenceVariance, m_turbulence.iterations);
    return FinishValue(value, p);
}

void NoiseFunctionLayer::EvaluatePixels(const Frame& frame, std::size_t first, std::size_t count,
                                        float* out) const {
    constexpr std::size_t kBlock = 256;
    double px[kBlock], py[kBlock], pz[kBlock], d[kBlock], value[kBlock];
    const std::size_t w = static_cast<std::size_t>(Width());
    const bool displaced = m_coordTurbulence.type != TurbulenceType::None;
    double t[3][4];
    TransformRows(frame, t);
    std::size_t row = first / w, column = first % w;
    for (std::size_t start = 0; start < count; start += kBlock) {
        const std::size_t n = count - start < kBlock ? count - start : kBlock;
        for (std::size_t i = 0; i < n; ++i) {
            double p[3];
            PixelPoint(frame, t, static_cast<int>(row), static_cast<int>(column), p);
            if (++column == w) {
                column = 0;
                ++row;
            }
            px[i] = p[0];
            py[i] = p[1];
            pz[i] = p[2];
        }
        if (displaced) {
            TurbulenceSumMany(*m_coordNoise, m_coordTurbulence.type, px, py, pz,
                              frame.coordMagnitude, frame.coordVariance,
                              m_coordTurbulence.iterations, d, n);
            for (std::size_t i = 0; i < n; ++i) {
                px[i] += d[i];
                py[i] += d[i];
                pz[i] += d[i];
            }
        }
        TurbulenceSumMany(*m_noise, m_turbulence.type, px, py, pz, frame.turbulenceMagnitude,
                          frame.turbulenceVariance, m_turbulence.iterations, value, n);
        for (std::size_t i = 0; i < n; ++i) {
            const double p[3] = {px[i], py[i], pz[i]};
            out[start + i] = static_cast<float>(FinishValue(value[i], p));
        }
    }
}

bool NoiseFunctionLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    bool plainResult = false;
    std::unique_lock<LayerLock> hold = BeginRender(context, plainResult);
    if (!hold.owns_lock()) return plainResult;

    const Frame frame = PrepareFrame(context.scale);
    // Every draw was taken in PrepareFrame: pixels are independent and may
    // be computed on any thread in any order.
    float* values = m_values.Data();
    const bool finished = ParallelProgressLoop(
        context, static_cast<std::size_t>(Size()), 256, [&](std::size_t begin, std::size_t end) {
            EvaluatePixels(frame, begin, end - begin, values + begin);
        });
    if (!finished) return false;

    ColorFunction().Apply(values, static_cast<std::size_t>(Size()));
    if (!MapColors(context)) return false;
    FreeBuffers();
    return true;
}

}  // namespace quillon
