// quillon-render --import: a picture becomes a texture document holding
// one bitmap layer with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "cli/cli_test_support.h"
#include "cli/import_picture.h"
#include "cli/render_options.h"
#include "engine/bitmap_layer.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "image/bmp_file.h"
#include "image/image_buffer.h"
#include "image/png_file.h"

namespace quillon {
namespace {

using clitest::ProgramResult;
using clitest::ReadFile;
using clitest::RunRender;
using clitest::TempDir;
using clitest::WriteFile;

std::string ImportError(std::vector<std::string> args) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(ParseRenderOptions(args, options, error));
    return error;
}

// A 24-bit picture, row 0 the top row (as the writers expect): pixel (x, y)
// is (x * 20, y * 30, 255 - x * 10).
ImageBuffer TopDownPicture(int w, int h) {
    ImageBuffer image;
    EXPECT_TRUE(image.Allocate(w, h, 3, 24));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 20);
            p[1] = static_cast<std::uint8_t>(y * 30);
            p[2] = static_cast<std::uint8_t>(255 - x * 10);
        }
    }
    return image;
}

void WriteGreyJpeg(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(x * 16 + y);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

// The bitmap layer of an imported document, with the document's checks.
const BitmapLayer* ImportedLayer(const std::string& document, TextureMap& texture, int w, int h) {
    EXPECT_EQ(LoadDocument(document, texture), LoadStatus::Ok);
    EXPECT_EQ(texture.Width(), w);
    EXPECT_EQ(texture.Height(), h);
    EXPECT_EQ(texture.Count(), 1);
    if (texture.Count() != 1) return nullptr;
    const auto* layer = dynamic_cast<const BitmapLayer*>(texture.Child(0));
    EXPECT_NE(layer, nullptr);
    if (!layer || !layer->Picture()) return nullptr;
    EXPECT_EQ(layer->Picture()->Width(), w);
    EXPECT_EQ(layer->Picture()->Height(), h);
    return layer;
}

TEST(ImportOptions, OnlyOutputAndQuietGoWithIt) {
    RenderOptions options;
    std::string error;
    const std::vector<std::string> args{"--import", "p.png", "-q", "-o", "d.qln"};
    ASSERT_TRUE(ParseRenderOptions(args, options, error)) << error;
    EXPECT_EQ(options.mode, RunMode::Import);
    EXPECT_EQ(options.importPicture, "p.png");
    EXPECT_EQ(options.outputFile, "d.qln");

    EXPECT_EQ(ImportError({"--import", "p.png"}), "--import needs -o DOCUMENT.qln for the new texture document");
    EXPECT_EQ(ImportError({"--import", "p.png", "-d", "out"}),
              "--import needs -o DOCUMENT.qln for the new texture document");
    EXPECT_EQ(ImportError({"--import", "p.png", "-o", "d.qln", "a.qln"}),
              "--import takes no document: the picture becomes the document given with -o");
    EXPECT_EQ(ImportError({"--import", "p.png", "-o", "d.qln", "--check"}), "--check cannot be used with --import");
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--format", "png"}, {"--size", "10x10"}, {"--mirror", "x"}, {"--seed", "4"}}) {
        std::vector<std::string> withExtra{"--import", "p.png", "-o", "d.qln"};
        withExtra.insert(withExtra.end(), extra.begin(), extra.end());
        EXPECT_EQ(ImportError(withExtra),
                  "--import writes a texture document; --format, --seed, --size and --mirror cannot be used with it");
    }
    EXPECT_EQ(ImportError({"--import", "p.png", "-o", "d.PNG"}),
              "--import writes a texture document, not a picture: 'd.PNG' should end in .qln");
    EXPECT_EQ(ImportError({"--import=", "-o", "d.qln"}), "--import needs a non-empty path");
    EXPECT_NE(UsageText().find("--import PICTURE"), std::string::npos);
}

TEST(Import, APngBecomesADocumentThatRendersThePictureBack) {
    TempDir dir;
    const std::string png = dir.File("tile.png");
    const std::string document = dir.File("tile.qln");
    ASSERT_TRUE(PngWriter().Write(TopDownPicture(7, 5), png));

    ProgramResult r = RunRender({"--import", png, "-o", document});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + document + " (7 x 5, one bitmap layer)\n");

    TextureMap texture;
    const BitmapLayer* layer = ImportedLayer(document, texture, 7, 5);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(texture.Name(), "tile");
    EXPECT_EQ(layer->Name(), "tile.png");
    // Row 0 of the layer's picture is the bottom row of the file's picture.
    EXPECT_EQ(layer->Picture()->Pixel(3, 0)[0], 60);
    EXPECT_EQ(layer->Picture()->Pixel(3, 0)[1], 120);
    EXPECT_EQ(layer->Picture()->Pixel(3, 0)[2], 225);

    // Rendered at its own size, the document is the picture again.
    const std::string rendered = dir.File("rendered.png");
    r = RunRender({"-q", "-o", rendered, document});
    ASSERT_EQ(r.status, 0) << r.err;
    PngReader reader;
    const auto back = reader.Read(rendered);
    const auto original = reader.Read(png);
    ASSERT_TRUE(back && original);
    EXPECT_EQ(std::vector<std::uint8_t>(back->Pixels(), back->Pixels() + back->Size()),
              std::vector<std::uint8_t>(original->Pixels(), original->Pixels() + original->Size()));
}

TEST(Import, APalettizedBitmapIsExpandedThroughItsPalette) {
    TempDir dir;
    ImageBuffer indexed;
    ASSERT_TRUE(indexed.Allocate(4, 2, 1, 8));
    const std::uint8_t indices[] = {0, 1, 2, 3, 3, 2, 1, 0};
    ASSERT_TRUE(indexed.Store(indices, 0, sizeof indices));
    const Palette palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {17, 34, 51}};
    const std::string bmp = dir.File("pal.bmp");
    ASSERT_EQ(WriteBitmapFile(indexed, palette, bmp), BitmapWriteStatus::Ok);

    const std::string document = dir.File("pal.qln");
    const ProgramResult r = RunRender({"-q", "--import", bmp, "-o", document});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    TextureMap texture;
    const BitmapLayer* layer = ImportedLayer(document, texture, 4, 2);
    ASSERT_NE(layer, nullptr);
    // The written top row (0, 1, 2, 3) is the picture's row 1.
    for (int x = 0; x < 4; ++x) {
        const PaletteEntry& top = palette[indices[x]];
        const PaletteEntry& bottom = palette[indices[4 + x]];
        const std::uint8_t* t = layer->Picture()->Pixel(x, 1);
        const std::uint8_t* b = layer->Picture()->Pixel(x, 0);
        EXPECT_EQ((PaletteEntry{t[0], t[1], t[2]}), top) << x;
        EXPECT_EQ((PaletteEntry{b[0], b[1], b[2]}), bottom) << x;
    }
}

TEST(Import, AGreyscaleJpegArrivesAsEqualChannels) {
    TempDir dir;
    const std::string jpeg = dir.File("grey.jpg");
    WriteGreyJpeg(jpeg, 8, 3);
    const std::string document = dir.File("grey.qln");
    const ProgramResult r = RunRender({"--import", jpeg, "-o", document});
    ASSERT_EQ(r.status, 0) << r.err;
    TextureMap texture;
    const BitmapLayer* layer = ImportedLayer(document, texture, 8, 3);
    ASSERT_NE(layer, nullptr);
    int spread = 0;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 8; ++x) {
            const std::uint8_t* p = layer->Picture()->Pixel(x, y);
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            spread = std::max(spread, static_cast<int>(p[0]));
        }
    }
    EXPECT_GT(spread, 100);  // a picture, not black
}

TEST(Import, FailuresLeaveTheDocumentAlone) {
    TempDir dir;
    const std::string document = dir.File("keep.qln");
    WriteFile(document, clitest::kNoiseDocument);

    // Not a picture; a missing file; a folder.
    const std::string text = dir.File("notes.png");
    WriteFile(text, "just some text");
    for (const std::string& source : {text, dir.File("missing.jpg"), dir.Path().string()}) {
        const ProgramResult r = RunRender({"--import", source, "-o", document});
        EXPECT_EQ(r.status, 3) << source;
        EXPECT_NE(r.err.find("quillon-render: "), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(document), clitest::kNoiseDocument);
    }

    // The document cannot be written.
    const std::string png = dir.File("ok.png");
    ASSERT_TRUE(PngWriter().Write(TopDownPicture(2, 2), png));
    const ProgramResult r = RunRender({"--import", png, "-o", dir.File("no/such/folder/d.qln")});
    EXPECT_EQ(r.status, 4) << r.err;

    // The picture itself is never overwritten.
    const std::string qlnPicture = dir.File("picture.qln");
    ASSERT_TRUE(PngWriter().Write(TopDownPicture(2, 2), qlnPicture));
    const std::string before = ReadFile(qlnPicture);
    const ProgramResult same = RunRender({"--import", qlnPicture, "-o", qlnPicture});
    EXPECT_EQ(same.status, 2) << same.err;
    EXPECT_EQ(ReadFile(qlnPicture), before);
}

TEST(Import, TextureFromPictureRefusesWhatALayerCannotHold) {
    std::string error;
    EXPECT_EQ(TextureFromPicture(ImageBuffer(), "t", "l", error), nullptr);
    EXPECT_FALSE(error.empty());
    ImageBuffer indexed;
    ASSERT_TRUE(indexed.Allocate(2, 2, 1, 8));
    EXPECT_EQ(TextureFromPicture(indexed, "t", "l", error), nullptr);

    ImageBuffer one;
    ASSERT_TRUE(one.Allocate(1, 1, 3, 24));
    auto texture = TextureFromPicture(one, "a \"quoted\" name", "layer", error);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->Name(), "a 'quoted' name");
    EXPECT_EQ(texture->Width(), 1);
    EXPECT_EQ(texture->Count(), 1);
}

}  // namespace
}  // namespace quillon
