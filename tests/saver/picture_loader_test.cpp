#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "engine/bitmap_layer.h"
#include "engine/bump_map_layer.h"
#include "engine/combine_layer.h"
#include "engine/error_reporter.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "format/texture_files.h"
#include "image/display_bitmap.h"
#include "image/picture_file.h"
#include "saver/picture_loader.h"

namespace fs = std::filesystem;

namespace quillon {
namespace {

std::shared_ptr<RgbPicture> Gradient(int w, int h) {
    auto picture = std::make_shared<RgbPicture>();
    picture->Allocate(w, h);
    for (std::size_t i = 0; i < picture->ByteCount(); ++i) {
        picture->Bytes()[i] = static_cast<std::uint8_t>(i * 7);
    }
    return picture;
}

class ImageEffects : public testing::Test {
  protected:
    void SetUp() override {
        RandomGenerator::Instance().Seed(3);
        document = fs::path(dir.path().toStdString()) / "under.qln";
        TextureMap texture;
        texture.SetSize(16, 8);
        ASSERT_TRUE(SaveDocument(document, texture));
    }
    std::vector<ImageEffect> Draw(EffectWeights weights, int count) {
        std::vector<ImageEffect> effects;
        for (int i = 0; i < count; ++i) {
            ImageEffect e;
            EXPECT_TRUE(MakeImageEffect(Gradient(4, 4), weights, {}, &e));
            effects.push_back(e);
        }
        return effects;
    }
    CapturingErrorReporter reporter;
    ScopedErrorReporter scoped{reporter};
    QTemporaryDir dir;
    fs::path document;
};

TEST_F(ImageEffects, ExtremeWeightsAlwaysPickTheirEffect) {
    for (ImageEffect e : Draw({100, 0, 0}, 300)) EXPECT_EQ(e, ImageEffect::Standard);
    for (ImageEffect e : Draw({0, 0, 0}, 300)) EXPECT_EQ(e, ImageEffect::Engrave);
}

TEST_F(ImageEffects, StandardShowsThePictureUnchanged) {
    auto picture = Gradient(6, 5);
    auto stack = MakeImageEffect(picture, {100, 0, 0}, {});
    ASSERT_TRUE(stack);
    EXPECT_EQ(stack->Width(), 6);
    std::vector<float> rgb(3 * 30, 0.0f), alpha(30, 1.0f);
    SynthesisJob job;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    job.texture = stack.get();
    ASSERT_TRUE(job.RunHere());
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        ASSERT_NEAR(rgb[i] * 255.0f, picture->Bytes()[i], 0.01f) << i;
    }
}

TEST_F(ImageEffects, StacksOfTheOtherEffects) {
    auto bw = MakeImageEffect(Gradient(4, 4), {0, 100, 0}, {});
    ASSERT_EQ(bw->Count(), 1);
    auto* combine = dynamic_cast<CombineLayer*>(bw->Child(0));
    ASSERT_TRUE(combine);
    ASSERT_EQ(combine->Count(), 1);
    EXPECT_TRUE(dynamic_cast<BitmapLayer*>(combine->Child(0)));

    auto relief = MakeImageEffect(Gradient(4, 4), {0, 0, 100}, {});
    ASSERT_EQ(relief->Count(), 2);  // bump map on top of a copy of the picture
    EXPECT_EQ(relief->Child(0)->GetCombineFunc(), CombineFunc::Shade);
    EXPECT_TRUE(dynamic_cast<BumpMapLayer*>(relief->Child(0)));
    EXPECT_TRUE(dynamic_cast<BitmapLayer*>(relief->Child(1)));

    // Engrave lies over a document when there is one, else stands alone.
    auto engraved = MakeImageEffect(Gradient(4, 3), {0, 0, 0}, {document.string()});
    ASSERT_EQ(engraved->Count(), 2);
    EXPECT_EQ(engraved->Child(0)->GetCombineFunc(), CombineFunc::Shade);
    EXPECT_EQ(engraved->Child(1)->Keyword(), "TEXTURE");
    EXPECT_EQ(engraved->Child(1)->Width(), 4);  // the stack has the picture's size
    auto alone = MakeImageEffect(Gradient(4, 4), {0, 0, 0}, {document.string() + ".missing"});
    ASSERT_EQ(alone->Count(), 1);
    EXPECT_TRUE(dynamic_cast<BumpMapLayer*>(alone->Child(0)));
}

TEST_F(ImageEffects, LoadingFilesByKindAndContent) {
    const fs::path folder = document.parent_path();
    LoadedPicture doc = LoadPicture(document.string(), {}, {});
    ASSERT_TRUE(doc.stack);
    EXPECT_EQ(doc.mode, DisplayMode::Current);

    // A PNG under a JPEG name still shows; the picture's size is the stack's.
    DisplayBitmap bitmap;
    bitmap.Create(9, 7, 24);
    ASSERT_TRUE(SavePicture(bitmap, (folder / "photo.jpg").string(), SaveFormat::Png));
    LoadedPicture photo = LoadPicture((folder / "photo.jpg").string(), {100, 0, 0}, {});
    ASSERT_TRUE(photo.stack) << photo.error;
    EXPECT_EQ(photo.mode, DisplayMode::Image);
    EXPECT_EQ(photo.stack->Width(), 9);

    std::ofstream(folder / "broken.qln") << "VERSION 2\nTEXTURE { WIDTH -4 ";
    std::ofstream(folder / "broken.bmp") << "BM not really";
    std::ofstream(folder / "layer.qln") << "VERSION 2\nWHITENOISELAYER {\n}\n";
    for (const char* name : {"broken.qln", "broken.bmp", "layer.qln", "missing.jpg"}) {
        LoadedPicture bad = LoadPicture((folder / name).string(), {}, {});
        EXPECT_FALSE(bad.stack) << name;
        EXPECT_FALSE(bad.error.empty()) << name;
    }
}

}  // namespace
}  // namespace quillon
