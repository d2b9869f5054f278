// Work split over the pool gives what one pass over the data gives, at any
// thread count; the progress loop reports in order and stops when cancelled.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "engine/base_layer.h"
#include "engine/color.h"
#include "engine/parallel.h"
#include "engine/synthesis_job.h"

namespace quillon {
namespace {

struct Threads {
    explicit Threads(int n) { SetMaxThreads(n); }
    ~Threads() { SetMaxThreads(0); }
};

bool SameBytes(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Values spread over several pieces of the pool, with the awkward ones.
std::vector<float> Awkward(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t k = 0; k < n; ++k) v[k] = std::sin(0.001f * static_cast<float>(k)) * 3.0f - 0.5f;
    v[7] = std::numeric_limits<float>::quiet_NaN();
    v[n / 2] = std::numeric_limits<float>::infinity();
    v[n - 3] = -std::numeric_limits<float>::infinity();
    return v;
}

std::vector<float> Applied(const BaseColorFunctor& f, std::vector<float> v, int threads) {
    Threads hold(threads);
    f.Apply(v.data(), v.size());
    return v;
}

TEST(ParallelFunctors, SameBytesAtOneAndManyThreads) {
    const ScaleColorFunctor scale;
    const ModulusColorFunctor modulus(0.7f);
    const CosineColorFunctor cosine(3.0f, 0.25f);
    for (const std::size_t n : {std::size_t{1}, std::size_t{1000}, std::size_t{300001}}) {
        const std::vector<float> input = Awkward(std::max<std::size_t>(n, 8));
        for (const BaseColorFunctor* f : {static_cast<const BaseColorFunctor*>(&scale),
                                          static_cast<const BaseColorFunctor*>(&modulus),
                                          static_cast<const BaseColorFunctor*>(&cosine)}) {
            EXPECT_TRUE(SameBytes(Applied(*f, input, 1), Applied(*f, input, 4))) << n;
        }
    }
}

TEST(ParallelFunctors, NormalizeKeepsTheLastExtremeAmongEqualOnes) {
    // -0 early and +0 late compare equal: scanning from the end, +0 is the
    // minimum kept, so -0 maps to -0 - 0 = -0. Far apart, in different pieces.
    std::vector<float> v(500000, 0.5f);
    v[10] = -0.0f;
    v[v.size() - 10] = 0.0f;
    v[1000] = 1.0f;
    for (const int threads : {1, 4}) {
        const std::vector<float> out = Applied(ScaleColorFunctor(), v, threads);
        EXPECT_TRUE(std::signbit(out[10])) << threads;
        EXPECT_FALSE(std::signbit(out[v.size() - 10]));
        EXPECT_EQ(out[1000], 1.0f);
        EXPECT_EQ(out[5], 0.5f);
    }
    // Only huge values: the range keeps its starting bounds, as one scan does.
    std::vector<float> huge(70000, 3e20f);
    huge[3] = 4e20f;
    const std::vector<float> out = Applied(ScaleColorFunctor(), huge, 4);
    EXPECT_TRUE(SameBytes(out, Applied(ScaleColorFunctor(), huge, 1)));
}

TEST(ParallelLuminance, MatchesAPassThroughACopyAtEverySize) {
    for (std::size_t n = 0; n < 200; ++n) {
        std::vector<float> rgb(3 * n);
        for (std::size_t k = 0; k < rgb.size(); ++k) rgb[k] = static_cast<float>((k * 37) % 101) / 100.0f;
        std::vector<float> expected(n);
        for (std::size_t k = 0; k < n; ++k) {
            expected[k] = 0.299f * rgb[3 * k] + 0.587f * rgb[3 * k + 1] + 0.114f * rgb[3 * k + 2];
        }
        LuminanceInPlace(rgb.data(), n);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rgb.begin(),
                               [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }))
            << n;
    }
    Threads hold(4);
    const std::size_t n = 1'500'001;
    std::vector<float> rgb(3 * n);
    for (std::size_t k = 0; k < rgb.size(); ++k) rgb[k] = static_cast<float>(k % 977) / 977.0f;
    std::vector<float> expected(n);
    for (std::size_t k = 0; k < n; ++k) {
        expected[k] = 0.299f * rgb[3 * k] + 0.587f * rgb[3 * k + 1] + 0.114f * rgb[3 * k + 2];
    }
    LuminanceInPlace(rgb.data(), n);
    EXPECT_EQ(std::memcmp(rgb.data(), expected.data(), n * sizeof(float)), 0);
}

// Records how many items were finished when each step was posted.
class StepRecorder : public NotificationSink {
public:
    explicit StepRecorder(const std::atomic<std::size_t>& done) : m_done(done) {}
    void Post(Notification n) override {
        if (n == Notification::ProgressStep) finishedAtStep.push_back(m_done.load());
    }
    std::vector<std::size_t> finishedAtStep;

private:
    const std::atomic<std::size_t>& m_done;
};

TEST(ParallelProgressLoop, CoversEveryItemOnceAndReportsEachSliceAfterItsItems) {
    Threads hold(4);
    const std::size_t count = 123457;
    std::vector<std::atomic<int>> seen(count);
    std::atomic<std::size_t> done{0};
    StepRecorder recorder(done);
    RenderContext context;
    context.sink = &recorder;
    ASSERT_TRUE(ParallelProgressLoop(context, count, 100, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) seen[i].fetch_add(1);
        done.fetch_add(end - begin);
    }));
    for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(seen[i].load(), 1) << i;
    ASSERT_EQ(recorder.finishedAtStep.size(), 100u);
    for (std::size_t k = 0; k < 100; ++k) EXPECT_EQ(recorder.finishedAtStep[k], (k + 1) * (count / 100)) << k;
}

TEST(ParallelProgressLoop, StopsSoonAfterACancel) {
    Threads hold(4);
    SynthesisJob job;
    RenderContext context;
    context.job = &job;
    std::atomic<std::size_t> done{0};
    std::thread canceller([&] {
        while (done.load() < 1000) std::this_thread::yield();
        job.CancelEvent().Set();
    });
    const auto start = std::chrono::steady_clock::now();
    // Ten million slow items would take minutes; the cancel lands at once.
    const bool finished = ParallelProgressLoop(context, 10'000'000, 64, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            volatile double x = 0.0;
            for (int k = 0; k < 200; ++k) x = x + std::sqrt(static_cast<double>(k + i));
            done.fetch_add(1, std::memory_order_relaxed);
        }
    });
    canceller.join();
    EXPECT_FALSE(finished);
    EXPECT_LT(done.load(), 2'000'000u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace quillon
