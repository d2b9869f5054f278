#include "engine/random.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillon {

RandomGenerator& RandomGenerator::Instance() {
    static RandomGenerator instance;
    return instance;
}

RandomGenerator::RandomGenerator() {
    Seed(0);
}

void RandomGenerator::Seed(int seed) {
    std::lock_guard<std::mutex> hold(m_mutex);
    // 64 bits so that |INT_MIN| does not overflow.
    const long long a = std::llabs(static_cast<long long>(seed)) % 134217728LL;
    long long i = (a / 5324514) % 177 + 2;
    long long j = (a / 30082) % 177 + 2;
    long long k = ((a % 30082) / 169) % 178 + 1;
    long long l = (a % 30082) % 169;
    for (double& entry : m_state) {
        double s = 0.5;
        double t = 0.0;
        for (int bit = 0; bit < 24; ++bit) {
            const long long m = ((i * j) % 179) * k % 179;
            i = j;
            j = k;
            k = m;
            l = (53 * l + 1) % 169;
            if ((l * m) % 64 >= 32) t += s;
            s *= 0.5;
        }
        entry = t;
    }
    m_i = kLagLong - 1;
    m_j = kLagShort - 1;
    for (int n = 0; n < 128; ++n) DrawUnlocked();
}

double RandomGenerator::DrawUnlocked() {
    double x = m_state[m_i] - m_state[m_j];
    if (x < 0.0) x += 1.0;
    m_state[m_i] = x;
    if (--m_i < 0) m_i = kLagLong - 1;
    if (--m_j < 0) m_j = kLagLong - 1;
    return x;
}

double RandomGenerator::Next() {
    std::lock_guard<std::mutex> hold(m_mutex);
    return DrawUnlocked();
}

double RandomGenerator::Uniform(double lo, double hi) {
    std::lock_guard<std::mutex> hold(m_mutex);
    return lo + DrawUnlocked() * (hi - lo);
}

double RandomGenerator::MeanOfUniforms(double lo, double hi, long long n) {
    if (n < 1) n = 1;
    std::lock_guard<std::mutex> hold(m_mutex);
    double sum = 0.0;
    for (long long k = 0; k < n; ++k) sum += DrawUnlocked();
    return lo + (sum / static_cast<double>(n)) * (hi - lo);
}

void RandomGenerator::FillUniform(float* out, std::size_t count, double lo, double hi) {
    std::lock_guard<std::mutex> hold(m_mutex);
    for (std::size_t k = 0; k < count; ++k) {
        out[k] = static_cast<float>(lo + DrawUnlocked() * (hi - lo));
    }
}

RandomNumber::RandomNumber(float fixed) : m_count(1) {
    m_numbers[0] = fixed;
}

RandomNumber RandomNumber::Random(std::initializer_list<float> numbers) {
    RandomNumber r;
    r.m_isRandom = true;
    for (float v : numbers) r.AddNumber(v);
    return r;
}

bool RandomNumber::AddNumber(float value) {
    if (m_count >= kMaxNumbers) return false;
    m_numbers[m_count++] = value;
    return true;
}

void RandomNumber::Clear() {
    *this = RandomNumber();
}

namespace {

// Truncation towards zero that stays finite (NaN becomes 0).
double TruncSaturated(double v) {
    if (std::isnan(v)) return 0.0;
    return std::trunc(v);
}

}  // namespace

double RandomNumber::Evaluate() const {
    RandomGenerator& gen = RandomGenerator::Instance();
    switch (m_count) {
        case 0:
            return 0.0;
        case 1:
            if (!m_isRandom) return m_numbers[0];
            return gen.Uniform(0.0, m_numbers[0]);
        case 2:
            return gen.Uniform(m_numbers[0], m_numbers[1]);
        case 3:
            return TruncSaturated(gen.Uniform(m_numbers[0], m_numbers[1])) * m_numbers[2];
        default: {
            double n = TruncSaturated(m_numbers[3]);
            if (n < 1.0) n = 1.0;
            if (n > static_cast<double>(kMaxMeanCount)) n = static_cast<double>(kMaxMeanCount);
            const double mean =
                gen.MeanOfUniforms(m_numbers[0], m_numbers[1], static_cast<long long>(n));
            return TruncSaturated(mean) * m_numbers[2];
        }
    }
}

bool RandomNumber::operator==(const RandomNumber& other) const {
    if (m_isRandom != other.m_isRandom || m_count != other.m_count) return false;
    for (int k = 0; k < m_count; ++k) {
        if (m_numbers[k] != other.m_numbers[k]) return false;
    }
    return true;
}

std::string FormatShortReal(double value) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.6f", value);
    std::string text(buf);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    return text;
}

std::string RandomNumber::ToEditText() const {
    if (!m_isRandom) return FormatShortReal(m_count > 0 ? m_numbers[0] : 0.0);
    std::string text = "(";
    for (int k = 0; k < m_count; ++k) {
        if (k > 0) text += ", ";
        text += FormatShortReal(m_numbers[k]);
    }
    text += ")";
    return text;
}

namespace {

bool IsNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::optional<float> ConvertNumber(std::string_view run) {
    if (run.empty() || run.size() > 255) return std::nullopt;
    const std::string copy(run);
    char* end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str()) return std::nullopt;  // "e", "+", "." alone
    return static_cast<float>(v);
}

}  // namespace

std::optional<RandomNumber> RandomNumber::FromEditText(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;

    if (text.front() != '(') {
        for (char c : text) {
            if (!IsNumberChar(c)) return std::nullopt;
        }
        auto v = ConvertNumber(text);
        if (!v) return std::nullopt;
        return RandomNumber(*v);
    }

    RandomNumber result;
    result.m_isRandom = true;
    std::size_t pos = 1;
    bool expectNumber = true;  // at the start and after a comma
    while (true) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size()) return std::nullopt;  // missing ")"
        const char c = text[pos];
        if (c == ')') {
            if (expectNumber) return std::nullopt;  // "()" or "(1, )"
            ++pos;
            break;
        }
        if (c == ',') {
            if (expectNumber) return std::nullopt;  // "(,1)" or "(1,,2)"
            expectNumber = true;
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        while (pos < text.size() && IsNumberChar(text[pos])) ++pos;
        auto v = ConvertNumber(text.substr(start, pos - start));
        if (!v || !result.AddNumber(*v)) return std::nullopt;
        expectNumber = false;
    }
    if (pos != text.size()) return std::nullopt;  // text after ")"
    return result;
}

}  // namespace quillon
