#include "engine/tiling_layer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <tuple>

#include "engine/error_reporter.h"
#include "engine/parallel.h"

namespace quillon {

namespace {

// A true modulo: negative coordinates wrap too.
int Wrap(long long v, int n) {
    long long m = v % n;
    if (m < 0) m += n;
    return static_cast<int>(m);
}

// A drawn number that must be a usable float (weights, reductions).
float FiniteOrZero(double v) {
    const float f = static_cast<float>(v);
    return std::isfinite(f) ? f : 0.0f;
}

// Draws trunc(uniform over [0, n - size)) and keeps it a valid start for a
// window of size pixels in n.
int WindowStart(RandomGenerator& gen, int n, int size) {
    const int start = TruncToInt(gen.Uniform(0.0, static_cast<double>(n - size)));
    return std::clamp(start, 0, n - size);
}

long long IntSqrt(long long v) {
    long long r = static_cast<long long>(std::sqrt(static_cast<double>(v)));
    while (r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return r;
}

// A run of equal weights in one row of a (2r + 1) x (2r + 1) kernel.
struct Segment {
    int dx0;
    int dx1;  // inclusive
    double weight;
};

// The kernel by rows (dy = -r .. r). Square: every weight is 1. Rounded:
// each weight is the share of a cell's 4 x 4 sub-samples, on the
// (8r + 4)^2 grid, for which (i - 4r)^2 + (j - 4r)^2 <= 16 r^2. Only the
// cells near the rim are partly covered, so this costs O(r), not O(r^2).
std::vector<std::vector<Segment>> KernelRows(int r, bool rounded) {
    std::vector<std::vector<Segment>> rows(static_cast<std::size_t>(2 * r + 1));
    if (!rounded) {
        for (auto& row : rows) row.push_back({-r, r, 1.0});
        return rows;
    }
    const long long c = 4LL * r;
    const long long last = 8LL * r + 3;
    for (int q = 0; q <= 2 * r; ++q) {
        // Sub-sample columns inside the disc for each of the cell row's
        // four sub-rows; empty when lo > hi.
        long long lo[4], hi[4];
        long long minLo = last + 1, maxHi = -1, maxLo = -1, minHi = last + 1;
        for (int s = 0; s < 4; ++s) {
            const long long j = 4LL * q + s;
            const long long d = 16LL * r * r - (j - c) * (j - c);
            if (d < 0) {
                lo[s] = 1;
                hi[s] = 0;
            } else {
                const long long h = IntSqrt(d);
                lo[s] = std::max(0LL, c - h);
                hi[s] = std::min(last, c + h);
            }
            if (lo[s] <= hi[s]) {
                minLo = std::min(minLo, lo[s]);
                maxHi = std::max(maxHi, hi[s]);
            }
            maxLo = std::max(maxLo, lo[s] <= hi[s] ? lo[s] : last + 1);
            minHi = std::min(minHi, lo[s] <= hi[s] ? hi[s] : -1LL);
        }
        if (maxHi < 0) continue;
        const auto weightOf = [&](long long p) {
            int count = 0;
            for (int s = 0; s < 4; ++s) {
                const long long a = std::max(lo[s], 4 * p);
                const long long b = std::min(hi[s], 4 * p + 3);
                if (a <= b) count += static_cast<int>(b - a + 1);
            }
            return count / 16.0;
        };
        // Cells fully covered by all four sub-rows weigh 1.
        const long long fullFirst = (maxLo + 3) / 4;
        const long long fullLast = (minHi + 1) / 4 - 1;
        auto& row = rows[static_cast<std::size_t>(q)];
        const auto add = [&row, r](long long p, double w) {
            if (w <= 0.0) return;
            const int dx = static_cast<int>(p) - r;
            if (!row.empty() && row.back().weight == w && row.back().dx1 == dx - 1) {
                row.back().dx1 = dx;
            } else {
                row.push_back({dx, dx, w});
            }
        };
        const long long firstCell = minLo / 4;
        const long long lastCell = maxHi / 4;
        if (fullFirst <= fullLast) {
            for (long long p = firstCell; p < fullFirst; ++p) add(p, weightOf(p));
            row.push_back({static_cast<int>(fullFirst) - r, static_cast<int>(fullLast) - r, 1.0});
            for (long long p = fullLast + 1; p <= lastCell; ++p) add(p, weightOf(p));
        } else {
            for (long long p = firstCell; p <= lastCell; ++p) add(p, weightOf(p));
        }
    }
    return rows;
}

// Splits [0, count) into about 64 blocks, so that a loop can post progress
// and test the stop event between blocks while each block runs in parallel.
std::size_t BlockSize(std::size_t count) {
    return std::max<std::size_t>(1, (count + 63) / 64);
}

}  // namespace

TilingLayer::TilingLayer() {
    for (int k = 0; k < Count(); ++k) Child(k)->SetFlags(Child(k)->Flags() | kLayerTilingSubLayer);
}

TilingLayer::TilingLayer(const TilingLayer& other)
    : BumpMapLayer(other),
      m_bricksWide(other.m_bricksWide),
      m_bricksHigh(other.m_bricksHigh),
      m_offset(other.m_offset),
      m_numberOfRocks(other.m_numberOfRocks),
      m_growth(other.m_growth),
      m_regular(other.m_regular),
      m_randomPlacement(other.m_randomPlacement),
      m_edgeRadius(other.m_edgeRadius),
      m_roundedEdges(other.m_roundedEdges),
      m_profile(other.m_profile),
      m_threshold(other.m_threshold) {
    // A copy of a layer is not a sub-layer until adopted; these are.
    for (int k = 0; k < Count(); ++k) Child(k)->SetFlags(Child(k)->Flags() | kLayerTilingSubLayer);
}

std::unique_ptr<BaseLayer> TilingLayer::Clone() const {
    return std::make_unique<TilingLayer>(*this);
}

bool TilingLayer::IsSameKind(const BaseLayer& other) const {
    return dynamic_cast<const TilingLayer*>(&other) != nullptr;
}

bool TilingLayer::InsertAt(std::unique_ptr<BaseLayer> layer, int index) {
    BaseLayer* child = layer.get();
    if (!BumpMapLayer::InsertAt(std::move(layer), index)) return false;
    child->SetFlags(child->Flags() | kLayerTilingSubLayer);
    return true;
}

bool TilingLayer::ReplaceAt(int index, std::unique_ptr<BaseLayer> layer) {
    BaseLayer* child = layer.get();
    if (!BumpMapLayer::ReplaceAt(index, std::move(layer))) return false;
    child->SetFlags(child->Flags() | kLayerTilingSubLayer);
    return true;
}

void TilingLayer::SetSize(int width, int height) {
    if (width == Width() && height == Height()) return;
    BumpMapLayer::SetSize(width, height);
    std::lock_guard<LayerLock> hold(Lock());
    FreeBuffers();
}

bool TilingLayer::AllocateBuffers() {
    FreeBuffers();
    const std::size_t n = static_cast<std::size_t>(Size());
    if (!BumpMapLayer::AllocateBuffers() || !BaseLayer::AllocateBuffers()) return false;
    if (!m_colour.Allocate(3 * n)) return false;
    m_pieces.reset(new (std::nothrow) std::int32_t[n]);
    return m_pieces != nullptr;
}

void TilingLayer::FreeBuffers() {
    BumpMapLayer::FreeBuffers();
    BaseLayer::FreeBuffers();
    m_colour.Release();
    m_pieces.reset();
    m_sources.clear();
    m_sources.shrink_to_fit();
    m_rocks.clear();
    m_rocks.shrink_to_fit();
}

bool TilingLayer::Render(RenderContext& context) {
    if (!IsEnabled()) return true;
    bool plainResult = false;
    std::unique_lock<LayerLock> hold = BeginRender(context, plainResult);
    if (!hold.owns_lock()) return plainResult;

    const std::size_t n = static_cast<std::size_t>(Size());
    if (!ParallelFill(context, m_colour.Data(), m_colour.Count(), 0.0f) ||
        !ParallelFill(context, m_pieces.get(), n, static_cast<std::int32_t>(kUnassigned)) ||
        !ParallelFill(context, context.alpha, n, 1.0f)) {
        return false;
    }
    m_pieceCount = 0;

    Step step = Step::Done;
    try {
        if (!BuildSources(context)) {
            // Queued to the user interface; a rendering never waits for the user.
            ReportError("No bricks defined for tiling layer");
            FreeBuffers();
            hold.unlock();
            return RenderPlain(context);
        }
        step = m_regular ? PlaceBricks(context) : GrowRocks(context);
        if (step == Step::Done) {
            int radius = TruncToInt(m_edgeRadius.Evaluate());
            // A larger kernel only repeats the texture.
            radius = std::min(radius, std::max(Width(), Height()));
            if (radius > 0) step = MakeEdges(context, radius);
        }
    } catch (const std::bad_alloc&) {
        step = Step::NoMemory;
    }
    if (step == Step::Cancelled) return false;
    if (step == Step::NoMemory) {
        FreeBuffers();
        hold.unlock();
        return RenderPlain(context);
    }

    const float* colour = m_colour.Data();
    float* const out = context.rgb;
    const bool wantColour = context.wantColour;
    const bool copied =
        ParallelCancellableFor(context, n, kPixelGrain, [=](std::size_t begin, std::size_t end) {
            if (wantColour) {
                std::copy(colour + 3 * begin, colour + 3 * end, out + 3 * begin);
                return;
            }
            for (std::size_t p = begin; p < end; ++p) {
                out[p] = 0.299f * colour[3 * p] + 0.587f * colour[3 * p + 1] +
                         0.114f * colour[3 * p + 2];
            }
        });
    if (!copied) return false;
    FreeBuffers();
    return true;
}

bool TilingLayer::BuildSources(const RenderContext& context) {
    m_sources.clear();
    m_totalWeight = 0.0f;
    for (int k = Count() - 1; k >= 0; --k) {
        BaseLayer* child = Child(k);
        if (!child->IsEnabled() || child->IsMortar()) continue;
        const double drawn = child->Probability().Evaluate();
        float weight = FiniteOrZero(drawn * context.xScale * context.yScale);
        if (weight < 0.0f) weight = 0.0f;
        Source source;
        source.child = child;
        source.weight = weight;
        m_sources.push_back(std::move(source));
        m_totalWeight += weight;
    }
    return !m_sources.empty();
}

TilingLayer::Step TilingLayer::RenderChild(RenderContext& context, BaseLayer& child,
                                           FloatBuffer& colour, FloatBuffer& alpha) {
    const std::size_t n = static_cast<std::size_t>(Size());
    if (!colour.Allocate(3 * n) || !alpha.Allocate(n)) {
        colour.Release();
        alpha.Release();
        return Step::NoMemory;
    }
    if (!ParallelFill(context, colour.Data(), colour.Count(), 0.0f) ||
        !ParallelFill(context, alpha.Data(), alpha.Count(), 1.0f)) {
        return Step::Cancelled;
    }
    RenderContext inner;
    inner.rgb = colour.Data();
    inner.alpha = alpha.Data();
    inner.scale = context.scale;
    inner.xScale = context.xScale;
    inner.yScale = context.yScale;
    inner.wantColour = true;
    inner.sink = context.sink;
    inner.onComposite = context.onComposite;
    inner.job = context.job;
    inner.callbackArg = context.callbackArg;
    if (!child.Render(inner) || inner.IsCancelled()) return Step::Cancelled;
    return Step::Done;
}

// PROBABILITY is a budget of uses and REDUCTION the cost of one use.
TilingLayer::Step TilingLayer::ChooseSource(RenderContext& context, Source*& chosen) {
    double a = Uniform(0.0, static_cast<double>(m_totalWeight));
    chosen = &m_sources.back();
    for (Source& source : m_sources) {
        a -= source.weight;
        if (a < 0.0) {
            chosen = &source;
            break;
        }
    }
    if (!chosen->colour) {
        const Step step = RenderChild(context, *chosen->child, chosen->colour, chosen->alpha);
        if (step != Step::Done) return step;
    }
    float reduction = FiniteOrZero(chosen->child->Reduction().Evaluate());
    reduction = std::min(reduction, chosen->weight);
    chosen->weight -= reduction;
    m_totalWeight = std::max(0.0f, m_totalWeight - reduction);
    return Step::Done;
}

TilingLayer::Window TilingLayer::DrawWindow(const Source& source, int x, int y, int w,
                                            int h) const {
    Window window;
    window.source = &source;
    window.x = x;
    window.y = y;
    // A piece never reads outside the child's picture, however large.
    window.w = std::clamp(w, 0, Width());
    window.h = std::clamp(h, 0, Height());
    RandomGenerator& gen = RandomGenerator::Instance();
    window.sourceX = WindowStart(gen, Width(), window.w);
    window.sourceY = WindowStart(gen, Height(), window.h);
    return window;
}

void TilingLayer::CopyWindow(const Window& window, int piece, float* alpha) {
    const int width = Width();
    const int height = Height();
    const float* colourIn = window.source->colour.Data();
    const float* alphaIn = window.source->alpha.Data();
    float* colourOut = m_colour.Data();
    const int x0 = Wrap(window.x, width);
    for (int j = 0; j < window.h; ++j) {
        const std::size_t destRow =
            static_cast<std::size_t>(Wrap(static_cast<long long>(window.y) + j, height)) * width;
        const std::size_t sourceRow =
            static_cast<std::size_t>(window.sourceY + j) * width + window.sourceX;
        int dx = x0;
        for (int i = 0; i < window.w; ++i, ++dx) {
            if (dx == width) dx = 0;
            const std::size_t d = destRow + static_cast<std::size_t>(dx);
            const std::size_t s = sourceRow + static_cast<std::size_t>(i);
            colourOut[3 * d] = colourIn[3 * s];
            colourOut[3 * d + 1] = colourIn[3 * s + 1];
            colourOut[3 * d + 2] = colourIn[3 * s + 2];
            alpha[d] = alphaIn[s];
            m_pieces[d] = piece;
        }
    }
}

// Rows of bricks (or columns, when the bricks come out taller than wide);
// the code speaks of rows, "along" a row and "across" the rows.
TilingLayer::Step TilingLayer::PlaceBricks(RenderContext& context) {
    const int width = Width();
    const int height = Height();
    int nx = TruncToInt(m_bricksWide.Evaluate() * context.xScale);
    nx = nx > 0 ? std::max(1, std::min(nx, width / 2)) : 1;
    int ny = TruncToInt(m_bricksHigh.Evaluate() * context.yScale);
    ny = ny > 0 ? std::max(1, std::min(ny, height / 2)) : 1;

    const bool columns = static_cast<long long>(ny) * width < static_cast<long long>(nx) * height;
    const int along = columns ? height : width;
    const int across = columns ? width : height;
    const int perRow = columns ? ny : nx;
    const int rows = columns ? nx : ny;
    const int bw = along / perRow;
    const int ew = along % perRow;
    const int bh = across / rows;
    int spareRows = across % rows;

    RandomGenerator& gen = RandomGenerator::Instance();
    ProgressCounter progress(context, static_cast<std::size_t>(Size()));
    // The draws stay in order; the copies are made afterwards, a batch of
    // rows at a time. Rows of bricks cover disjoint bands of the picture,
    // so they are copied side by side, each row's bricks in order (a brick
    // may overlap the one before it).
    std::vector<Window> pending;
    std::vector<std::size_t> rowFirst;  // where each pending row starts
    std::size_t pendingPixels = 0;
    const std::size_t batchPixels = std::max<std::size_t>(Size() / 16, 4096);
    const auto copyPending = [&] {
        rowFirst.push_back(pending.size());
        const int firstPiece = m_pieceCount - static_cast<int>(pending.size());
        const bool copied = ParallelCancellableFor(
            context, rowFirst.size() - 1, 1, [&](std::size_t begin, std::size_t end) {
                for (std::size_t r = begin; r < end; ++r) {
                    for (std::size_t k = rowFirst[r]; k < rowFirst[r + 1]; ++k)
                        CopyWindow(pending[k], firstPiece + static_cast<int>(k), context.alpha);
                }
            });
        pending.clear();
        rowFirst.clear();
        pendingPixels = 0;
        return copied;
    };
    double runningOffset = 0.0;
    int rowStart = 0;
    for (int row = 0; row < rows; ++row) {
        rowFirst.push_back(pending.size());
        int rowHeight = bh;
        if (spareRows > 0) {
            ++rowHeight;
            --spareRows;
        }
        int position = Wrap(TruncToInt(bw * runningOffset), along);
        int carry = 0;
        int spareColumns = ew;
        for (int k = 0; k < perRow; ++k) {
            int length = bw;
            if (m_randomPlacement) {
                if (k < perRow - 1) {
                    if (carry < -bw) {
                        // The bricks so far overran by a whole brick: skip one,
                        // and let the last brick still close the row.
                        carry += bw;
                        continue;
                    }
                    const int t = TruncToInt(gen.Uniform(-0.35 * bw, 0.35 * bw));
                    length = bw + t + (k == 0 ? ew : 0);
                    carry -= t;
                } else {
                    length = bw + carry;
                }
            } else if (spareColumns > 0) {
                ++length;
                --spareColumns;
            }

            Source* source = nullptr;
            const Step step = ChooseSource(context, source);
            if (step != Step::Done) return step;
            pending.push_back(columns ? DrawWindow(*source, rowStart, position, rowHeight, length)
                                      : DrawWindow(*source, position, rowStart, length, rowHeight));
            ++m_pieceCount;
            if (length > 0) {
                const std::size_t pixels =
                    static_cast<std::size_t>(std::min(length, along)) * rowHeight;
                progress.Advance(pixels);
                pendingPixels += pixels;
            }
            if (context.IsCancelled()) return Step::Cancelled;
            position = Wrap(static_cast<long long>(position) + length, along);
        }
        runningOffset += m_offset.Evaluate();
        rowStart += rowHeight;
        if ((pendingPixels >= batchPixels || pending.size() >= 65536) && !copyPending())
            return Step::Cancelled;
    }
    return copyPending() ? Step::Done : Step::Cancelled;
}

namespace {

struct GrowthItem {
    int x;
    int y;
    int dx;
    int dy;
    int rock;
};

// The growth rate of a rock: 0 would never grow and re-queue for ever.
double ClampGrowth(double g) {
    if (std::isnan(g)) return 1.0;
    return std::clamp(g, 0.1, 1.0);
}

}  // namespace

TilingLayer::Step TilingLayer::GrowRocks(RenderContext& context) {
    const int width = Width();
    const int height = Height();
    const long long pixels = static_cast<long long>(width) * height;
    std::int32_t* pieces = m_pieces.get();
    RandomGenerator& gen = RandomGenerator::Instance();

    long long count = TruncToInt(m_numberOfRocks.Evaluate() * context.yScale * context.xScale);
    count = count > 0 ? std::max(1LL, std::min(count, pixels / 4)) : 1;
    m_rocks.assign(static_cast<std::size_t>(count), Rock{});
    std::deque<GrowthItem> queue;

    const auto seed = [&](int rock, int x, int y) {
        pieces[static_cast<std::size_t>(y) * width + x] = rock;
        queue.push_back({x, y, 0, 0, rock});
        Rock& r = m_rocks[static_cast<std::size_t>(rock)];
        r.seedX = x;
        r.seedY = y;
        r.growth = ClampGrowth(m_growth.Evaluate());
    };

    if (m_randomPlacement) {
        for (long long rock = count - 1; rock >= 0; --rock) {
            int x = 0;
            int y = 0;
            // At most a quarter of the pixels are seeds, so a free one turns up.
            do {
                x = std::clamp(TruncToInt(gen.Uniform(0.0, width)), 0, width - 1);
                y = std::clamp(TruncToInt(gen.Uniform(0.0, height)), 0, height - 1);
            } while (pieces[static_cast<std::size_t>(y) * width + x] != kUnassigned);
            seed(static_cast<int>(rock), x, y);
        }
    } else {
        // b x b seeds, the spare ones spread over the rows; each row shifted
        // by the OFFSET draws of the rows above it.
        const long long b = IntSqrt(count);
        long long spare = count - b * b;
        long long rowCount = b;
        if (b < spare) {
            rowCount = b + 1;
            spare -= b;
        }
        double rowPosition = static_cast<double>(height) / static_cast<double>(rowCount + 1);
        const double rowStep = static_cast<double>(height) / static_cast<double>(rowCount);
        double offsetSum = 0.0;
        long long accumulator = 0;  // in units of 1 / rowCount
        long long rock = count - 1;
        for (long long row = 0; row < rowCount; ++row) {
            const int y = Wrap(TruncToInt(rowPosition + 0.5), height);
            long long m = b;
            accumulator += spare;
            if (accumulator >= rowCount) {
                ++m;
                accumulator -= rowCount;
            }
            const double columnStep = static_cast<double>(width) / static_cast<double>(m);
            double columnPosition =
                static_cast<double>(width) / static_cast<double>(m + 1) + columnStep * offsetSum;
            for (long long s = 0; s < m && rock >= 0; ++s, --rock) {
                seed(static_cast<int>(rock), Wrap(TruncToInt(columnPosition + 0.5), width), y);
                columnPosition += columnStep;
            }
            offsetSum += m_offset.Evaluate();
            rowPosition += rowStep;
        }
    }

    ProgressCounter progress(context, static_cast<std::size_t>(pixels));
    const auto claim = [&](int x, int y, int dx, int dy, int rock) {
        pieces[static_cast<std::size_t>(y) * width + x] = rock;
        queue.push_back({x, y, dx, dy, rock});
        Rock& r = m_rocks[static_cast<std::size_t>(rock)];
        r.minDx = std::min(r.minDx, dx);
        r.maxDx = std::max(r.maxDx, dx);
        r.minDy = std::min(r.minDy, dy);
        r.maxDy = std::max(r.maxDy, dy);
        progress.Step();
    };
    // Growth draws come in batches under one hold of the generator's lock,
    // released now and then so that other threads are not kept waiting.
    std::optional<RandomGenerator::Batch> batch;
    int batchItems = 0;
    while (!queue.empty()) {
        if (context.IsCancelled()) return Step::Cancelled;
        if (batchItems-- == 0) {
            batch.reset();
            batch.emplace(gen);
            batchItems = 4096;
        }
        const GrowthItem item = queue.front();
        queue.pop_front();
        const double rate = m_rocks[static_cast<std::size_t>(item.rock)].growth;
        // Left, right, up, down.
        const GrowthItem next[4] = {
            {item.x > 0 ? item.x - 1 : width - 1, item.y, item.dx - 1, item.dy, item.rock},
            {item.x < width - 1 ? item.x + 1 : 0, item.y, item.dx + 1, item.dy, item.rock},
            {item.x, item.y > 0 ? item.y - 1 : height - 1, item.dx, item.dy - 1, item.rock},
            {item.x, item.y < height - 1 ? item.y + 1 : 0, item.dx, item.dy + 1, item.rock},
        };
        const auto isFree = [&](const GrowthItem& g) {
            return pieces[static_cast<std::size_t>(g.y) * width + g.x] == kUnassigned;
        };
        if (rate >= 1.0) {
            for (const GrowthItem& g : next) {
                if (isFree(g)) claim(g.x, g.y, g.dx, g.dy, g.rock);
            }
            continue;
        }
        if (batch->Uniform(0.0, 1.0) > rate) {
            queue.push_back(item);
            continue;
        }
        int free[4];
        int freeCount = 0;
        for (int k = 0; k < 4; ++k) {
            if (isFree(next[k])) free[freeCount++] = k;
        }
        if (freeCount == 0) continue;
        const int pick = std::clamp(TruncToInt(batch->Uniform(0.0, freeCount)), 0, freeCount - 1);
        const GrowthItem& g = next[free[pick]];
        claim(g.x, g.y, g.dx, g.dy, g.rock);
        if (freeCount > 1) queue.push_back(item);
    }

    batch.reset();

    if (count > 1 && !SmoothRocks(context)) return Step::Cancelled;
    m_pieceCount = static_cast<int>(count);
    return FillRocks(context);
}

// Each pixel takes the rock that weighs most in the rounded disc around it
// (ties to the lower number), which rounds off the ragged growth.
bool TilingLayer::SmoothRocks(const RenderContext& context) {
    const int width = Width();
    const int height = Height();
    const std::size_t n = static_cast<std::size_t>(Size());
    const int r = kSmoothingRadius;
    struct Tap {
        int column, row;  // 0 .. 2r
        double weight;
    };
    std::vector<Tap> taps;
    const auto rows = KernelRows(r, true);
    for (int q = 0; q <= 2 * r; ++q) {
        for (const Segment& s : rows[static_cast<std::size_t>(q)]) {
            for (int dx = s.dx0; dx <= s.dx1; ++dx) taps.push_back({dx + r, q, s.weight});
        }
    }
    std::unique_ptr<std::int32_t[]> smoothed(new std::int32_t[n]);
    const std::int32_t* pieces = m_pieces.get();
    const std::size_t block = BlockSize(static_cast<std::size_t>(height));
    for (std::size_t first = 0; first < static_cast<std::size_t>(height); first += block) {
        if (context.IsCancelled()) return false;
        const std::size_t last = std::min<std::size_t>(height, first + block);
        ParallelFor(last - first, 1, [&](std::size_t begin, std::size_t end) {
            std::int32_t rock[64];
            double weight[64];
            std::size_t rowBase[2 * kSmoothingRadius + 1];
            int column[2 * kSmoothingRadius + 1];
            for (std::size_t row = first + begin; row < first + end; ++row) {
                const int y = static_cast<int>(row);
                for (int q = 0; q <= 2 * r; ++q) {
                    rowBase[q] = static_cast<std::size_t>(Wrap(y + q - r, height)) * width;
                }
                for (int x = 0; x < width; ++x) {
                    for (int c = 0; c <= 2 * r; ++c) {
                        const int cx = x + c - r;
                        column[c] = cx >= 0 && cx < width ? cx : Wrap(cx, width);
                    }
                    int found = 0;
                    for (const Tap& tap : taps) {
                        const int id = pieces[rowBase[tap.row] + column[tap.column]];
                        if (id < 0) continue;
                        int k = 0;
                        while (k < found && rock[k] != id) ++k;
                        if (k == found) {
                            rock[found] = id;
                            weight[found++] = 0.0;
                        }
                        weight[k] += tap.weight;
                    }
                    const std::size_t p = row * width + static_cast<std::size_t>(x);
                    std::int32_t best = pieces[p];
                    double bestWeight = -1.0;
                    for (int k = 0; k < found; ++k) {
                        if (weight[k] > bestWeight || (weight[k] == bestWeight && rock[k] < best)) {
                            best = rock[k];
                            bestWeight = weight[k];
                        }
                    }
                    smoothed[p] = best;
                }
            }
        });
    }
    m_pieces = std::move(smoothed);
    return true;
}

// Every rock takes a window of its source the size of the box it grew.
// Smoothing may have moved a few of its rim pixels outside that box; they
// come through the same window, from the box's nearer side, so no pixel
// stays black and no window draw changes. The draws come first, in rock
// order; the pixels, each from its own rock's window, on the pool.
TilingLayer::Step TilingLayer::FillRocks(RenderContext& context) {
    const int width = Width();
    const int height = Height();
    std::vector<Window> windows;
    windows.reserve(m_rocks.size());
    for (std::size_t k = 0; k < m_rocks.size(); ++k) {
        Source* source = nullptr;
        const Step step = ChooseSource(context, source);
        if (step != Step::Done) return step;
        const Rock& rock = m_rocks[k];
        windows.push_back(DrawWindow(
            *source, Wrap(static_cast<long long>(rock.seedX) + rock.minDx, width),
            Wrap(static_cast<long long>(rock.seedY) + rock.minDy, height),
            static_cast<int>(
                std::min<long long>(static_cast<long long>(rock.maxDx) - rock.minDx + 1, width)),
            static_cast<int>(
                std::min<long long>(static_cast<long long>(rock.maxDy) - rock.minDy + 1, height))));
        if (context.IsCancelled()) return Step::Cancelled;
    }

    // A pixel's offset from its box's start is negative when it lies
    // nearer the start than the end; the source pixel is then clamped.
    const auto offsetOf = [](int p, int start, int size, int n) {
        const int r = Wrap(static_cast<long long>(p) - start, n);
        return r >= size && r - size >= n - r ? r - n : r;
    };
    const std::int32_t* pieces = m_pieces.get();
    float* colourOut = m_colour.Data();
    float* alpha = context.alpha;
    const bool filled = ParallelCancellableFor(
        context, static_cast<std::size_t>(height), 1, [&](std::size_t begin, std::size_t end) {
            for (std::size_t y = begin; y < end; ++y) {
                for (int x = 0; x < width; ++x) {
                    const std::size_t d = y * width + static_cast<std::size_t>(x);
                    const int k = pieces[d];
                    if (k < 0) continue;
                    const Window& window = windows[static_cast<std::size_t>(k)];
                    const int rx = offsetOf(x, window.x, window.w, width);
                    const int ry = offsetOf(static_cast<int>(y), window.y, window.h, height);
                    const int sx = std::clamp(window.sourceX + rx, 0, width - 1);
                    const int sy = std::clamp(window.sourceY + ry, 0, height - 1);
                    const std::size_t s =
                        static_cast<std::size_t>(sy) * width + static_cast<std::size_t>(sx);
                    const Source& source = *window.source;
                    colourOut[3 * d] = source.colour.Data()[3 * s];
                    colourOut[3 * d + 1] = source.colour.Data()[3 * s + 1];
                    colourOut[3 * d + 2] = source.colour.Data()[3 * s + 2];
                    alpha[d] = source.alpha.Data()[s];
                }
            }
        });
    return filled ? Step::Done : Step::Cancelled;
}

float TilingLayer::ProfileHeight(float o) const {
    if (m_profile.size() < 2) return 1.0f;
    if (o <= m_profile.front().x) return m_profile.front().y;
    for (std::size_t k = 0; k + 1 < m_profile.size(); ++k) {
        const ProfilePoint& a = m_profile[k];
        const ProfilePoint& b = m_profile[k + 1];
        if (o <= b.x) {
            if (!(b.x > a.x)) return b.y;
            return a.y + (o - a.x) * (b.y - a.y) / (b.x - a.x);
        }
    }
    return m_profile.back().y;
}

float TilingLayer::UnassignedHeight() const {
    return m_profile.empty() ? 1.0f : m_profile.front().y;
}

// Edge heights, mortar in the low joints, then the heights lit as a
// tileable bump map and the light laid over the pieces' colours.
TilingLayer::Step TilingLayer::MakeEdges(RenderContext& context, int radius) {
    Step step = EdgeHeights(context, radius);
    if (step == Step::Done) step = LayMortar(context);
    if (step != Step::Done) return step;

    const std::size_t n = static_cast<std::size_t>(Size());
    const float* heights = m_values.Data();
    float* grey = m_scratch.Data();
    const bool greyed =
        ParallelCancellableFor(context, n, kPixelGrain, [=](std::size_t begin, std::size_t end) {
            for (std::size_t p = begin; p < end; ++p) {
                grey[3 * p] = heights[p];
                grey[3 * p + 1] = heights[p];
                grey[3 * p + 2] = heights[p];
            }
        });
    if (!greyed || !Shade(grey, true, context)) return Step::Cancelled;
    const float* shade = m_work.Data();
    float* colour = m_colour.Data();
    const float* alpha = context.alpha;
    ParallelFor(n, kPixelGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t p = begin; p < end; ++p) {
            for (std::size_t c = 3 * p; c < 3 * p + 3; ++c) {
                colour[c] = std::clamp(colour[c] + (shade[c] - 0.5f) * alpha[p], 0.0f, 1.0f);
            }
        }
    });
    return Step::Done;
}

namespace {

// A rectangle of the edge kernel, offsets inclusive, with its weight.
struct KernelBox {
    int dx0, dx1, dy0, dy1;
    double weight;
};

// A single cell of a rounded kernel's rim.
struct KernelCell {
    int dx, dy;
    double weight;
};

struct EdgeKernelParts {
    std::vector<KernelBox> boxes;
    std::vector<KernelCell> cells;
};

// Rounded kernels up to this radius are summed exactly: rows of full cells
// merged into rectangles, and the rim cell by cell. Larger ones are summed
// in 2 x kExactRoundedRadius + 1 bands of rows, each a rectangle of the
// band's weight, so the cost never grows with the radius.
constexpr int kExactRoundedRadius = 16;

EdgeKernelParts EdgeKernel(int r, bool rounded) {
    EdgeKernelParts kernel;
    if (!rounded) {
        kernel.boxes.push_back({-r, r, -r, r, 1.0});
        return kernel;
    }
    const auto rows = KernelRows(r, true);
    if (r <= kExactRoundedRadius) {
        for (int q = 0; q <= 2 * r; ++q) {
            for (const Segment& s : rows[static_cast<std::size_t>(q)]) {
                if (s.weight != 1.0) {
                    for (int dx = s.dx0; dx <= s.dx1; ++dx)
                        kernel.cells.push_back({dx, q - r, s.weight});
                    continue;
                }
                KernelBox* above = kernel.boxes.empty() ? nullptr : &kernel.boxes.back();
                if (above && above->dx0 == s.dx0 && above->dx1 == s.dx1 &&
                    above->dy1 == q - r - 1) {
                    above->dy1 = q - r;
                } else {
                    kernel.boxes.push_back({s.dx0, s.dx1, q - r, q - r, 1.0});
                }
            }
        }
        return kernel;
    }
    const int bands = 2 * kExactRoundedRadius + 1;
    for (int b = 0; b < bands; ++b) {
        const int q0 = static_cast<int>(static_cast<long long>(2 * r + 1) * b / bands);
        const int q1 = static_cast<int>(static_cast<long long>(2 * r + 1) * (b + 1) / bands) - 1;
        double weight = 0.0;
        for (int q = q0; q <= q1; ++q) {
            for (const Segment& s : rows[static_cast<std::size_t>(q)]) {
                weight += s.weight * (s.dx1 - s.dx0 + 1);
            }
        }
        const double perRow = weight / (q1 - q0 + 1);
        const int half = std::max(0, static_cast<int>(std::lround((perRow - 1.0) / 2.0)));
        if (perRow > 0.0) kernel.boxes.push_back({-half, half, q0 - r, q1 - r, 1.0});
    }
    return kernel;
}

// The smallest arc of a circle of `period` cells that holds the sorted,
// distinct cells: its first cell and its length.
std::pair<int, int> CoveringArc(const std::vector<int>& cells, int period) {
    int start = cells.front();
    int gap = cells.front() + period - cells.back() - 1;
    for (std::size_t k = 1; k < cells.size(); ++k) {
        const int g = cells[k] - cells[k - 1] - 1;
        if (g > gap) {
            gap = g;
            start = cells[k];
        }
    }
    return {start, period - gap};
}

// How an interval of cells [first, first + length) falls on one side of a
// piece's frame (origin, extent) on a circle of `period` cells: `full`
// times the whole frame and up to two parts [lo, hi) of it.
struct AxisParts {
    long long full = 0;
    int count = 0;
    int lo[2] = {0, 0};
    int hi[2] = {0, 0};

    void Add(long long a, long long b, int extent) {
        a = std::max(a, 0LL);
        b = std::min(b, static_cast<long long>(extent));
        if (a < b) {
            lo[count] = static_cast<int>(a);
            hi[count++] = static_cast<int>(b);
        }
    }
};

AxisParts WrappedParts(long long first, long long length, int origin, int extent, int period) {
    AxisParts parts;
    parts.full = length / period;
    const long long rest = length % period;
    if (rest > 0) {
        long long s = (first - origin) % period;
        if (s < 0) s += period;
        parts.Add(s, s + rest, extent);
        if (s + rest > period) parts.Add(0, s + rest - period, extent);
    }
    return parts;
}

AxisParts ClippedParts(long long first, long long length, int period) {
    AxisParts parts;
    parts.Add(first, first + length, period);
    return parts;
}

}  // namespace

// o is the share of the kernel's weight around a pixel that lies outside
// its piece; the profile turns it into a height. Each piece is counted on a
// table of running sums over the smallest box that holds it, so that any
// rectangle of the kernel costs a few look-ups, whatever its size.
TilingLayer::Step TilingLayer::EdgeHeights(RenderContext& context, int radius) {
    const int width = Width();
    const int height = Height();
    const std::size_t n = static_cast<std::size_t>(Size());
    const bool wrap = m_pieceCount > 1;
    const std::int32_t* pieces = m_pieces.get();
    float* heights = m_values.Data();

    const EdgeKernelParts kernel = EdgeKernel(radius, m_roundedEdges);
    double total = 0.0;
    for (const KernelBox& b : kernel.boxes) {
        total += b.weight * (static_cast<double>(b.dx1) - b.dx0 + 1) * (b.dy1 - b.dy0 + 1);
    }
    for (const KernelCell& c : kernel.cells) total += c.weight;

    // The pixels of each piece, in row order.
    std::int32_t last = -1;
    for (std::size_t p = 0; p < n; ++p) last = std::max(last, pieces[p]);
    std::vector<std::size_t> first(static_cast<std::size_t>(last) + 2, 0);
    for (std::size_t p = 0; p < n; ++p) {
        if (pieces[p] >= 0) ++first[static_cast<std::size_t>(pieces[p]) + 1];
    }
    for (std::size_t k = 1; k < first.size(); ++k) first[k] += first[k - 1];
    std::vector<std::uint32_t> members(first.back());
    {
        std::vector<std::size_t> next(first.begin(), first.end() - 1);
        for (std::size_t p = 0; p < n; ++p) {
            if (pieces[p] < 0) {
                heights[p] = UnassignedHeight();
            } else {
                members[next[static_cast<std::size_t>(pieces[p])]++] =
                    static_cast<std::uint32_t>(p);
            }
        }
    }

    // One piece's heights: its frame and table, then its pixels in slices
    // on the pool, `onSlice` told of each. False when cancelled.
    const std::size_t slice = std::max<std::size_t>(n / 100, 4096);
    const auto countPiece = [&](std::size_t piece,
                                const std::function<void(std::size_t)>& onSlice) {
        const std::uint32_t* own = members.data() + first[piece];
        const std::size_t count = first[piece + 1] - first[piece];
        if (count == 0) return true;
        std::vector<std::int32_t> sums;
        std::vector<int> cells;

        // The piece's frame: its box on the torus, or the picture itself
        // when a lone piece does not wrap.
        int x0 = 0, boxWidth = width, y0 = 0, boxHeight = height;
        if (wrap) {
            cells.clear();
            for (std::size_t k = 0; k < count; ++k)
                cells.push_back(static_cast<int>(own[k] % width));
            std::sort(cells.begin(), cells.end());
            cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
            std::tie(x0, boxWidth) = CoveringArc(cells, width);
            cells.clear();
            for (std::size_t k = 0; k < count; ++k) {
                const int y = static_cast<int>(own[k] / width);
                if (cells.empty() || cells.back() != y) cells.push_back(y);
            }
            std::tie(y0, boxHeight) = CoveringArc(cells, height);
        }
        const std::size_t stride = static_cast<std::size_t>(boxWidth) + 1;
        sums.assign(stride * (static_cast<std::size_t>(boxHeight) + 1), 0);
        for (std::size_t k = 0; k < count; ++k) {
            const int u = Wrap(static_cast<long long>(own[k] % width) - x0, width);
            const int v = Wrap(static_cast<long long>(own[k] / width) - y0, height);
            ++sums[static_cast<std::size_t>(v + 1) * stride + static_cast<std::size_t>(u + 1)];
        }
        for (std::size_t v = 1; v <= static_cast<std::size_t>(boxHeight); ++v) {
            for (std::size_t u = 1; u < stride; ++u) {
                sums[v * stride + u] += sums[v * stride + u - 1] + sums[(v - 1) * stride + u] -
                                        sums[(v - 1) * stride + u - 1];
            }
        }
        const auto rect = [&](int u0, int u1, int v0, int v1) {
            return static_cast<long long>(sums[static_cast<std::size_t>(v1) * stride + u1]) -
                   sums[static_cast<std::size_t>(v0) * stride + u1] -
                   sums[static_cast<std::size_t>(v1) * stride + u0] +
                   sums[static_cast<std::size_t>(v0) * stride + u0];
        };
        // Pixels of the piece in a window of columns and rows.
        const auto inWindow = [&](const AxisParts& xs, const AxisParts& ys) {
            long long same = xs.full * ys.full * static_cast<long long>(count);
            for (int j = 0; j < ys.count; ++j)
                same += xs.full * rect(0, boxWidth, ys.lo[j], ys.hi[j]);
            for (int i = 0; i < xs.count; ++i) {
                same += ys.full * rect(xs.lo[i], xs.hi[i], 0, boxHeight);
                for (int j = 0; j < ys.count; ++j)
                    same += rect(xs.lo[i], xs.hi[i], ys.lo[j], ys.hi[j]);
            }
            return same;
        };
        // One side of a box: in the frame at once when it neither wraps nor
        // leaves the picture, the general way otherwise.
        const auto sideParts = [&](long long at, long long local, int d0, int d1, int origin,
                                   int extent, int period) {
            const long long lo = local + d0;
            const long long hi = local + d1 + 1;
            if (lo >= 0 && hi <= period) {
                AxisParts parts;
                parts.Add(lo, hi, extent);
                return parts;
            }
            return wrap ? WrappedParts(at + d0, hi - lo, origin, extent, period)
                        : ClippedParts(at + d0, hi - lo, period);
        };
        // A large piece goes in slices, so that the progress moves while it
        // is counted.
        for (std::size_t from = 0; from < count; from += slice) {
            const std::size_t to = std::min(count, from + slice);
            const auto pixels = [&](std::size_t begin, std::size_t end) {
                for (std::size_t k = from + begin; k < from + end; ++k) {
                    const long long x = own[k] % width;
                    const long long y = own[k] / width;
                    const long long u = Wrap(x - x0, width);
                    const long long v = Wrap(y - y0, height);
                    double same = 0.0;
                    for (const KernelBox& b : kernel.boxes) {
                        const AxisParts xs = sideParts(x, u, b.dx0, b.dx1, x0, boxWidth, width);
                        const AxisParts ys = sideParts(y, v, b.dy0, b.dy1, y0, boxHeight, height);
                        same += b.weight * static_cast<double>(inWindow(xs, ys));
                    }
                    for (const KernelCell& c : kernel.cells) {
                        long long cx = x + c.dx;
                        long long cy = y + c.dy;
                        if (cx < 0 || cx >= width || cy < 0 || cy >= height) {
                            if (!wrap) continue;
                            cx = Wrap(cx, width);
                            cy = Wrap(cy, height);
                        }
                        if (pieces[static_cast<std::size_t>(cy) * width +
                                   static_cast<std::size_t>(cx)] ==
                            static_cast<std::int32_t>(piece)) {
                            same += c.weight;
                        }
                    }
                    heights[own[k]] = ProfileHeight(static_cast<float>(1.0 - same / total));
                }
            };
            if (!ParallelCancellableFor(context, to - from, 1024, pixels)) return false;
            onSlice(to - from);
        }
        return true;
    };

    // A piece writes the heights of its own pixels only, so pieces may be
    // counted side by side: the small ones in groups of about n / 16
    // pixels, each group one progress advance; a larger one alone, its
    // progress slice by slice.
    ProgressCounter progress(context, n);
    const std::size_t pieceCount = first.size() - 1;
    const std::size_t group = std::max<std::size_t>(n / 16, 4096);
    const auto sizeOf = [&first](std::size_t piece) { return first[piece + 1] - first[piece]; };
    for (std::size_t piece = 0; piece < pieceCount;) {
        if (context.IsCancelled()) return Step::Cancelled;
        if (sizeOf(piece) >= group) {
            if (!countPiece(piece, [&progress](std::size_t done) { progress.Advance(done); }))
                return Step::Cancelled;
            ++piece;
            continue;
        }
        std::size_t end = piece;
        std::size_t pixels = 0;
        while (end < pieceCount && sizeOf(end) < group && pixels < group) pixels += sizeOf(end++);
        std::atomic<bool> stopped{false};
        ParallelFor(end - piece, 1, [&](std::size_t begin, std::size_t stop) {
            for (std::size_t k = piece + begin; k < piece + stop; ++k) {
                if (stopped.load(std::memory_order_relaxed)) return;
                if (!countPiece(k, [](std::size_t) {})) stopped.store(true);
            }
        });
        if (stopped.load() || context.IsCancelled()) return Step::Cancelled;
        progress.Advance(pixels);
        piece = end;
    }
    return Step::Done;
}

namespace {

// Folds heights[1..n) into lo and hi as one scan with std::min and
// std::max would, on the pool: each block keeps the first value that
// compares smallest (largest), and the blocks are folded in order. A NaN
// enters only as the starting value, as in the scan. False when cancelled.
bool HeightRange(const RenderContext& context, const float* heights, std::size_t n, float& lo,
                 float& hi) {
    if (n < 2) return !context.IsCancelled();
    const std::size_t block = std::max<std::size_t>(kPixelGrain, (n + 255) / 256);
    const std::size_t blocks = (n - 1 + block - 1) / block;
    struct Range {
        bool any = false;
        float lo = 0.0f, hi = 0.0f;
    };
    std::vector<Range> ranges(blocks);
    const bool finished =
        ParallelCancellableFor(context, blocks, 1, [&](std::size_t begin, std::size_t end) {
            for (std::size_t b = begin; b < end; ++b) {
                Range r;
                const std::size_t last = std::min(n, 1 + (b + 1) * block);
                for (std::size_t p = 1 + b * block; p < last; ++p) {
                    const float h = heights[p];
                    if (!r.any) {
                        if (h != h) continue;
                        r = {true, h, h};
                        continue;
                    }
                    r.lo = std::min(r.lo, h);
                    r.hi = std::max(r.hi, h);
                }
                ranges[b] = r;
            }
        });
    if (!finished) return false;
    for (const Range& r : ranges) {
        if (!r.any) continue;
        lo = std::min(lo, r.lo);
        hi = std::max(hi, r.hi);
    }
    return true;
}

}  // namespace

// Mortar fills everything at or below the cut between the lowest and the
// highest edge height, and lies flat at the cut.
TilingLayer::Step TilingLayer::LayMortar(RenderContext& context) {
    const std::size_t n = static_cast<std::size_t>(Size());
    std::int32_t* pieces = m_pieces.get();
    float* heights = m_values.Data();
    const double threshold = m_threshold.Evaluate();
    if (threshold > 0.0) {
        struct Candidate {
            BaseLayer* child;
            float weight;
        };
        std::vector<Candidate> mortars;
        float mortarTotal = 0.0f;
        for (int k = Count() - 1; k >= 0; --k) {
            BaseLayer* child = Child(k);
            if (!child->IsEnabled() || !child->IsMortar()) continue;
            const float weight = std::max(0.0f, FiniteOrZero(child->Probability().Evaluate()));
            mortars.push_back({child, weight});
            mortarTotal += weight;
        }
        if (!mortars.empty()) {
            double a = Uniform(0.0, static_cast<double>(mortarTotal));
            BaseLayer* mortar = mortars.back().child;
            for (const Candidate& c : mortars) {
                a -= c.weight;
                if (a < 0.0) {
                    mortar = c.child;
                    break;
                }
            }
            FloatBuffer mortarColour;
            FloatBuffer mortarAlpha;
            const Step step = RenderChild(context, *mortar, mortarColour, mortarAlpha);
            if (step != Step::Done) return step;
            float lo = heights[0];
            float hi = heights[0];
            if (!HeightRange(context, heights, n, lo, hi)) return Step::Cancelled;
            const double t = std::min(threshold, 1.0);
            const double cut = t >= 1.0 ? hi : lo + t * (static_cast<double>(hi) - lo);
            const float* mc = mortarColour.Data();
            const float* ma = mortarAlpha.Data();
            float* colour = m_colour.Data();
            float* alpha = context.alpha;
            const bool laid = ParallelCancellableFor(
                context, n, kPixelGrain, [=](std::size_t begin, std::size_t end) {
                    for (std::size_t p = begin; p < end; ++p) {
                        if (static_cast<double>(heights[p]) > cut) continue;
                        colour[3 * p] = mc[3 * p];
                        colour[3 * p + 1] = mc[3 * p + 1];
                        colour[3 * p + 2] = mc[3 * p + 2];
                        alpha[p] = ma[p];
                        pieces[p] = kMortarPiece;
                        heights[p] = static_cast<float>(cut);
                    }
                });
            if (!laid) return Step::Cancelled;
        }
    }
    return Step::Done;
}

}  // namespace quillon
