#include "engine/bitmap_layer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <utility>

#include "engine/parallel.h"

namespace quillon {

bool RgbPicture::IsValidSize(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxDimension && height <= kMaxDimension &&
           width * height <= kMaxPixels;
}

bool RgbPicture::Allocate(int width, int height) {
    if (!IsValidSize(width, height)) return false;
    try {
        m_bytes.assign(3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

bool RgbPicture::Assign(int width, int height, const std::uint8_t* rgb) {
    if (!IsValidSize(width, height) || rgb == nullptr) return false;
    const std::size_t count = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    try {
        m_bytes.assign(rgb, rgb + count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

namespace {

constexpr float kByteToFloat = 0.003921569f;

enum class StepResult { Done, Cancelled, NoMemory };

// The sources feeding each output position along one direction, with
// their weights (normalisation included).
struct Contributions {
    std::vector<std::size_t> begin;  // n + 1 offsets into source and weight
    std::vector<int> source;
    std::vector<float> weight;
};

// Windowed sinc for enlarging from s to n positions. Tap positions are
// computed in single precision so every machine picks the same sources.
void BuildEnlarge(int s, int n, int radius, Contributions& table) {
    const float d = static_cast<float>(s) / static_cast<float>(n);
    const float pi = static_cast<float>(4.0 * std::atan(1.0));
    std::vector<float> tap(static_cast<std::size_t>(2 * radius + 1));
    for (int t = -radius; t <= radius; ++t) {
        const float x = static_cast<float>(t) * d;
        float w;
        if (std::fabs(x) > static_cast<float>(radius)) {
            w = 0.0f;
        } else if (std::fabs(x) < 0.000001f) {
            w = 1.0f;
        } else {
            const float px = pi * x;
            w = std::sin(px) / px;
        }
        tap[static_cast<std::size_t>(t + radius)] = w;
    }
    table.begin.assign(1, 0);
    table.source.reserve(static_cast<std::size_t>(n) * tap.size());
    table.weight.reserve(static_cast<std::size_t>(n) * tap.size());
    for (int o = 0; o < n; ++o) {
        const std::size_t first = table.source.size();
        double sum = 0.0;
        for (int t = -radius; t <= radius; ++t) {
            const float pos = static_cast<float>(t) * d + static_cast<float>(o) * d;
            const double index = std::floor(static_cast<double>(pos));
            if (index < 0.0 || index > s - 1) continue;
            const float w = tap[static_cast<std::size_t>(t + radius)];
            table.source.push_back(static_cast<int>(index));
            table.weight.push_back(w);
            sum += w;
        }
        if (std::fabs(sum) < 1e-12) {
            // The centre tap is always inside; never divide by zero anyway.
            table.source.resize(first);
            table.weight.resize(first);
            table.source.push_back(std::min(s - 1, static_cast<int>(static_cast<float>(o) * d)));
            table.weight.push_back(1.0f);
        } else {
            for (std::size_t k = first; k < table.weight.size(); ++k) {
                table.weight[k] = static_cast<float>(table.weight[k] / sum);
            }
        }
        table.begin.push_back(table.source.size());
    }
}

// Area average for reducing: output o covers [o c, (o + 1) c) of the source.
void BuildReduce(int s, int n, Contributions& table) {
    const double c = static_cast<double>(s) / static_cast<double>(n);
    const double scale = 1.0 / c;
    table.begin.assign(1, 0);
    table.source.reserve(static_cast<std::size_t>(s) + 2 * static_cast<std::size_t>(n));
    table.weight.reserve(static_cast<std::size_t>(s) + 2 * static_cast<std::size_t>(n));
    for (int o = 0; o < n; ++o) {
        const double lo = o * c;
        const double hi = (o + 1) * c;
        for (double i = std::floor(lo); i < hi; i += 1.0) {
            const double overlap = std::min(i + 1.0, hi) - std::max(i, lo);
            if (overlap <= 0.0) continue;
            table.source.push_back(std::min(static_cast<int>(i), s - 1));
            table.weight.push_back(static_cast<float>(overlap * scale));
        }
        table.begin.push_back(table.source.size());
    }
}

bool BuildContributions(int s, int n, int radius, Contributions& table) {
    try {
        if (n > s) {
            BuildEnlarge(s, n, radius, table);
        } else {
            BuildReduce(s, n, table);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

inline float Clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

// Output lines are computed on several threads. Each tests the cancel event
// before it starts and counts its pixels towards the progress steps (one
// per hundredth of the output), which any thread may post.
class LineRunner {
public:
    LineRunner(const RenderContext& context, std::size_t lines, std::size_t pixelsPerLine)
        : m_context(context),
          m_lines(lines),
          m_pixelsPerLine(pixelsPerLine),
          m_step(lines * pixelsPerLine / 100) {}

    template <class Line>
    StepResult Run(Line line) {
        const std::size_t grain = std::max<std::size_t>(1, kPixelGrain / std::max<std::size_t>(1, m_pixelsPerLine));
        ParallelFor(m_lines, grain, [&](std::size_t begin, std::size_t end) {
            for (std::size_t k = begin; k < end; ++k) {
                if (m_cancelled.load(std::memory_order_relaxed)) return;
                if (m_context.IsCancelled()) {
                    m_cancelled.store(true, std::memory_order_relaxed);
                    return;
                }
                line(k);
                Advance();
            }
        });
        return m_cancelled.load() ? StepResult::Cancelled : StepResult::Done;
    }

private:
    void Advance() {
        if (m_step == 0) return;
        const std::size_t before = m_done.fetch_add(m_pixelsPerLine, std::memory_order_relaxed);
        const std::size_t after = before + m_pixelsPerLine;
        for (std::size_t k = before / m_step; k < after / m_step; ++k) m_context.Post(Notification::ProgressStep);
    }

    const RenderContext& m_context;
    std::size_t m_lines;
    std::size_t m_pixelsPerLine;
    std::size_t m_step;
    std::atomic<std::size_t> m_done{0};
    std::atomic<bool> m_cancelled{false};
};

// Stretches every row of a w x h picture (3 floats per pixel) to n pixels.
StepResult ResizeRows(const FloatBuffer& src, int w, int h, int n, int radius,
                      const RenderContext& context, FloatBuffer& out) {
    Contributions table;
    if (!BuildContributions(w, n, radius, table)) return StepResult::NoMemory;
    const std::size_t outRow = 3 * static_cast<std::size_t>(n);
    if (!out.Allocate(outRow * static_cast<std::size_t>(h))) return StepResult::NoMemory;
    LineRunner runner(context, static_cast<std::size_t>(h), static_cast<std::size_t>(n));
    return runner.Run([&](std::size_t y) {
        const float* in = src.Data() + 3 * y * static_cast<std::size_t>(w);
        float* dst = out.Data() + y * outRow;
        for (std::size_t o = 0; o < static_cast<std::size_t>(n); ++o) {
            float r = 0.0f, g = 0.0f, b = 0.0f;
            for (std::size_t k = table.begin[o]; k < table.begin[o + 1]; ++k) {
                const float* p = in + 3 * static_cast<std::size_t>(table.source[k]);
                const float wk = table.weight[k];
                r += wk * p[0];
                g += wk * p[1];
                b += wk * p[2];
            }
            dst[3 * o] = Clamp01(r);
            dst[3 * o + 1] = Clamp01(g);
            dst[3 * o + 2] = Clamp01(b);
        }
    });
}

// Stretches every column of a w x h picture to n pixels, a whole output row
// at a time so the source is walked in memory order.
StepResult ResizeColumns(const FloatBuffer& src, int w, int h, int n, int radius,
                         const RenderContext& context, FloatBuffer& out) {
    Contributions table;
    if (!BuildContributions(h, n, radius, table)) return StepResult::NoMemory;
    const std::size_t row = 3 * static_cast<std::size_t>(w);
    if (!out.Allocate(row * static_cast<std::size_t>(n))) return StepResult::NoMemory;
    LineRunner runner(context, static_cast<std::size_t>(n), static_cast<std::size_t>(w));
    return runner.Run([&](std::size_t o) {
        float* dst = out.Data() + o * row;
        std::fill(dst, dst + row, 0.0f);
        for (std::size_t k = table.begin[o]; k < table.begin[o + 1]; ++k) {
            const float* in = src.Data() + static_cast<std::size_t>(table.source[k]) * row;
            const float wk = table.weight[k];
            for (std::size_t i = 0; i < row; ++i) dst[i] += wk * in[i];
        }
        for (std::size_t i = 0; i < row; ++i) dst[i] = Clamp01(dst[i]);
    });
}

// What a layer that cannot get its memory delivers: opaque black.
void DeliverBlack(RenderContext& context, std::size_t pixels) {
    std::fill(context.rgb, context.rgb + (context.wantColour ? 3 * pixels : pixels), 0.0f);
    std::fill(context.alpha, context.alpha + pixels, 1.0f);
}

}  // namespace

BitmapLayer::BitmapLayer(const BitmapLayer& other)
    : BaseLayer(other), m_picture(other.m_picture), m_radius(other.m_radius) {}

std::unique_ptr<BaseLayer> BitmapLayer::Clone() const { return std::make_unique<BitmapLayer>(*this); }

bool BitmapLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const BitmapLayer*>(&other) != nullptr;
}

void BitmapLayer::SetPicture(std::shared_ptr<const RgbPicture> picture) {
    if (picture && picture->Empty()) picture.reset();
    std::lock_guard<LayerLock> hold(Lock());
    m_picture = std::move(picture);
}

void BitmapLayer::SetPicture(RgbPicture picture) {
    SetPicture(std::make_shared<const RgbPicture>(std::move(picture)));
}

bool BitmapLayer::TrySetPicture(std::shared_ptr<const RgbPicture> picture) {
    if (picture && picture->Empty()) picture.reset();
    std::unique_lock<LayerLock> hold(Lock(), std::try_to_lock);
    if (!hold.owns_lock()) return false;
    m_picture = std::move(picture);
    return true;
}

void BitmapLayer::FreeBuffers() {
    BaseLayer::FreeBuffers();
    m_working.Release();
    m_workingWidth = 0;
    m_workingHeight = 0;
}

bool BitmapLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    std::unique_lock<LayerLock> hold(Lock());
    if (!m_picture) {
        hold.unlock();
        return RenderPlain(context);
    }
    context.Post(Notification::LayerStarted);

    const std::size_t pixels = static_cast<std::size_t>(Size());
    const RgbPicture& picture = *m_picture;
    // The old working buffer goes first: it may be as large as the new one.
    m_working.Release();
    m_workingWidth = 0;
    m_workingHeight = 0;
    if (!m_working.Allocate(picture.ByteCount())) {
        DeliverBlack(context, pixels);
        return !context.IsCancelled();
    }
    const std::uint8_t* bytes = picture.Bytes();
    float* work = m_working.Data();
    ParallelFor(picture.ByteCount(), 3 * kPixelGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) work[i] = static_cast<float>(bytes[i]) * kByteToFloat;
    });
    m_workingWidth = picture.Width();
    m_workingHeight = picture.Height();

    // Each step builds a new buffer and replaces the working buffer only
    // when it completes.
    const auto resize = [&](bool rows, int n) {
        if (n == (rows ? m_workingWidth : m_workingHeight)) return StepResult::Done;
        FloatBuffer out;
        const StepResult result =
            rows ? ResizeRows(m_working, m_workingWidth, m_workingHeight, n, m_radius, context, out)
                 : ResizeColumns(m_working, m_workingWidth, m_workingHeight, n, m_radius, context, out);
        if (result != StepResult::Done) return result;
        m_working = std::move(out);
        (rows ? m_workingWidth : m_workingHeight) = n;
        return result;
    };
    StepResult result = resize(true, Width());
    if (result == StepResult::Done) result = resize(false, Height());
    if (result == StepResult::Cancelled || context.IsCancelled()) return false;
    if (result == StepResult::NoMemory) {
        DeliverBlack(context, pixels);
        return true;
    }

    const float* rgb = m_working.Data();
    ParallelFor(pixels, kPixelGrain, [&](std::size_t begin, std::size_t end) {
        if (context.wantColour) {
            std::copy(rgb + 3 * begin, rgb + 3 * end, context.rgb + 3 * begin);
        } else {
            for (std::size_t p = begin; p < end; ++p) {
                context.rgb[p] = 0.299f * rgb[3 * p] + 0.587f * rgb[3 * p + 1] + 0.114f * rgb[3 * p + 2];
            }
        }
        std::fill(context.alpha + begin, context.alpha + end, 1.0f);
    });
    return true;
}

}  // namespace quillon
