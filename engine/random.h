#pragma once

#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The one process-wide random sequence: a subtractive lagged Fibonacci
// generator (lags 1279 and 418) seeded the Marsaglia-Zaman way. Every draw
// holds the generator's lock, so the user-interface thread and a synthesis
// worker never see a half-updated table.
class RandomGenerator {
  public:
    static constexpr int kLagLong = 1279;
    static constexpr int kLagShort = 418;

    static RandomGenerator& Instance();

    RandomGenerator();  // seeded with 0
    RandomGenerator(const RandomGenerator&) = delete;
    RandomGenerator& operator=(const RandomGenerator&) = delete;

    void Seed(int seed);

    // One draw in [0, 1).
    double Next();
    double Uniform(double lo, double hi);
    // n draws taken consecutively under one hold of the lock.
    double MeanOfUniforms(double lo, double hi, long long n);
    // Fills out[0..count) with Uniform(lo, hi) draws, out[0] drawn first,
    // under one hold of the lock (for per-pixel loops).
    void FillUniform(float* out, std::size_t count, double lo, double hi);

    // Holds the lock for a run of consecutive draws.
    class Batch {
      public:
        explicit Batch(RandomGenerator& gen) : m_gen(gen), m_hold(gen.m_mutex) {}
        double Next() { return m_gen.DrawUnlocked(); }
        double Uniform(double lo, double hi) { return lo + Next() * (hi - lo); }

      private:
        RandomGenerator& m_gen;
        std::lock_guard<std::mutex> m_hold;
    };

  private:
    double DrawUnlocked();

    std::mutex m_mutex;
    double m_state[kLagLong];
    int m_i = kLagLong - 1;
    int m_j = kLagShort - 1;
};

// Shorthands for the shared generator.
inline double Uniform(double lo, double hi) {
    return RandomGenerator::Instance().Uniform(lo, hi);
}

// A fixed number, or a parenthesised list of up to four numbers that is
// evaluated afresh at every use.
class RandomNumber {
  public:
    static constexpr int kMaxNumbers = 4;
    // Bell-shaped forms average at most this many draws, so that a hostile
    // fourth number cannot stall a rendering.
    static constexpr long long kMaxMeanCount = 1000;

    RandomNumber() = default;   // count 0: evaluates to 0
    RandomNumber(float fixed);  // NOLINT: defaults are written as plain numbers
    static RandomNumber Random(std::initializer_list<float> numbers);

    double Evaluate() const;

    bool operator==(const RandomNumber& other) const;

    int Count() const { return m_count; }
    // Whether an evaluation takes draws from the generator.
    bool Draws() const { return m_count >= 2 || (m_count == 1 && m_isRandom); }
    bool IsRandom() const { return m_isRandom; }
    float Number(int k) const { return (k >= 0 && k < kMaxNumbers) ? m_numbers[k] : 0.0f; }
    // Appends a number; false when all four are in use.
    bool AddNumber(float value);
    void SetRandom(bool isRandom) { m_isRandom = isRandom; }
    void Clear();

    // The form of the editor's edit fields: "2.5", "(0, 10, 0.5)".
    std::string ToEditText() const;
    static std::optional<RandomNumber> FromEditText(std::string_view text);

    // The file form: "5", "(0.2, 0.6)" (engine/block_io.cpp).
    void Write(std::ostream& out) const;

  private:
    float m_numbers[kMaxNumbers] = {0, 0, 0, 0};
    int m_count = 0;
    bool m_isRandom = false;
};

// "%.6f" with trailing zeros and then a trailing point removed.
std::string FormatShortReal(double value);

}  // namespace quillon
