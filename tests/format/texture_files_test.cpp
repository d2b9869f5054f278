#include "format/texture_files.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>

#include "engine/bitmap_layer.h"
#include "engine/block_io.h"
#include "engine/color.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"
#include "format_test_util.h"

namespace quillon {
namespace {

using testing::DataPath;
using testing::Parse;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::string Written(const RandomNumber& v) {
    std::ostringstream out;
    v.Write(out);
    return out.str();
}

// Reads a document, writes it, and checks that the text read back writes
// the same bytes again.
std::string RoundTrip(const std::string& text) {
    auto first = Parse(text);
    EXPECT_TRUE(first.ok) << first.Message();
    if (!first.layer) return {};
    const std::string written = DocumentText(*first.layer);
    auto second = Parse(written);
    EXPECT_TRUE(second.ok) << second.Message();
    if (second.layer) {
        EXPECT_EQ(DocumentText(*second.layer), written);
    }
    return written;
}

TEST(TextureWriter, RealsAndRandomNumbers) {
    EXPECT_EQ(Written(RandomNumber(0.5f)), "0.5");
    EXPECT_EQ(Written(RandomNumber(1.0f)), "1");
    EXPECT_EQ(Written(RandomNumber(1e-7f)), "1e-07");
    EXPECT_EQ(Written(RandomNumber(256.0f)), "256");
    EXPECT_EQ(Written(RandomNumber(1234567.0f)), "1.23457e+06");
    EXPECT_EQ(Written(RandomNumber::Random({0.2f, 0.6f})), "(0.2, 0.6)");
    EXPECT_EQ(Written(RandomNumber::Random({5.0f})), "(5)");
    EXPECT_EQ(Written(RandomNumber::Random({0, 10, 0.5f, 3})), "(0, 10, 0.5, 3)");
    // What cannot be read back is written as the nearest finite number.
    EXPECT_EQ(Written(RandomNumber(INFINITY)), "3.40282e+38");
    EXPECT_EQ(Written(RandomNumber(NAN)), "0");
    EXPECT_EQ(FormatReal(-INFINITY), "-1.79769e+308");
    EXPECT_EQ(FormatReal(2.0), "2");
}

TEST(TextureWriter, ColoursKeepTheirByteValues) {
    // k / 255 as read from a file must write k again, for every k.
    for (int k = 0; k < 256; ++k) {
        std::ostringstream out;
        Color(k * 0.00392156862745098, k / 255.0, k * (1.0 / 255), RandomNumber(1.0f)).Write(out);
        const std::string n = std::to_string(k);
        EXPECT_EQ(out.str(), "(" + n + ", " + n + ", " + n + ", 1)");
    }
    std::ostringstream out;
    Color(0.999, 0.0, 1.0, RandomNumber::Random({0.5f, 1.0f})).Write(out);
    EXPECT_EQ(out.str(), "(254, 0, 255, (0.5, 1))");

    IndexedColor random(3, Color(1, 0, 0), Color(0, 0, 1));
    std::ostringstream both;
    random.Write(both);
    EXPECT_EQ(both.str(), "(3, 255, 0, 0, 1, 0, 0, 255, 1)");
    random.isRandom = false;
    std::ostringstream one;
    random.Write(one);
    EXPECT_EQ(one.str(), "(3, 255, 0, 0, 1)");
}

// Whatever a document holds, the first save's text is the text of every
// later save (negative components once drifted up by one per save).
TEST(TextureWriter, ColourComponentsOfAnySignAndSizeAreStable) {
    for (int k : {-2147483647 - 1, -70000000, -1000, -256, -1, 256, 1000, 8388607, 2147483647}) {
        std::ostringstream out;
        Color(k * (1.0 / 255), 0.0, 0.0, RandomNumber(1.0f)).Write(out);
        if (std::abs(static_cast<long long>(k)) < 8388608) {
            EXPECT_EQ(out.str(), "(" + std::to_string(k) + ", 0, 0, 1)");
        }
    }
    RoundTrip(
        "VERSION 2\nWHITENOISELAYER \"w\" {\n COLORMAP SIZE 3\n RANDOM TRUE\n"
        " (0, -1000, -1, 256, 1, 2147483647, -2147483648, -70000001, 1)\n"
        " (5, -999, 999999, 123456789, 1, -3, -255, 100000007, 1)\n"
        " (9, 0, 255, 254, 1, 1, 2, 3, 1)\n}\n");
    RoundTrip(
        "VERSION 0.5\nWHITENOISELAYER \"w\" {\n COLORMAP SIZE 2\n"
        " (0, -3.9215686, 0.999, 1e9, 1)\n (1, -0.0039215, 1.0000001, -1e30, 1)\n}\n");
}

TEST(TextureWriter, CommonPropertiesInTheirOrder) {
    BaseLayer layer;
    layer.SetName("plain");
    layer.SetDescription("say \"hi\"");
    layer.SetFlags(kLayerTilingSubLayer | kLayerMortar);
    layer.SetProbability(RandomNumber::Random({0.5f}));
    layer.SetReduction(RandomNumber(0.1f));
    layer.SetCombineFunc(CombineFunc::Transparent);
    layer.SetTransparency(RandomNumber::Random({0.2f, 0.6f}));
    layer.GetColorMap().RemoveAllEntries();
    std::ostringstream out;
    layer.Write(out, "\t");
    EXPECT_EQ(out.str(),
              "\tBASELAYER \"plain\" {\n"
              "\t\tDESCRIPTION\n"
              "\"say 'hi'\"\n"
              "\t\tENABLED TRUE\n"
              "\t\tUSAGE 1\n"
              "\t\tUSEPROBABILITY 1\n"
              "\t\tPROBABILITY (0.5)\n"
              "\t\tREDUCTION 0.1\n"
              "\t\tMORTAR TRUE\n"
              "\t\tCOMBINEFUNC TRANSPARENT\n"
              "\t\tTRANSPARENCY (0.2, 0.6)\n"
              "\t\tCOLORMAP SIZE 0\n"
              "\t\tRANDOM FALSE\n"
              "\t}\n");

    auto back = Parse(out.str());
    ASSERT_TRUE(back.ok) << back.Message();
    EXPECT_EQ(back.layer->Description(), "say 'hi'");
    EXPECT_EQ(back.layer->Probability(), layer.Probability());
    EXPECT_TRUE(back.layer->IsMortar());
}

// A program may install a locale that groups digits; files never do.
struct GroupingPunct : std::numpunct<char> {
    char do_thousands_sep() const override { return '.'; }
    char do_decimal_point() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(TextureWriter, IgnoresTheGlobalLocale) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(1000, 2000);
    texture.SetZoom(RandomNumber(1.5f));
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
    const std::string text = DocumentText(texture);
    std::locale::global(previous);
    EXPECT_NE(text.find("\tWIDTH 1000\n\tHEIGHT 2000\n\tZOOM 1.5\n"), std::string::npos) << text;
}

TEST(TextureWriter, GraniteWritesBackByteForByte) {
    const std::string original = ReadBytes(DataPath("granite.qln"));
    TextureMap texture;
    ASSERT_EQ(LoadDocument(DataPath("granite.qln"), texture), LoadStatus::Ok);
    EXPECT_EQ(texture.Description(), "Grey stone");
    EXPECT_EQ(texture.ScreenSaverType(), kScreenSaverTile);
    ASSERT_EQ(texture.Count(), 1);
    EXPECT_EQ(texture.Child(0)->Transparency(), RandomNumber::Random({0.2f, 0.6f}));
    EXPECT_EQ(DocumentText(texture), original);
}

TEST(TextureWriter, EveryConstructWritesBackUnchanged) {
    const std::string original = ReadBytes(DataPath("every_construct.qln"));
    EXPECT_EQ(RoundTrip(original), original);

    // Hand-written input in a looser form settles after one write.
    const std::string loose = ReadBytes(DataPath("version_0_5.qln"));
    const std::string written = RoundTrip(loose);
    EXPECT_NE(written.find("(0, 0, 127, 127, 1)"), std::string::npos) << written;
    EXPECT_NE(written.find("(255, 255, 255, 255, (0.5, 1))"), std::string::npos);
}

TEST(TextureWriter, NamesAndDescriptionsAlwaysReadBack) {
    TextureMap texture;
    texture.RemoveAll();
    texture.SetName("a \"quoted\" name");
    texture.SetDescription(std::string(3000, 'd') + "\"");
    auto layer = std::make_unique<WhiteNoiseLayer>();
    layer->SetName(std::string(1500, '"'));
    texture.AddLast(std::move(layer));

    EXPECT_EQ(texture.Name(), "a 'quoted' name");
    EXPECT_EQ(texture.Description(), std::string(1023, 'd'));
    auto back = Parse(DocumentText(texture));
    ASSERT_TRUE(back.ok) << back.Message();
    EXPECT_EQ(back.layer->Name(), texture.Name());
    EXPECT_EQ(back.layer->Description(), texture.Description());
    auto* map = dynamic_cast<TextureMap*>(back.layer.get());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->Child(0)->Name(), std::string(1023, '\''));
}

TEST(TextureFiles, DocumentsAreBytesWithLf) {
    TempFolder folder;
    TextureMap texture;
    texture.RemoveAll();
    texture.SetDescription("carriage\rreturn");
    ASSERT_TRUE(SaveDocument(folder / "doc.qln", texture));
    const std::string bytes = ReadBytes(folder / "doc.qln");
    EXPECT_EQ(bytes.rfind("VERSION 2\nTEXTURE \"default_texture\" {\n", 0), 0u);
    EXPECT_EQ(bytes.find("\r\n"), std::string::npos);

    TextureMap back;
    ASSERT_EQ(LoadDocument(folder / "doc.qln", back), LoadStatus::Ok);
    EXPECT_EQ(back.Description(), "carriage\rreturn");
    EXPECT_EQ(back.Count(), 0);
    EXPECT_EQ(folder.EntryCount(), 1u) << "no temporary file is left behind";
}

TEST(TextureFiles, LayerFilesUseCrLfBothWays) {
    TempFolder folder;
    WhiteNoiseLayer layer;
    layer.SetName("grain");
    layer.SetDescription("one\ntwo\r\nthree\r");
    ASSERT_TRUE(SaveLayerFile(folder / "grain.qlr", layer));
    const std::string bytes = ReadBytes(folder / "grain.qlr");
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (bytes[k] == '\n') {
            ASSERT_EQ(bytes[k - 1], '\r') << "LF at " << k << " without CR";
        }
    }

    std::unique_ptr<BaseLayer> back;
    ASSERT_EQ(LoadLayerFile(folder / "grain.qlr", back), LoadStatus::Ok);
    EXPECT_EQ(back->Keyword(), "WHITENOISELAYER");
    EXPECT_EQ(back->Description(), layer.Description());
    std::ostringstream a, b;
    layer.Write(a, "");
    back->Write(b, "");
    EXPECT_EQ(a.str(), b.str());

    // A file from the Windows editor, two blocks: the second one is the layer.
    ASSERT_EQ(LoadLayerFile(DataPath("two_blocks.qlr"), back), LoadStatus::Ok);
    EXPECT_EQ(back->Name(), "Second");
    EXPECT_EQ(back->Description(), "line one\nline two");

    // A document loaded as a layer is read as bytes and yields its texture.
    ASSERT_EQ(LoadLayerFile(DataPath("granite.qln"), back), LoadStatus::Ok);
    EXPECT_EQ(back->Keyword(), "TEXTURE");

    // A layer saved under a document's name is bytes, so it reads back whole.
    ASSERT_TRUE(SaveLayerFile(folder / "grain.QLN", layer));
    EXPECT_EQ(ReadBytes(folder / "grain.QLN"), DocumentText(layer));
    ASSERT_EQ(LoadLayerFile(folder / "grain.QLN", back), LoadStatus::Ok);
    EXPECT_EQ(back->Description(), layer.Description());
}

// Picture bytes pass the line-end translation of layer files unchanged,
// whatever mix of CR, LF and braces they hold.
TEST(TextureFiles, PictureBytesSurviveBothKindsOfFile) {
    TempFolder folder;
    const std::uint8_t bytes[] = {'\n', '\r', '\r', '\n', '}', '{', '\r', 0,  255,
                                  '\n', '\n', '\r', ' ',  ';', '"', 10,   13, '\n'};
    RgbPicture picture;
    ASSERT_TRUE(picture.Assign(3, 2, bytes));
    TextureMap texture;
    texture.RemoveAll();
    auto layer = std::make_unique<BitmapLayer>();
    layer->SetPicture(picture);
    texture.AddLast(std::move(layer));

    ASSERT_TRUE(SaveLayerFile(folder / "picture.qlr", texture));
    ASSERT_TRUE(SaveDocument(folder / "picture.qln", texture));
    for (const char* name : {"picture.qlr", "picture.qln"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<BaseLayer> back;
        ASSERT_EQ(LoadLayerFile(folder / name, back), LoadStatus::Ok);
        auto* map = dynamic_cast<TextureMap*>(back.get());
        ASSERT_NE(map, nullptr);
        auto* bitmap = dynamic_cast<BitmapLayer*>(map->Child(0));
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(bitmap->Picture(), nullptr);
        EXPECT_EQ(*bitmap->Picture(), picture);
    }
}

TEST(TextureFiles, ColourMapFiles) {
    TempFolder folder;
    ColorMap map;
    ASSERT_EQ(LoadColorMapFile(DataPath("random_pair.cmp"), map), LoadStatus::Ok);
    EXPECT_TRUE(map.IsRandom());
    ASSERT_EQ(map.EntryCount(), 2);
    EXPECT_EQ(map.Entries()[0].second.red, 1.0);

    ASSERT_TRUE(SaveColorMapFile(folder / "copy.cmp", map));
    EXPECT_EQ(ReadBytes(folder / "copy.cmp"), ReadBytes(DataPath("random_pair.cmp")));

    // A failed or empty load leaves the map as it was.
    WriteBytes(folder / "bad.cmp", "VERSION 2\r\nCOLORMAP SIZE 1\r\nRANDOM FALSE\r\n(0, 1)\r\n");
    WriteBytes(folder / "empty.cmp", "VERSION 2\r\n");
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    EXPECT_EQ(LoadColorMapFile(folder / "bad.cmp", map), LoadStatus::Failed);
    EXPECT_EQ(LoadColorMapFile(folder / "empty.cmp", map), LoadStatus::Empty);
    EXPECT_EQ(LoadColorMapFile(folder / "missing.cmp", map), LoadStatus::Empty);
    EXPECT_EQ(map.EntryCount(), 2);
    EXPECT_EQ(reporter.Messages().size(), 1u);
}

TEST(TextureFiles, RefusedAndEmptyFiles) {
    TempFolder folder;
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    TextureMap texture;
    std::unique_ptr<TextureMap> loaded;
    std::unique_ptr<BaseLayer> layer;

    EXPECT_EQ(LoadDocument(DataPath("not_a_document.qln"), texture), LoadStatus::NotDocument);
    EXPECT_EQ(LoadDocument(folder / "missing.qln", texture), LoadStatus::NotDocument);
    EXPECT_TRUE(reporter.Messages().empty()) << "a refused document shows nothing";

    EXPECT_EQ(LoadDocument(DataPath("version_2_01.qln"), texture), LoadStatus::Failed);
    EXPECT_EQ(reporter.Messages().size(), 1u);

    WriteBytes(folder / "mask.qln", "VERSION 2\nMASKLAYER \"m\" { }\n");
    EXPECT_EQ(LoadTextureDocument(folder / "mask.qln", loaded), LoadStatus::Empty);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(LoadTextureDocument(DataPath("granite.qln"), loaded), LoadStatus::Ok);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Name(), "Granite");

    WriteBytes(folder / "version.qlr", "VERSION 2\r\n");
    EXPECT_EQ(LoadLayerFile(folder / "version.qlr", layer), LoadStatus::Empty);
    EXPECT_EQ(LoadLayerFile(folder / "missing.qlr", layer), LoadStatus::Empty);
    EXPECT_EQ(layer, nullptr);
}

TEST(TextureFiles, FailedSavesKeepTheOldFile) {
    TempFolder folder;
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    TextureMap texture;
    BaseLayer layer;

    // Each failure names the file and the system's reason.
    const std::string missing = ": No such file or directory";
    std::string error;
    EXPECT_FALSE(SaveDocument(folder / "no" / "such" / "folder.qln", texture, &error));
    EXPECT_EQ(error, "Unable to create file " + (folder / "no/such/folder.qln").string() + missing);
    EXPECT_FALSE(SaveLayerFile(folder / "no" / "layer.qlr", layer));
    EXPECT_FALSE(SaveColorMapFile(folder / "no" / "map.cmp", layer.GetColorMap(), &error));
    EXPECT_EQ(error, "Unable to create file " + (folder / "no/map.cmp").string() + missing);
    EXPECT_EQ(reporter.Messages(),
              (std::vector<std::string>{"Unable to write layer file\n\nUnable to create file " +
                                            (folder / "no/layer.qlr").string() + missing,
                                        "Unable to write color map\n\n" + error}));

    // A save over a folder fails and leaves the folder as it was.
    std::filesystem::create_directory(folder / "taken.qln");
    WriteBytes(folder / "taken.qln" / "inside", "keep");
    EXPECT_FALSE(SaveDocument(folder / "taken.qln", texture));
    EXPECT_EQ(ReadBytes(folder / "taken.qln" / "inside"), "keep");

    // A successful save replaces the whole old file.
    WriteBytes(folder / "old.qln", std::string(100000, 'x'));
    ASSERT_TRUE(SaveDocument(folder / "old.qln", texture));
    EXPECT_EQ(ReadBytes(folder / "old.qln"), DocumentText(texture));
    EXPECT_EQ(folder.EntryCount(), 2u);
}

// Address space for this process: what it uses now and some headroom.
void LimitMemory(std::size_t headroom) {
    std::ifstream status("/proc/self/status");
    std::string line;
    std::size_t usedKb = 0;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) usedKb = std::stoul(line.substr(7));
    const rlimit limit{usedKb * 1024 + headroom, usedKb * 1024 + headroom};
    setrlimit(RLIMIT_AS, &limit);
}

// Whether the file holds exactly text (with CR LF line ends when crlf),
// read without a copy of either.
bool FileHolds(const std::filesystem::path& path, const std::string& text, bool crlf) {
    std::ifstream in(path, std::ios::binary);
    std::size_t at = 0;
    bool pendingLf = false;
    for (char c; in.get(c);) {
        if (pendingLf) {
            if (c != '\n') return false;
            pendingLf = false;
        } else if (at < text.size() && crlf && text[at] == '\n') {
            if (c != '\r') return false;
            pendingLf = true;
            ++at;
        } else if (at >= text.size() || text[at++] != c) {
            return false;
        }
    }
    return at == text.size() && !pendingLf;
}

// Memory too short to hold a large document's text: the text comes back
// empty rather than cut, and a save streams the whole file anyway.
TEST(TextureFiles, ShortMemoryNeverGivesACutDocument) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    TempFolder folder;
    TextureMap texture;
    auto bitmap = std::make_unique<BitmapLayer>();
    std::vector<std::uint8_t> bytes(3 * 2048 * 2048);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    RgbPicture picture;
    ASSERT_TRUE(picture.Assign(2048, 2048, bytes.data()));
    bitmap->SetPicture(std::move(picture));
    texture.AddLast(std::move(bitmap));
    const std::string whole = DocumentText(texture);
    ASSERT_GT(whole.size(), bytes.size());
    const auto path = folder / "big.qln";
    const auto layerPath = folder / "big.qlr";

    // A fresh process, so that no memory freed by earlier tests is at hand.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WriteBytes(path, "old");
            LimitMemory(8u << 20);
            const bool cut = !DocumentText(texture).empty();
            const bool saved = SaveDocument(path, texture) && SaveLayerFile(layerPath, texture);
            const bool complete =
                FileHolds(path, whole, false) && FileHolds(layerPath, whole, true);
            std::_Exit(cut ? 1 : !saved ? 2 : !complete ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillon
