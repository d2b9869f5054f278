#include "image/palette_reduction.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

namespace quillon {

namespace {

constexpr int kKeys = 32768;

inline int Red(int key) {
    return (key >> 10) & 31;
}
inline int Green(int key) {
    return (key >> 5) & 31;
}
inline int Blue(int key) {
    return key & 31;
}

// A run of the key list, which is permuted in place as boxes split.
struct Box {
    std::size_t begin;
    std::size_t end;
    std::uint64_t count;
    int level;
    int lo[3];
    int hi[3];
};

void ComputeBounds(Box& box, const std::vector<int>& keys) {
    box.lo[0] = box.lo[1] = box.lo[2] = 255;
    box.hi[0] = box.hi[1] = box.hi[2] = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) {
        int c[3] = {Red(keys[i]) * 8, Green(keys[i]) * 8, Blue(keys[i]) * 8};
        for (int a = 0; a < 3; ++a) {
            box.lo[a] = std::min(box.lo[a], c[a]);
            box.hi[a] = std::max(box.hi[a], c[a]);
        }
    }
}

// Blue on a tie with anything, then green, then red.
int LongestAxis(const Box& box) {
    int r = box.hi[0] - box.lo[0];
    int g = box.hi[1] - box.lo[1];
    int b = box.hi[2] - box.lo[2];
    if (b >= r && b >= g) return 2;
    if (g >= r) return 1;
    return 0;
}

}  // namespace

std::unique_ptr<ImageBuffer> ReduceToPalette(const ImageBuffer& rgb, int maxColors,
                                             Palette& palette) {
    palette.clear();
    if (rgb.Empty() || rgb.BytesPerPixel() != 3) return nullptr;
    const std::size_t limit = static_cast<std::size_t>(std::clamp(maxColors, 1, 256));
    try {
        auto result = std::make_unique<ImageBuffer>();
        if (!result->Allocate(rgb.Width(), rgb.Height(), 1, 8)) return nullptr;

        // Histogram of 15-bit keys; later reused as the key-to-index map.
        std::vector<std::uint32_t> table(kKeys, 0);
        const std::uint8_t* src = rgb.Pixels();
        const std::size_t pixels = rgb.Size() / 3;
        for (std::size_t i = 0; i < pixels; ++i, src += 3) {
            ++table[((src[0] >> 3) << 10) | ((src[1] >> 3) << 5) | (src[2] >> 3)];
        }

        std::vector<int> keys;
        for (int k = 0; k < kKeys; ++k)
            if (table[k] != 0) keys.push_back(k);

        std::vector<Box> boxes;
        boxes.reserve(limit);
        boxes.push_back({0, keys.size(), pixels, 0, {}, {}});
        ComputeBounds(boxes[0], keys);

        while (boxes.size() < limit) {
            // The splittable box of lowest level, the earliest on a tie.
            Box* pick = nullptr;
            for (Box& box : boxes) {
                if (box.end - box.begin > 1 && (!pick || box.level < pick->level)) pick = &box;
            }
            if (!pick) break;
            const int axis = LongestAxis(*pick);
            auto component = [axis](int key) {
                return axis == 0 ? Red(key) : axis == 1 ? Green(key) : Blue(key);
            };
            // Stable: equal components keep their order, so every platform splits alike.
            std::stable_sort(keys.begin() + static_cast<std::ptrdiff_t>(pick->begin),
                             keys.begin() + static_cast<std::ptrdiff_t>(pick->end),
                             [&](int a, int b) { return component(a) < component(b); });
            const std::uint64_t half = pick->count / 2;
            std::uint64_t sum = 0;
            std::size_t split = pick->begin;
            do {
                sum += table[keys[split]];
                ++split;
            } while (sum < half && split < pick->end - 1);

            Box second{split, pick->end, pick->count - sum, pick->level + 1, {}, {}};
            pick->end = split;
            pick->count = sum;
            pick->level += 1;
            ComputeBounds(*pick, keys);
            ComputeBounds(second, keys);
            boxes.push_back(second);  // invalidates pick
        }

        for (const Box& box : boxes) {
            std::uint64_t r = 0, g = 0, b = 0, n = 0;
            for (std::size_t i = box.begin; i < box.end; ++i) {
                std::uint64_t c = table[keys[i]];
                r += c * static_cast<std::uint64_t>(Red(keys[i]) * 8);
                g += c * static_cast<std::uint64_t>(Green(keys[i]) * 8);
                b += c * static_cast<std::uint64_t>(Blue(keys[i]) * 8);
                n += c;
            }
            palette.push_back({static_cast<std::uint8_t>(r / n), static_cast<std::uint8_t>(g / n),
                               static_cast<std::uint8_t>(b / n)});
        }

        // Each key to its nearest entry, the first on a tie.
        for (int key : keys) {
            const int kr = Red(key) * 8, kg = Green(key) * 8, kb = Blue(key) * 8;
            int best = 0;
            int bestDistance = -1;
            for (std::size_t i = 0; i < palette.size(); ++i) {
                int dr = kr - palette[i].r, dg = kg - palette[i].g, db = kb - palette[i].b;
                int d = dr * dr + dg * dg + db * db;
                if (bestDistance < 0 || d < bestDistance) {
                    bestDistance = d;
                    best = static_cast<int>(i);
                    if (d == 0) break;
                }
            }
            table[key] = static_cast<std::uint32_t>(best);
        }

        src = rgb.Pixels();
        std::uint8_t* dst = result->Pixels();
        for (std::size_t i = 0; i < pixels; ++i, src += 3) {
            dst[i] = static_cast<std::uint8_t>(
                table[((src[0] >> 3) << 10) | ((src[1] >> 3) << 5) | (src[2] >> 3)]);
        }
        return result;
    } catch (const std::bad_alloc&) {
        palette.clear();
        return nullptr;
    }
}

}  // namespace quillon
