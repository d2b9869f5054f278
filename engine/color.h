#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/random.h"

namespace quillon {

// A colour with components in 0..1 and an opacity that may be random.
class Color {
  public:
    Color() = default;
    Color(double r, double g, double b) : red(r), green(g), blue(b) {}
    // Evaluates the opacity at once into opacityValue.
    Color(double r, double g, double b, const RandomNumber& opacityNumber);
    virtual ~Color() = default;
    Color(const Color&) = default;
    Color& operator=(const Color&) = default;

    // "(" R ", " G ", " B ", " opacity ")", components as 0..255 integers.
    virtual void Write(std::ostream& out) const;

    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    RandomNumber opacity = RandomNumber(1.0f);
    double opacityValue = 1.0;
};

// One entry of a colour map: a colour at a table index, optionally a random
// range between two colours.
class IndexedColor {
  public:
    IndexedColor() = default;
    IndexedColor(int position, const Color& colour)
        : first(colour), second(colour), index(position) {}
    IndexedColor(int position, const Color& from, const Color& to)
        : first(from), second(to), isRandom(true), index(position) {}
    virtual ~IndexedColor() = default;
    IndexedColor(const IndexedColor&) = default;
    IndexedColor& operator=(const IndexedColor&) = default;

    // "(" index ", " R ", " G ", " B ", " opacity, and the same four of
    // second when random, ")".
    virtual void Write(std::ostream& out) const;

    // first, or one draw u with first + u * (second - first) for all four components.
    Color Pick() const;

    Color first;
    Color second;
    bool isRandom = false;
    int index = 0;
};

// The colour map of a layer: entries at indices 0..255 spread over a
// 256-entry table, looked up with a Catmull-Rom spline.
class ColorMap {
  public:
    static constexpr int kTableSize = 256;

    ColorMap();  // one white entry at index 0
    ColorMap(const ColorMap& other);
    ColorMap& operator=(const ColorMap& other);
    virtual ~ColorMap() = default;

    // "SIZE n", then lines "RANDOM flag" and one per entry, each after
    // linePrefix; the caller writes what precedes "SIZE" (engine/color_file.cpp).
    virtual void Write(std::ostream& out, const std::string& linePrefix) const;

    int AddEntry(const IndexedColor& entry);
    void SetRandom(bool isRandom);
    void Assign(const ColorMap& other);
    void RemoveAllEntries() { m_entries.clear(); }

    // Rebuilds the table, drawing random entries and opacities anew.
    void BuildTable();
    Color Lookup(double v) const;
    // Lookup's red, green, blue and opacity for maps of two entries or
    // more (whose lookups draw nothing), without building a Color.
    void LookupComponents(double v, double out[4]) const;
    // Whether Lookup draws from the generator (a lone entry with a random
    // opacity); such lookups must run in pixel order.
    bool LookupDraws() const;

    bool IsRandom() const { return m_isRandom; }
    const std::vector<IndexedColor>& Entries() const { return m_entries; }
    std::vector<IndexedColor>& Entries() { return m_entries; }
    int EntryCount() const { return static_cast<int>(m_entries.size()); }
    // Default colours until the first BuildTable.
    const Color& TableEntry(int position) const;

  private:
    using Table = std::array<Color, kTableSize>;

    std::vector<IndexedColor> m_entries;
    bool m_isRandom = false;
    // 16 KB, made by the first BuildTable: a layer that never renders
    // (most of a large document at any time) carries none.
    std::unique_ptr<Table> m_table;
};

// The spline of a built colour map of two entries or more, segment by
// segment: LookupComponents' results, bit for bit, with the coefficients of
// each of the table's segments worked out once instead of at every pixel.
class ColorSpline {
  public:
    explicit ColorSpline(const ColorMap& map);
    void Lookup(double v, double out[4]) const;

  private:
    struct Segment {
        double a[4], b[4], c[4], d[4];  // red, green, blue, opacity
    };
    std::vector<Segment> m_segments;
};

// A function applied to a generator's raw values before colour mapping.
class BaseColorFunctor {
  public:
    virtual ~BaseColorFunctor() = default;
    virtual void Apply(float* values, std::size_t count) const;
    virtual std::unique_ptr<BaseColorFunctor> Clone() const;
};

// "Normalize": maps the values onto exactly 0..1.
class ScaleColorFunctor : public BaseColorFunctor {
  public:
    void Apply(float* values, std::size_t count) const override;
    std::unique_ptr<BaseColorFunctor> Clone() const override;
};

// "Modulus": keeps x modulo the modulus, in [0, modulus).
class ModulusColorFunctor : public BaseColorFunctor {
  public:
    explicit ModulusColorFunctor(float modulus = 1.0f) : m_modulus(modulus) {}
    void Apply(float* values, std::size_t count) const override;
    std::unique_ptr<BaseColorFunctor> Clone() const override;
    float Modulus() const { return m_modulus; }

  private:
    float m_modulus;
};

// "Trigonometric": cos(x * frequency + phase) squared.
class CosineColorFunctor : public BaseColorFunctor {
  public:
    explicit CosineColorFunctor(float frequency = 2.0f, float phase = 0.0f)
        : m_frequency(frequency), m_phase(phase) {}
    void Apply(float* values, std::size_t count) const override;
    std::unique_ptr<BaseColorFunctor> Clone() const override;
    float Frequency() const { return m_frequency; }
    float Phase() const { return m_phase; }

  private:
    float m_frequency;
    float m_phase;
};

}  // namespace quillon
