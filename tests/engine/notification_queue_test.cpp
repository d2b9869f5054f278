#include "engine/notification_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"

namespace quillon {
namespace {

TEST(QueuedNotificationSink, DeliversAWorkersNotificationsInOrder) {
    std::atomic<int> wakes{0};
    QueuedNotificationSink sink([&] { ++wakes; });

    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(20, 10);
    texture.AddLast(std::make_unique<WhiteNoiseLayer>());
    texture.AddLast(std::make_unique<WhiteNoiseLayer>());
    std::vector<float> rgb(600, 0.0f), alpha(200, 1.0f);
    SynthesisJob job;
    job.texture = &texture;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    job.sink = &sink;
    ASSERT_TRUE(job.Start());
    job.Wait();

    const std::vector<Notification> got = sink.TakeAll();
    EXPECT_TRUE(sink.TakeAll().empty());
    EXPECT_EQ(wakes.load(), static_cast<int>(got.size()));
    // texture started, then per layer: started, 100 steps, composited; then done.
    ASSERT_EQ(got.size(), 1u + 2u * 102u + 1u);
    EXPECT_EQ(got[0], Notification::LayerStarted);
    EXPECT_EQ(got[1], Notification::LayerStarted);
    EXPECT_EQ(got[2], Notification::ProgressStep);
    EXPECT_EQ(got[102], Notification::LayerComposited);
    EXPECT_EQ(got.back(), Notification::SynthesisDone);

    const MessageNumbers editor{121, 103, 107, 104};
    EXPECT_EQ(editor.Of(got.front()), 121);
    EXPECT_EQ(editor.Of(got.back()), 104);
}

}  // namespace
}  // namespace quillon
