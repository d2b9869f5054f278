#include "engine/color.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/parallel.h"

namespace quillon {

Color::Color(double r, double g, double b, const RandomNumber& opacityNumber)
    : red(r), green(g), blue(b), opacity(opacityNumber), opacityValue(opacityNumber.Evaluate()) {}

Color IndexedColor::Pick() const {
    Color c = first;
    if (!isRandom) return c;
    const double u = RandomGenerator::Instance().Next();
    c.red = first.red + u * (second.red - first.red);
    c.green = first.green + u * (second.green - first.green);
    c.blue = first.blue + u * (second.blue - first.blue);
    c.opacityValue = first.opacityValue + u * (second.opacityValue - first.opacityValue);
    return c;
}

ColorMap::ColorMap() {
    m_entries.emplace_back(0, Color(1.0, 1.0, 1.0));
}

ColorMap::ColorMap(const ColorMap& other) {
    Assign(other);
}

ColorMap& ColorMap::operator=(const ColorMap& other) {
    if (this != &other) Assign(other);
    return *this;
}

int ColorMap::AddEntry(const IndexedColor& entry) {
    IndexedColor copy = entry;
    copy.isRandom = m_isRandom;
    m_entries.push_back(copy);
    return EntryCount();
}

void ColorMap::SetRandom(bool isRandom) {
    m_isRandom = isRandom;
    for (IndexedColor& e : m_entries) {
        if (e.isRandom && !isRandom) e.second = e.first;
        e.isRandom = isRandom;
    }
}

void ColorMap::Assign(const ColorMap& other) {
    m_isRandom = other.m_isRandom;
    m_entries = other.m_entries;
    SetRandom(other.m_isRandom);
}

namespace {

// A table colour with the given components and opacity value.
Color RampColor(double r, double g, double b, double o) {
    Color c(r, g, b);
    c.opacityValue = o;
    return c;
}

}  // namespace

namespace {

const std::array<Color, ColorMap::kTableSize>& UnbuiltTable() {
    static const std::array<Color, ColorMap::kTableSize> table{};
    return table;
}

}  // namespace

const Color& ColorMap::TableEntry(int position) const {
    return (m_table ? *m_table : UnbuiltTable())[position];
}

void ColorMap::BuildTable() {
    if (!m_table) m_table = std::make_unique<Table>();
    Table& table = *m_table;
    if (m_entries.empty()) {
        table.fill(Color(1.0, 1.0, 1.0));
        return;
    }
    if (m_entries.size() >= 2) {
        std::stable_sort(
            m_entries.begin(), m_entries.end(),
            [](const IndexedColor& a, const IndexedColor& b) { return a.index < b.index; });
    }
    for (IndexedColor& e : m_entries) {
        e.first.opacityValue = e.first.opacity.Evaluate();
        e.second.opacityValue = e.second.opacity.Evaluate();
    }

    // Positions in 64 bits: indices from a file may be anywhere in int's range.
    Color c = m_entries.front().Pick();
    const long long firstIndex = m_entries.front().index;
    for (long long p = 0; p <= firstIndex && p < kTableSize; ++p) table[p] = c;
    long long i = firstIndex < 0 ? 0 : firstIndex + 1;

    for (std::size_t k = 1; k < m_entries.size(); ++k) {
        const IndexedColor& e = m_entries[k];
        const IndexedColor& prev = m_entries[k - 1];
        const Color d = e.Pick();
        const long long n = static_cast<long long>(e.index) - prev.index;
        if (n > 0) {
            const double dn = static_cast<double>(n);
            const double dr = (d.red - c.red) / dn;
            const double dg = (d.green - c.green) / dn;
            const double db = (d.blue - c.blue) / dn;
            const double dop = (d.opacityValue - c.opacityValue) / dn;
            double r = c.red, g = c.green, b = c.blue, o = c.opacityValue;
            while (i <= e.index && i < kTableSize) {
                table[i] = RampColor(r, g, b, o);
                r += dr;
                g += dg;
                b += db;
                o += dop;
                ++i;
            }
        }
        c = d;
    }
    for (; i < kTableSize; ++i) table[i] = c;
}

namespace {

// The Catmull-Rom segment through p1 and p2; the ColorSpline keeps these.
struct Cubic {
    double a, b, c, d;
};

Cubic CubicOf(double a0, double a1, double a2, double a3) {
    return {-0.5 * a0 + 1.5 * a1 - 1.5 * a2 + 0.5 * a3, 1.0 * a0 - 2.5 * a1 + 2.0 * a2 - 0.5 * a3,
            -0.5 * a0 + 0.5 * a2, a1};
}

double Evaluate(double a, double b, double c, double d, double t) {
    return ((a * t + b) * t + c) * t + d;
}

// The segment of v and the position t in it.
int SegmentOf(double v, double& t) {
    if (std::isnan(v)) v = 0.0;
    v = std::clamp(v, 0.0, 1.0);
    const double s = 253.0 * v;
    const int k = std::min(static_cast<int>(s), 252);
    t = s - k;
    return k;
}

}  // namespace

void ColorMap::LookupComponents(double v, double out[4]) const {
    double t = 0.0;
    const int k = SegmentOf(v, t);
    const Table& table = m_table ? *m_table : UnbuiltTable();
    const Color& p0 = table[k];
    const Color& p1 = table[k + 1];
    const Color& p2 = table[k + 2];
    const Color& p3 = table[k + 3];
    auto spline = [t](double a0, double a1, double a2, double a3) {
        const Cubic q = CubicOf(a0, a1, a2, a3);
        return Evaluate(q.a, q.b, q.c, q.d, t);
    };
    out[0] = spline(p0.red, p1.red, p2.red, p3.red);
    out[1] = spline(p0.green, p1.green, p2.green, p3.green);
    out[2] = spline(p0.blue, p1.blue, p2.blue, p3.blue);
    out[3] = std::clamp(spline(p0.opacityValue, p1.opacityValue, p2.opacityValue, p3.opacityValue),
                        0.0, 1.0);
}

ColorSpline::ColorSpline(const ColorMap& map) : m_segments(253) {
    for (int k = 0; k < 253; ++k) {
        const Color* p[4] = {&map.TableEntry(k), &map.TableEntry(k + 1), &map.TableEntry(k + 2),
                             &map.TableEntry(k + 3)};
        Segment& segment = m_segments[static_cast<std::size_t>(k)];
        const auto set = [&segment](int channel, const Cubic& q) {
            segment.a[channel] = q.a;
            segment.b[channel] = q.b;
            segment.c[channel] = q.c;
            segment.d[channel] = q.d;
        };
        set(0, CubicOf(p[0]->red, p[1]->red, p[2]->red, p[3]->red));
        set(1, CubicOf(p[0]->green, p[1]->green, p[2]->green, p[3]->green));
        set(2, CubicOf(p[0]->blue, p[1]->blue, p[2]->blue, p[3]->blue));
        set(3, CubicOf(p[0]->opacityValue, p[1]->opacityValue, p[2]->opacityValue,
                       p[3]->opacityValue));
    }
}

void ColorSpline::Lookup(double v, double out[4]) const {
    double t = 0.0;
    const Segment& q = m_segments[static_cast<std::size_t>(SegmentOf(v, t))];
    for (int c = 0; c < 4; ++c) out[c] = Evaluate(q.a[c], q.b[c], q.c[c], q.d[c], t);
    out[3] = std::clamp(out[3], 0.0, 1.0);
}

Color ColorMap::Lookup(double v) const {
    if (m_entries.size() >= 2) {
        double c[4];
        LookupComponents(v, c);
        Color out(c[0], c[1], c[2]);
        out.opacityValue = c[3];
        return out;
    }
    if (std::isnan(v)) v = 0.0;
    v = std::clamp(v, 0.0, 1.0);
    const Color base = m_entries.empty() ? Color(1.0, 1.0, 1.0) : TableEntry(0);
    Color out(v * base.red, v * base.green, v * base.blue);
    out.opacity = base.opacity;
    out.opacityValue = base.opacity.Evaluate();
    return out;
}

bool ColorMap::LookupDraws() const {
    return m_entries.size() == 1 && TableEntry(0).opacity.Draws();
}

void BaseColorFunctor::Apply(float*, std::size_t) const {}

std::unique_ptr<BaseColorFunctor> BaseColorFunctor::Clone() const {
    return std::make_unique<BaseColorFunctor>(*this);
}

namespace {

// Per-element work of the functors runs on the pool in pieces of this many values.
constexpr std::size_t kFunctorGrain = 1 << 16;

}  // namespace

void ScaleColorFunctor::Apply(float* values, std::size_t count) const {
    // Non-finite values would poison the range; they end up at 0. The range
    // is taken from the end backwards and the first extreme met is kept (0
    // and -0 compare equal): pieces are scanned alike and combined from the
    // last piece to the first, so the result matches a single scan.
    struct Range {
        float lo = 1e20f;
        float hi = -1e20f;
    };
    const std::size_t pieces = (count + kFunctorGrain - 1) / kFunctorGrain;
    std::vector<Range> ranges(pieces);
    ParallelFor(pieces, 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t piece = first; piece < last; ++piece) {
            const std::size_t begin = piece * kFunctorGrain;
            const std::size_t end = std::min(count, begin + kFunctorGrain);
            Range r;
            for (std::size_t k = end; k-- > begin;) {
                const float x = values[k];
                if (!std::isfinite(x)) continue;
                if (x < r.lo) r.lo = x;
                if (x > r.hi) r.hi = x;
            }
            ranges[piece] = r;
        }
    });
    float lo = 1e20f;
    float hi = -1e20f;
    for (std::size_t piece = pieces; piece-- > 0;) {
        if (ranges[piece].lo < lo) lo = ranges[piece].lo;
        if (ranges[piece].hi > hi) hi = ranges[piece].hi;
    }
    if (lo > hi) {  // nothing finite
        ParallelFor(count, kFunctorGrain, [values](std::size_t begin, std::size_t end) {
            std::fill(values + begin, values + end, 0.0f);
        });
        return;
    }
    if (lo == hi) {
        ParallelFor(count, kFunctorGrain, [values](std::size_t begin, std::size_t end) {
            for (std::size_t k = begin; k < end; ++k) {
                if (!std::isfinite(values[k])) values[k] = 0.0f;
            }
        });
        return;
    }
    const float f = 1.0f / (hi - lo);
    ParallelFor(count, kFunctorGrain, [values, lo, f](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const float x = values[k];
            values[k] = std::isfinite(x) ? (x - lo) * f : 0.0f;
        }
    });
}

std::unique_ptr<BaseColorFunctor> ScaleColorFunctor::Clone() const {
    return std::make_unique<ScaleColorFunctor>(*this);
}

void ModulusColorFunctor::Apply(float* values, std::size_t count) const {
    const float m = m_modulus;
    if (m == 0.0f || !std::isfinite(m)) return;
    ParallelFor(count, kFunctorGrain, [values, m](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            float x = values[k];
            x = x - m * std::trunc(x / m);
            if (x < 0.0f) x += m;
            values[k] = x;
        }
    });
}

std::unique_ptr<BaseColorFunctor> ModulusColorFunctor::Clone() const {
    return std::make_unique<ModulusColorFunctor>(*this);
}

void CosineColorFunctor::Apply(float* values, std::size_t count) const {
    const float frequency = m_frequency, phase = m_phase;
    ParallelFor(count, kFunctorGrain,
                [values, frequency, phase](std::size_t begin, std::size_t end) {
                    for (std::size_t k = begin; k < end; ++k) {
                        const float c = std::cos(values[k] * frequency + phase);
                        values[k] = c * c;
                    }
                });
}

std::unique_ptr<BaseColorFunctor> CosineColorFunctor::Clone() const {
    return std::make_unique<CosineColorFunctor>(*this);
}

}  // namespace quillon
