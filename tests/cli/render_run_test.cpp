#include "cli/render_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/progress_bar.h"
#include "engine/base_layer.h"
#include "engine/error_reporter.h"
#include "engine/random.h"
#include "engine/render_context.h"
#include "engine/texture_map.h"
#include "image/display_bitmap.h"

namespace quillon {
namespace {

using clitest::ReadFile;
using clitest::TempDir;
using clitest::WriteFile;

// Captures what a run writes to its two streams.
class CapturedRun {
  public:
    CapturedRun() : m_out(std::tmpfile()), m_err(std::tmpfile()) {}
    ~CapturedRun() {
        std::fclose(m_out);
        std::fclose(m_err);
    }
    int Run(std::vector<std::string> args) {
        RenderOptions options;
        std::string error;
        if (!ParseRenderOptions(args, options, error)) {
            ADD_FAILURE() << error;
            return -1;
        }
        RunIo io;
        io.out = m_out;
        io.err = m_err;
        return RunRenderCommand(options, io);
    }
    std::string Out() const { return Contents(m_out); }
    std::string Err() const { return Contents(m_err); }

  private:
    static std::string Contents(std::FILE* f) {
        std::fflush(f);
        std::rewind(f);
        std::string text;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        return text;
    }
    std::FILE* m_out;
    std::FILE* m_err;
};

// Writes colour by position so that a mirrored picture can be checked
// pixel by pixel, and records the scales it was rendered with.
class ScaleProbeLayer : public BaseLayer {
  public:
    bool Render(RenderContext& context) override {
        scale = context.scale;
        xScale = context.xScale;
        yScale = context.yScale;
        width = Width();
        height = Height();
        for (int y = 0; y < Height(); ++y) {
            for (int x = 0; x < Width(); ++x) {
                float* p = context.rgb + 3 * (static_cast<std::size_t>(y) * Width() + x);
                p[0] = static_cast<float>(x) / 255.0f;
                p[1] = static_cast<float>(y) / 255.0f;
                p[2] = 0.5f;
                context.alpha[static_cast<std::size_t>(y) * Width() + x] = 1.0f;
            }
        }
        return true;
    }
    std::unique_ptr<BaseLayer> Clone() const override {
        return std::make_unique<ScaleProbeLayer>(*this);
    }
    float scale = 0, xScale = 0, yScale = 0;
    int width = 0, height = 0;
};

std::unique_ptr<TextureMap> ProbeTexture(int width, int height, ScaleProbeLayer*& probe) {
    auto texture = std::make_unique<TextureMap>();
    texture->RemoveAll();
    texture->SetSize(width, height);
    auto layer = std::make_unique<ScaleProbeLayer>();
    probe = layer.get();
    texture->AddLast(std::move(layer));
    return texture;
}

TEST(RenderTexture, OwnSizeRendersUnscaled) {
    ScaleProbeLayer* probe = nullptr;
    auto texture = ProbeTexture(40, 30, probe);
    DisplayBitmap picture;
    std::string error;
    ASSERT_EQ(RenderTexture(*texture, RenderRequest{}, picture, error), kExitOk) << error;
    EXPECT_EQ(picture.Width(), 40);
    EXPECT_EQ(picture.Height(), 30);
    EXPECT_EQ(picture.BitsPerPixel(), 24);
    EXPECT_FLOAT_EQ(probe->scale, 1.0f);
    EXPECT_FLOAT_EQ(probe->xScale, 1.0f);
    EXPECT_FLOAT_EQ(probe->yScale, 1.0f);
}

TEST(RenderTexture, SizeScalesTheTextureToFill) {
    ScaleProbeLayer* probe = nullptr;
    auto texture = ProbeTexture(64, 48, probe);
    RenderRequest request;
    request.width = 100;  // 100 / 64 is not a whole number: real division
    request.height = 192;
    DisplayBitmap picture;
    std::string error;
    ASSERT_EQ(RenderTexture(*texture, request, picture, error), kExitOk) << error;
    EXPECT_EQ(picture.Width(), 100);
    EXPECT_EQ(picture.Height(), 192);
    EXPECT_EQ(probe->width, 100);
    EXPECT_EQ(probe->height, 192);
    EXPECT_FLOAT_EQ(probe->xScale, 100.0f / 64.0f);
    EXPECT_FLOAT_EQ(probe->yScale, 4.0f);
    EXPECT_FLOAT_EQ(probe->scale, 100.0f / 64.0f);  // the smaller of the two
}

TEST(RenderTexture, ColoursOutsideTheRangeAreLimited) {
    class Wild : public BaseLayer {
      public:
        bool Render(RenderContext& context) override {
            const float values[] = {-3.0f, 7.0f, std::numeric_limits<float>::quiet_NaN()};
            for (int p = 0; p < Size(); ++p) {
                for (int c = 0; c < 3; ++c) context.rgb[3 * p + c] = values[c];
                context.alpha[p] = 1.0f;
            }
            return true;
        }
        std::unique_ptr<BaseLayer> Clone() const override { return std::make_unique<Wild>(*this); }
    };
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(4, 4);
    texture.AddLast(std::make_unique<Wild>());
    DisplayBitmap picture;
    std::string error;
    ASSERT_EQ(RenderTexture(texture, RenderRequest{}, picture, error), kExitOk) << error;
    PaletteEntry colour;
    ASSERT_TRUE(picture.Pixel(2, 1, colour));
    EXPECT_EQ(colour, (PaletteEntry{0, 255, 0}));
}

TEST(RenderTexture, AnInterruptedRunStops) {
    ScaleProbeLayer* probe = nullptr;
    auto texture = ProbeTexture(8, 8, probe);
    std::atomic<bool> interrupted{true};
    RenderRequest request;
    request.interrupted = &interrupted;
    DisplayBitmap picture;
    std::string error;
    EXPECT_EQ(RenderTexture(*texture, request, picture, error), kExitInterrupted);
    EXPECT_TRUE(picture.Empty());
}

// A picture whose every pixel is distinct: (x, y) from the top holds r = x, g = y.
DisplayBitmap Gradient(int width, int height) {
    DisplayBitmap bitmap;
    EXPECT_TRUE(bitmap.Create(width, height, 24));
    for (int r = 0; r < height; ++r) {
        std::uint8_t* row = bitmap.BitmapRow(height - 1 - r);  // stored bottom row first
        for (int x = 0; x < width; ++x) {
            row[3 * x + 0] = 7;                             // blue
            row[3 * x + 1] = static_cast<std::uint8_t>(r);  // green
            row[3 * x + 2] = static_cast<std::uint8_t>(x);  // red
        }
    }
    return bitmap;
}

void ExpectMirrored(const DisplayBitmap& source, const DisplayBitmap& result, bool mx, bool my) {
    const int w = source.Width();
    const int h = source.Height();
    ASSERT_EQ(result.Width(), mx ? 2 * w : w);
    ASSERT_EQ(result.Height(), my ? 2 * h : h);
    for (int y = 0; y < result.Height(); ++y) {
        for (int x = 0; x < result.Width(); ++x) {
            const int sx = x < w ? x : 2 * w - 1 - x;
            const int sy = y < h ? y : 2 * h - 1 - y;
            PaletteEntry got, want;
            ASSERT_TRUE(result.Pixel(x, y, got));
            ASSERT_TRUE(source.Pixel(sx, sy, want));
            ASSERT_EQ(got, want) << "at " << x << ", " << y;
        }
    }
}

TEST(MirrorExpand, ReflectsAcrossTheRightAndBottomEdges) {
    // Width 5: rows are padded, so a careless copy would show.
    const DisplayBitmap source = Gradient(5, 3);
    for (auto [mx, my] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        DisplayBitmap result;
        ASSERT_TRUE(MirrorExpand(source, mx, my, result));
        ExpectMirrored(source, result, mx, my);
    }
}

TEST(MirrorExpand, RefusesWhatItCannotHold) {
    DisplayBitmap eight;
    ASSERT_TRUE(eight.Create(4, 4, 8));
    DisplayBitmap result;
    EXPECT_FALSE(MirrorExpand(eight, true, false, result));
    EXPECT_FALSE(MirrorExpand(DisplayBitmap(), true, true, result));
    EXPECT_TRUE(result.Empty());
}

TEST(ReadDocument, StatusForEachKindOfBadInput) {
    TempDir dir;
    TextureMap texture;
    std::string error;
    EXPECT_EQ(ReadDocument(dir.File("missing.qln"), texture, error), kExitReadError);
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_EQ(ReadDocument(dir.Path().string(), texture, error), kExitReadError);
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    WriteFile(dir.File("empty.qln"), "");
    EXPECT_EQ(ReadDocument(dir.File("empty.qln"), texture, error), kExitDocumentError);
    EXPECT_NE(error.find("is empty"), std::string::npos) << error;
    WriteFile(dir.File("text.qln"), "hello\n");
    EXPECT_EQ(ReadDocument(dir.File("text.qln"), texture, error), kExitDocumentError);
    EXPECT_NE(error.find("not a texture document"), std::string::npos) << error;

    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    WriteFile(dir.File("broken.qln"), clitest::kBrokenDocument);
    EXPECT_EQ(ReadDocument(dir.File("broken.qln"), texture, error), kExitDocumentError);
    EXPECT_TRUE(error.empty()) << "the parser speaks for itself: " << error;
    EXPECT_EQ(reporter.Last(), "Error broken.qln(line 3): Invalid Token(BOGUS) in Texture Map");
}

TEST(ReadDocument, ReplacesTheDefaultLayer) {
    TempDir dir;
    WriteFile(dir.File("a.qln"), clitest::kNoiseDocument);
    TextureMap texture;
    std::string error;
    ASSERT_EQ(ReadDocument(dir.File("a.qln"), texture, error), kExitOk) << error;
    EXPECT_EQ(texture.Name(), "Test grain");
    EXPECT_EQ(texture.Count(), 1);
    EXPECT_EQ(texture.Width(), 48);
    EXPECT_EQ(texture.Height(), 32);
}

TEST(RunRenderCommand, EachDocumentOfARunIsSeededAfresh) {
    TempDir dir;
    WriteFile(dir.File("one.qln"), clitest::kNoiseDocument);
    WriteFile(dir.File("two.qln"), clitest::kNoiseDocument);
    CapturedRun run;
    ASSERT_EQ(
        run.Run({"--seed", "5", "-d", dir.File("out"), dir.File("one.qln"), dir.File("two.qln")}),
        kExitOk)
        << run.Err();
    const std::string one = ReadFile(dir.File("out/one.png"));
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(one, ReadFile(dir.File("out/two.png")));
    EXPECT_NE(run.Out().find("wrote " + dir.File("out/one.png") + " (48 x 32, seed 5)"),
              std::string::npos)
        << run.Out();

    // Another seed, another picture.
    CapturedRun other;
    ASSERT_EQ(other.Run({"--seed", "6", "-o", dir.File("six.png"), dir.File("one.qln")}), kExitOk);
    EXPECT_NE(one, ReadFile(dir.File("six.png")));
}

TEST(RunRenderCommand, AFailedDocumentLeavesTheOthersAndTheOldPicture) {
    TempDir dir;
    WriteFile(dir.File("good.qln"), clitest::kNoiseDocument);
    WriteFile(dir.File("bad.qln"), clitest::kBrokenDocument);
    std::filesystem::create_directories(dir.File("out"));
    WriteFile(dir.File("out/bad.png"), "the picture of an earlier run");
    CapturedRun run;
    EXPECT_EQ(run.Run({"-q", "-d", dir.File("out"), dir.File("bad.qln"), dir.File("good.qln")}),
              kExitDocumentError);
    EXPECT_EQ(ReadFile(dir.File("out/bad.png")), "the picture of an earlier run");
    EXPECT_FALSE(ReadFile(dir.File("out/good.png")).empty());
    EXPECT_NE(run.Err().find("(line 3): Invalid Token(BOGUS)"), std::string::npos) << run.Err();
    EXPECT_EQ(run.Out(), "");  // --quiet
}

TEST(RunRenderCommand, NeverWritesOverTheDocument) {
    TempDir dir;
    WriteFile(dir.File("a.qln"), clitest::kNoiseDocument);
    CapturedRun run;
    EXPECT_EQ(run.Run({"--format", "png", "-o", dir.File("a.qln"), dir.File("a.qln")}), kExitUsage);
    EXPECT_EQ(ReadFile(dir.File("a.qln")), clitest::kNoiseDocument);
    EXPECT_NE(run.Err().find("over the document itself"), std::string::npos) << run.Err();
}

TEST(RunRenderCommand, OutputFolderThatIsAFile) {
    TempDir dir;
    WriteFile(dir.File("a.qln"), clitest::kNoiseDocument);
    WriteFile(dir.File("file"), "x");
    CapturedRun run;
    EXPECT_EQ(run.Run({"-d", dir.File("file"), dir.File("a.qln")}), kExitWriteError);
    EXPECT_NE(run.Err().find("cannot create the folder"), std::string::npos) << run.Err();
}

TEST(RunRenderCommand, CheckReportsEveryDocument) {
    TempDir dir;
    WriteFile(dir.File("good.qln"), clitest::kNoiseDocument);
    WriteFile(dir.File("bad.qln"), clitest::kBrokenDocument);
    CapturedRun run;
    EXPECT_EQ(
        run.Run({"--check", dir.File("bad.qln"), dir.File("missing.qln"), dir.File("good.qln")}),
        kExitDocumentError);  // the first failure decides
    EXPECT_NE(run.Err().find("Invalid Token(BOGUS)"), std::string::npos);
    EXPECT_NE(run.Err().find("cannot read"), std::string::npos);
    EXPECT_EQ(run.Out(),
              dir.File("good.qln") + ": ok (texture \"Test grain\", 48 x 32, 1 layer)\n");
}

TEST(ProgressLine, FitsTheTerminalAndShowsLayerAndPercent) {
    EXPECT_EQ(FormatProgressLine("granite.qln", 2, 50, 80).find("granite.qln  layer 2  ["), 0u);
    EXPECT_NE(FormatProgressLine("granite.qln", 2, 50, 80).find("]  50%"), std::string::npos);
    EXPECT_NE(FormatProgressLine("a", 0, 0, 80).find("starting"), std::string::npos);
    EXPECT_NE(FormatProgressLine("a", 1, 250, 80).find("100%"), std::string::npos);
    const std::string longName(300, 'n');
    for (int width : {1, 10, 20, 30, 40, 60, 80, 200}) {
        const std::string line = FormatProgressLine(longName, 12, 37, width);
        EXPECT_LT(static_cast<int>(line.size()), std::max(width, 20)) << width << ": " << line;
    }
    EXPECT_NE(FormatProgressLine(longName, 1, 5, 80).find("...nnn"), std::string::npos);
}

TEST(ProgressLine, CountsLayersAndStepsOfTheLayerBeingRendered) {
    std::FILE* stream = std::tmpfile();
    ProgressBar bar(stream, "doc");
    bar.Post(Notification::LayerStarted);
    bar.Post(Notification::LayerStarted);
    for (int i = 0; i < 30; ++i) bar.Post(Notification::ProgressStep);
    EXPECT_EQ(bar.Percent(), 30);
    bar.Post(Notification::LayerComposited);
    bar.Post(Notification::LayerStarted);  // the next layer starts from 0
    EXPECT_EQ(bar.Percent(), 0);
    for (int i = 0; i < 150; ++i) bar.Post(Notification::ProgressStep);
    EXPECT_EQ(bar.Percent(), 100);
    EXPECT_EQ(bar.LayersStarted(), 3);
    bar.Draw();
    bar.Clear();
    std::rewind(stream);
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, stream);
    const std::string written(buffer, n);
    // The texture's own start is not counted as a layer.
    EXPECT_NE(written.find("doc  layer 2  ["), std::string::npos) << written;
    EXPECT_EQ(written.find('\n'), std::string::npos);
    EXPECT_EQ(written.substr(written.size() - 4), "\r\033[K");
    std::fclose(stream);
}

}  // namespace
}  // namespace quillon
