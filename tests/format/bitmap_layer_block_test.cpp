#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/bitmap_layer.h"
#include "engine/noise_function_layer.h"
#include "format/texture_files.h"
#include "format_test_util.h"

namespace quillon {
namespace {

using testing::Parse;
using testing::Written;

const BitmapLayer* AsBitmap(const testing::Parsed& parsed) {
    return dynamic_cast<const BitmapLayer*>(parsed.layer.get());
}

RgbPicture MakePicture(int w, int h, const std::vector<std::uint8_t>& rgb) {
    RgbPicture picture;
    EXPECT_TRUE(picture.Assign(w, h, rgb.data()));
    return picture;
}

// Every byte value, and the ones the syntax cares about in a row: braces,
// the comment character, quotes, CR LF pairs and a lone CR.
RgbPicture Awkward() {
    std::vector<std::uint8_t> bytes;
    for (int v = 0; v < 256; ++v) bytes.push_back(static_cast<std::uint8_t>(v));
    for (const char* s : {"}}{{", ";;", "\"", "\r\n\r\n", "\r\r\n", "\n\r", "}\n", " } "}) {
        for (const char* c = s; *c; ++c) bytes.push_back(static_cast<std::uint8_t>(*c));
    }
    while (bytes.size() % 21 != 0) bytes.push_back('}');
    return MakePicture(7, static_cast<int>(bytes.size() / 21), bytes);
}

const std::string kTwoByOne(std::string("\x0a\x28\x14\x32\x1e\x3c", 6));  // 10, 40, 20, 50, 30, 60

TEST(BitmapLayerBlock, WithoutPictureNoBitmapLines) {
    BitmapLayer layer;
    layer.SetName("empty");
    EXPECT_EQ(Written(layer, "\t"),
              "\tBITMAPLAYER \"empty\" {\n"
              "\t\tENABLED TRUE\n"
              "\t\tUSAGE 1\n"
              "\t\tUSEPROBABILITY 1\n"
              "\t\tCOMBINEFUNC OPAQUE\n"
              "\t}\n");
    const testing::Parsed parsed = Parse("VERSION 2\n" + Written(layer));
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    ASSERT_NE(AsBitmap(parsed), nullptr);
    EXPECT_EQ(AsBitmap(parsed)->Picture(), nullptr);
    EXPECT_EQ(AsBitmap(parsed)->Name(), "empty");
}

TEST(BitmapLayerBlock, PlanarBytesAfterTheSize) {
    BitmapLayer layer;
    layer.SetName("pair");
    layer.SetPicture(MakePicture(2, 1, {10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(Written(layer),
              "BITMAPLAYER \"pair\" {\n"
              "\tENABLED TRUE\n"
              "\tUSAGE 1\n"
              "\tUSEPROBABILITY 1\n"
              "\tCOMBINEFUNC OPAQUE\n"
              "\tBITMAP_WIDTH 2\tBITMAP_HEIGHT 1\n"
              "\tBITMAP_DATA {" + kTwoByOne + "}\n"
              "}\n");
}

TEST(BitmapLayerBlock, VersionDecidesPlanarOrInterleaved) {
    const std::string block = "BITMAPLAYER \"p\" {\n\tBITMAP_WIDTH 2\tBITMAP_HEIGHT 1\n\tBITMAP_DATA {" +
                              kTwoByOne + "}\n}\n";
    for (const auto& [version, expected] :
         {std::pair{"2", std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60}},
          std::pair{"1.1", std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60}},
          std::pair{"1", std::vector<std::uint8_t>{10, 40, 20, 50, 30, 60}},
          std::pair{"0.5", std::vector<std::uint8_t>{10, 40, 20, 50, 30, 60}}}) {
        SCOPED_TRACE(version);
        const testing::Parsed parsed = Parse(std::string("VERSION ") + version + "\n" + block);
        ASSERT_TRUE(parsed.ok) << parsed.Message();
        ASSERT_NE(AsBitmap(parsed), nullptr);
        const auto picture = AsBitmap(parsed)->Picture();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->Width(), 2);
        EXPECT_EQ(picture->Height(), 1);
        EXPECT_EQ(std::vector<std::uint8_t>(picture->Bytes(), picture->Bytes() + picture->ByteCount()),
                  expected);
    }
}

TEST(BitmapLayerBlock, AwkwardBytesAreDataInDocumentsAndLayerFiles) {
    BitmapLayer layer;
    layer.SetName("awkward");
    layer.SetCombineFunc(CombineFunc::Multiply);
    layer.SetPicture(Awkward());

    // A document: bytes as they are, inside a texture and followed by another layer.
    TextureMap texture;
    texture.RemoveAll();
    texture.AddLast(layer.Clone());
    texture.AddLast(std::make_unique<NoiseFunctionLayer>());
    TextureMap target;
    const testing::Parsed doc = Parse(DocumentText(texture), &target);
    ASSERT_TRUE(doc.ok) << doc.Message();
    ASSERT_EQ(target.Count(), 2);
    const auto* read = dynamic_cast<const BitmapLayer*>(target.Child(0));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(*read->Picture(), *layer.Picture());
    EXPECT_EQ(read->GetCombineFunc(), CombineFunc::Multiply);
    EXPECT_NE(dynamic_cast<const NoiseFunctionLayer*>(target.Child(1)), nullptr);
    EXPECT_EQ(DocumentText(target), DocumentText(texture));

    // A layer file: every LF goes out as CR LF and comes back, data included.
    testing::TempFolder folder;
    const auto path = folder / "awkward.qlr";
    ASSERT_TRUE(SaveLayerFile(path, layer));
    const std::string bytes = testing::ReadBytes(path);
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (bytes[k] == '\n') {
            ASSERT_TRUE(k > 0 && bytes[k - 1] == '\r') << "bare LF at " << k;
        }
    }
    std::unique_ptr<BaseLayer> loaded;
    ASSERT_EQ(LoadLayerFile(path, loaded), LoadStatus::Ok);
    const auto* fromFile = dynamic_cast<const BitmapLayer*>(loaded.get());
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(*fromFile->Picture(), *layer.Picture());
    EXPECT_EQ(Written(*fromFile), Written(layer));
}

TEST(BitmapLayerBlock, SizesAreCheckedBeforeAllocating) {
    const std::string invalid = "Invalid bitmap size in Bitmap Layer";
    const auto message = [](const std::string& sizes, const std::string& data = "{" + kTwoByOne + "}") {
        return Parse("VERSION 2\nBITMAPLAYER \"b\" { " + sizes + " BITMAP_DATA " + data + " }").Message();
    };
    EXPECT_EQ(message(""), "Error t.qln(line 1): " + invalid);
    EXPECT_EQ(message("BITMAP_WIDTH 2"), "Error t.qln(line 1): " + invalid);
    EXPECT_EQ(message("BITMAP_HEIGHT 1"), "Error t.qln(line 1): " + invalid);
    for (const char* sizes : {"BITMAP_WIDTH 0 BITMAP_HEIGHT 1", "BITMAP_WIDTH -2 BITMAP_HEIGHT -1",
                              "BITMAP_WIDTH 2 BITMAP_HEIGHT -1",
                              "BITMAP_WIDTH 65535 BITMAP_HEIGHT 65535",
                              "BITMAP_WIDTH 2147483647 BITMAP_HEIGHT 2147483647",
                              "BITMAP_WIDTH 99999999999 BITMAP_HEIGHT 1",
                              // More bytes than the file holds.
                              "BITMAP_WIDTH 5 BITMAP_HEIGHT 1", "BITMAP_WIDTH 4096 BITMAP_HEIGHT 4096"}) {
        EXPECT_EQ(message(sizes), "Error t.qln(line 1): " + invalid) << sizes;
    }
    // The size read last before the data counts.
    const testing::Parsed parsed =
        Parse("BITMAPLAYER \"b\" { BITMAP_WIDTH 9 BITMAP_WIDTH 2 BITMAP_HEIGHT 1 BITMAP_DATA {" + kTwoByOne + "} }");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    EXPECT_EQ(AsBitmap(parsed)->Picture()->Width(), 2);
}

TEST(BitmapLayerBlock, SyntaxMessages) {
    const std::string head = "BITMAPLAYER \"b\" { BITMAP_WIDTH 2 BITMAP_HEIGHT 1 BITMAP_DATA ";
    EXPECT_EQ(Parse(head + "[" + kTwoByOne + "] }").Message(),
              "Error t.qln(line 0): Syntax Error(missing '{') in Bitmap Layer");
    // One byte too many before the brace.
    EXPECT_EQ(Parse(head + "{" + kTwoByOne + "x} }").Message(),
              "Error t.qln(line 0): Syntax Error(missing  '}') in Bitmap Layer");
    // The file ends inside the data.
    EXPECT_EQ(Parse(head + "{" + kTwoByOne.substr(0, 5)).Message(),
              "Error t.qln(line 0): Syntax Error(missing  '}') in Bitmap Layer");
    EXPECT_EQ(Parse("BITMAPLAYER \"b\" { BITMAP_DEPTH 24 }").Message(),
              "Error t.qln(line 0): Invalid Token(BITMAP_DEPTH) in Bitmap Layer");
    EXPECT_EQ(Parse("BITMAPLAYER \"b\" BITMAP_WIDTH 2").Message(),
              "Error t.qln(line 0): Syntax Error(expecting '{') in Bitmap Layer");
    EXPECT_EQ(Parse(head + "{" + kTwoByOne + "}").Message(),
              "Error t.qln(line 0): Syntax Error(missing  '}') in Bitmap Layer");
    // Blanks may stand around the braces of the data.
    const testing::Parsed spaced = Parse(head + " \n {" + kTwoByOne + " \n } }");
    ASSERT_TRUE(spaced.ok) << spaced.Message();
}

TEST(BitmapLayerBlock, TextModeShortDataIsAMissingBrace) {
    // In a layer file CR LF pairs shrink to one byte, so the size check
    // cannot see that the data falls short; the read does.
    const std::string text = "BITMAPLAYER \"b\" { BITMAP_WIDTH 2 BITMAP_HEIGHT 1 BITMAP_DATA {\r\n\r\n\r\n}";
    const testing::Parsed parsed = Parse(text, nullptr, LineEnds::Text);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.Message(), "Error t.qln(line 0): Syntax Error(missing  '}') in Bitmap Layer");
}

}  // namespace
}  // namespace quillon
