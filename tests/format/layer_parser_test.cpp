#include "format/layer_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "engine/color.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"
#include "format/texture_files.h"
#include "format_test_util.h"

namespace quillon {
namespace {

using testing::Parse;
using testing::ParserOn;

// Reads one random value from text; the message (if any) goes to *message.
bool ReadRandom(const std::string& text, RandomNumber& value, std::string* message = nullptr) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    auto parser = ParserOn(text);
    const bool ok = parser->ReadRandomNumber(value);
    if (message) *message = reporter.Last();
    return ok;
}

TEST(LayerParserValues, RandomNumbersInTheirForms) {
    RandomNumber v;
    ASSERT_TRUE(ReadRandom("5", v));
    EXPECT_EQ(v, RandomNumber(5.0f));
    ASSERT_TRUE(ReadRandom("(5)", v));
    EXPECT_EQ(v, RandomNumber::Random({5.0f}));
    EXPECT_TRUE(v.IsRandom());

    RandomNumber spaced, commas;
    ASSERT_TRUE(ReadRandom("(1 2)", spaced));
    ASSERT_TRUE(ReadRandom("( 1 ,2 )", commas));
    EXPECT_EQ(spaced, commas);
    EXPECT_EQ(commas, RandomNumber::Random({1.0f, 2.0f}));

    ASSERT_TRUE(ReadRandom("(0, 10, 0.5, 3)", v));
    EXPECT_EQ(v, RandomNumber::Random({0.0f, 10.0f, 0.5f, 3.0f}));
    ASSERT_TRUE(ReadRandom("1e-07", v));
    EXPECT_FLOAT_EQ(v.Number(0), 1e-7f);
    ASSERT_TRUE(ReadRandom("1e300", v)) << "too large for a float: kept finite";
    EXPECT_TRUE(std::isfinite(v.Number(0)));

    std::string message;
    EXPECT_FALSE(ReadRandom("(1, 2, 3, 4, 5)", v, &message));
    EXPECT_EQ(message, "Error t.qln(line 0): Syntax Error(missing ')') in random number");
    EXPECT_FALSE(ReadRandom("(1, )", v, &message));
    EXPECT_EQ(message, "Error t.qln(line 0): Syntax Error(floating point number expected)");
    EXPECT_FALSE(ReadRandom("\n(1 2 3 4 5)", v, &message));
    EXPECT_EQ(message, "Error t.qln(line 1): Syntax Error(missing ')') in random number");
}

TEST(LayerParserValues, NumberReadersShowTheirOwnMessages) {
    struct Case {
        const char* text;
        bool integer;
        const char* message;
    };
    const std::string longNumber(1100, '1');
    const Case cases[] = {
        {"2.5", true, "Syntax Error(integer expected)"},
        {"x", true, "Syntax Error(integer expected)"},
        {"1.2.3", true, "Syntax Error(integer expected)"},
        {longNumber.c_str(), true, "Token buffer overflowed in reading integer"},
        {"TRUE", false, "Syntax Error(floating point number expected)"},
        {"-", false, "Syntax Error(floating point number expected)"},
        {longNumber.c_str(), false, "Token buffer overflowed in reading floating point number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text).substr(0, 20));
        CapturingErrorReporter reporter;
        ScopedErrorReporter scope(reporter);
        auto parser = ParserOn(c.text);
        int i = 0;
        double d = 0;
        EXPECT_FALSE(c.integer ? parser->ReadInteger(i) : parser->ReadReal(d));
        EXPECT_EQ(reporter.Messages(),
                  std::vector<std::string>{std::string("Error t.qln(line 0): ") + c.message});
    }

    auto parser = ParserOn("-42 99999999999 12e3 -7.25 3");
    int i = 0;
    double d = 0;
    ASSERT_TRUE(parser->ReadInteger(i));
    EXPECT_EQ(i, -42);
    ASSERT_TRUE(parser->ReadInteger(i));
    EXPECT_EQ(i, 2147483647) << "saturates";
    ASSERT_TRUE(parser->ReadInteger(i));
    EXPECT_EQ(i, 12) << "the leading integer of the token";
    ASSERT_TRUE(parser->ReadReal(d));
    EXPECT_EQ(d, -7.25);
    ASSERT_TRUE(parser->ReadReal(d)) << "an integer token is a real too";
    EXPECT_EQ(d, 3.0);
}

TEST(LayerParserValues, TriplesAndEnumerations) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    RandomNumber x, y, z;
    auto parser = ParserOn("((1, 2), 3 ,(4))");
    ASSERT_TRUE(parser->ReadRandomTriple(x, y, z));
    EXPECT_EQ(x, RandomNumber::Random({1.0f, 2.0f}));
    EXPECT_EQ(y, RandomNumber(3.0f));
    EXPECT_EQ(z, RandomNumber::Random({4.0f}));

    const std::pair<const char*, const char*> badTriples[] = {
        {"1, 2, 3)", "Syntax Error(expecting '(') in random number reader."},
        {"(1 2, 3)", "Syntax Error(expecting ',') in random number reader."},
        {"(1, 2, 3", "Syntax Error(expecting ')') in random number reader."},
    };
    for (const auto& [text, message] : badTriples) {
        reporter.Clear();
        EXPECT_FALSE(ParserOn(text)->ReadRandomTriple(x, y, z)) << text;
        EXPECT_EQ(reporter.Last(), std::string("Error t.qln(line 0): ") + message);
    }

    // Every keyword of every table reads back as its own value.
    const std::pair<FileEnumeration, const char*> tables[] = {
        {FileEnumeration::CombineFunction, "Unexpected Combine Function(%s)"},
        {FileEnumeration::CoordinateFunction, "Unexpected Coordinate Function(%s)"},
        {FileEnumeration::CutType, "Unexpected Cut Type(%s)"},
        {FileEnumeration::NoiseFunction, "Unexpected Noise Function(%s)"},
        {FileEnumeration::TurbulenceType, "Unexpected Turbulence Type(%s)"},
        {FileEnumeration::ColorMapping, "Unexpected Color Mapping Function(%s)"},
        {FileEnumeration::ScreenSaverType, "Unexpected screen saver type(%s)"},
    };
    for (const auto& [kind, format] : tables) {
        for (int value = 0; !EnumerationName(kind, value).empty(); ++value) {
            int read = -1;
            ASSERT_TRUE(
                ParserOn(std::string(EnumerationName(kind, value)))->ReadEnumeration(kind, read));
            EXPECT_EQ(read, value);
        }
        reporter.Clear();
        int read = -1;
        EXPECT_FALSE(ParserOn("opaque")->ReadEnumeration(kind, read));
        char expected[128];
        std::snprintf(expected, sizeof expected, format, "opaque");
        EXPECT_EQ(reporter.Last(), std::string("Error t.qln(line 0): ") + expected);
    }
    reporter.Clear();
    int read = -1;
    EXPECT_FALSE(ParserOn("")->ReadEnumeration(FileEnumeration::CombineFunction, read));
    EXPECT_EQ(reporter.Last(), "Error t.qln(line 0): Unexpected Combine Function()");

    std::unique_ptr<BaseColorFunctor> functor;
    ASSERT_TRUE(ParserOn("TRIG")->ReadColorMapping(functor));
    auto* cosine = dynamic_cast<CosineColorFunctor*>(functor.get());
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine->Frequency(), 2.0f);
    EXPECT_EQ(cosine->Phase(), 0.0f);
    ASSERT_TRUE(ParserOn("MODULUS")->ReadColorMapping(functor));
    ASSERT_NE(dynamic_cast<ModulusColorFunctor*>(functor.get()), nullptr);
}

TEST(LayerParserBlocks, TextureBlockAndItsKeywords) {
    auto parsed = Parse(
        "VERSION 2\n"
        "TEXTURE \"t\" {\n"
        "  WIDTH 40 HEIGHT 30 ZOOM (2)\n"
        "  SSTYPE TILE SSTYPE XMIRROR SSTYPE CURRENT\n"
        "  DESCRIPTION \"d\" ENABLED FALSE USAGE 2 USEPROBABILITY 0.5\n"
        "  COMBINEFUNC TRANSPARENT TRANSPARENCY 5\n"
        "  PROBABILITY (0.5) REDUCTION 0.25 MORTAR TRUE\n"
        "  LAYERS { WHITENOISELAYER \"w\" { } BASELAYER \"b\" { } }\n"
        "}\n");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    auto* texture = dynamic_cast<TextureMap*>(parsed.layer.get());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->Name(), "t");
    EXPECT_EQ(texture->Width(), 40);
    EXPECT_EQ(texture->Height(), 30);
    EXPECT_EQ(texture->Zoom(), RandomNumber::Random({2.0f}));
    EXPECT_EQ(texture->ScreenSaverType(), 5);
    EXPECT_EQ(texture->Description(), "d");
    EXPECT_FALSE(texture->IsEnabled());
    EXPECT_EQ(texture->Usage(), RandomNumber(2.0f));
    EXPECT_EQ(texture->UseProbability(), RandomNumber(0.5f));
    EXPECT_EQ(texture->GetCombineFunc(), CombineFunc::Transparent);
    EXPECT_EQ(texture->Transparency(), RandomNumber(5.0f)) << "a constant, not a draw";
    EXPECT_EQ(texture->Probability(), RandomNumber::Random({0.5f}));
    EXPECT_EQ(texture->Reduction(), RandomNumber(0.25f));
    EXPECT_TRUE(texture->IsMortar());
    ASSERT_EQ(texture->Count(), 2);
    EXPECT_EQ(texture->Child(0)->Name(), "w");
    EXPECT_NE(dynamic_cast<WhiteNoiseLayer*>(texture->Child(0)), nullptr);
    EXPECT_EQ(texture->Child(1)->Width(), 40) << "children take the container's size";
    EXPECT_EQ(texture->Child(1)->Parent(), texture);
}

TEST(LayerParserBlocks, EmptyBlocksKeepDefaults) {
    auto parsed = Parse("TEXTURE \"x\" { }");
    ASSERT_TRUE(parsed.ok);
    auto* texture = dynamic_cast<TextureMap*>(parsed.layer.get());
    ASSERT_NE(texture, nullptr);
    TextureMap fresh;
    EXPECT_EQ(texture->Width(), fresh.Width());
    EXPECT_EQ(texture->Zoom(), fresh.Zoom());
    EXPECT_EQ(texture->ScreenSaverType(), 0);
    EXPECT_EQ(texture->Count(), 0) << "reading a TEXTURE block removes the default layer";

    parsed = Parse("MASKLAYER \"m\" { LAYERS { } }");
    ASSERT_TRUE(parsed.ok);
    auto* mask = dynamic_cast<MaskLayer*>(parsed.layer.get());
    ASSERT_NE(mask, nullptr);
    EXPECT_TRUE(mask->Greyify());
    EXPECT_EQ(mask->GetCombineFunc(), CombineFunc::Disable);
    EXPECT_EQ(mask->Count(), 0);

    parsed = Parse("WHITENOISELAYER \"w\" { COLORMAP SIZE 0 RANDOM FALSE }");
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.layer->GetColorMap().EntryCount(), 0);
}

struct ErrorCase {
    const char* text;
    const char* message;  // after "Error t.qln(line n): "
    int line;
};

void ExpectFailure(const ErrorCase& c) {
    SCOPED_TRACE(c.text);
    auto parsed = Parse(c.text);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.layer, nullptr);
    ASSERT_EQ(parsed.messages.size(), 1u) << "every failure is shown once";
    EXPECT_EQ(parsed.Message(), "Error t.qln(line " + std::to_string(c.line) + "): " + c.message);
}

TEST(LayerParserErrors, BlockMessagesWithLineNumbers) {
    const ErrorCase cases[] = {
        {"texture \"x\" { }", "Invalid Token(texture)", 0},
        {"VERSION 2\n\nTEXTURE \"x\" [", "Syntax Error(expecting '{') in Texture Map", 2},
        {"TEXTURE \"x\" {\n WIDE 5 }", "Invalid Token(WIDE) in Texture Map", 1},
        {"TEXTURE \"x\" {\n", "Syntax Error(missing  '}') in Texture Map", 1},
        {"BASELAYER \"x\" (", "Syntax Error(expecting '{' in BaseLayer)", 0},
        {"BASELAYER \"x\" { WIDTH 5 }", "Invalid Token(WIDTH) in BaseLayer", 0},
        {"BASELAYER \"x\" {", "Syntax Error(missing  '}') in BaseLayer", 0},
        {"WHITENOISELAYER \"x\" x", "Syntax Error(expecting '{') in White Noise Layer", 0},
        {"WHITENOISELAYER \"x\" { GREYIFY TRUE }", "Invalid Token(GREYIFY) in White Noise Layer",
         0},
        {"WHITENOISELAYER \"x\" {", "Syntax Error(missing  '}') in White Noise Layer", 0},
        {"MASKLAYER \"x\" x", "Syntax Error(expecting '{') in Mask Layer", 0},
        {"MASKLAYER \"x\" { ZOOM 1 }", "Invalid Token(ZOOM) in Mask Layer", 0},
        {"MASKLAYER \"x\" {", "Syntax Error(missing  '}') in Mask Layer", 0},
        {"NOISECOMBINELAYER \"x\" x", "Syntax Error(expecting '{') in Noise Combine Layer", 0},
        {"NOISECOMBINELAYER \"x\" { ZOOM 1 }", "Invalid Token(ZOOM) in Noise Combine Layer", 0},
        {"NOISECOMBINELAYER \"x\" {", "Syntax Error(missing  '}') in Noise Combine Layer", 0},
        {"TEXTURE \"x\" { LAYERS x", "Syntax Error(expecting '{') in multilayer.", 0},
        {"TEXTURE \"x\" { LAYERS { SOMETHING", "Invalid Token(SOMETHING) in multilayer.", 0},
        {"TEXTURE \"x\" { LAYERS { BUMPMAP \"b\" { } } }", "Invalid Token(BUMPMAP) in multilayer.",
         0},
        {"TEXTURE \"x\" { LAYERS {\n", "Syntax Error(missing '}') in multilayer.", 1},
        {"TEXTURE x", "Not a quoted string", 0},
        {"TEXTURE \"x", "Non-terminated quoted string", 0},
        {"5", "Not a string", 0},
        {"TEXTURE \"x\" { COMBINEFUNC BLEND }", "Unexpected Combine Function(BLEND)", 0},
        {"TEXTURE \"x\" { SSTYPE MIRROR }", "Unexpected screen saver type(MIRROR)", 0},
        {"TEXTURE \"x\" { WIDTH 0 }", "Invalid WIDTH(0) in Texture Map", 0},
        {"TEXTURE \"x\" { HEIGHT -3 }", "Invalid HEIGHT(-3) in Texture Map", 0},
        {"TEXTURE \"x\" { HEIGHT 1 WIDTH 300000000 }", "Invalid WIDTH(300000000) in Texture Map",
         0},
        {"NOISECOMBINELAYER \"x\" { WIDTH -1 }", "Invalid WIDTH(-1) in Noise Combine Layer", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 1 RANDOM FALSE 0, 0, 0, 0, 1) }",
         "Syntax Error(expecting '(') in indexed color", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 1 RANDOM FALSE (0, 0, 0, 0, 1 }",
         "Syntax Error(missing ')') in indexed color", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 1 RANDOM FALSE (0, 0, 0.5, 0.5, 1) }",
         "Syntax Error(integer expected)", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 2 RANDOM TRUE (0, 0, 0, 0, 1) }",
         "Syntax Error(expecting ',') in indexed color", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 2000000000 RANDOM FALSE (0, 0, 0, 0, 1) }",
         "Syntax Error(expecting '(') in indexed color", 0},
    };
    for (const ErrorCase& c : cases) ExpectFailure(c);
}

// WIDTH and HEIGHT are checked as a pair, whatever their order; a block
// with only one keeps the layer's other side (64 for a new layer).
TEST(LayerParserErrors, SizesAreCheckedAsAPairInEitherOrder) {
    for (const char* text : {"TEXTURE \"x\" { HEIGHT 1 WIDTH 268435456 }",
                             "TEXTURE \"x\" { WIDTH 268435456 HEIGHT 1 }"}) {
        auto parsed = Parse(text);
        ASSERT_TRUE(parsed.ok) << parsed.Message();
        EXPECT_EQ(parsed.layer->Width(), 268435456);
        EXPECT_EQ(parsed.layer->Height(), 1);
        EXPECT_TRUE(Parse(DocumentText(*parsed.layer)).ok) << "the printed form loads";
    }
    const ErrorCase cases[] = {
        {"TEXTURE \"x\" { WIDTH 16385\n HEIGHT 16384 }", "Invalid WIDTH(16385) in Texture Map", 1},
        {"TEXTURE \"x\" { HEIGHT 16384\n WIDTH 16385 }", "Invalid WIDTH(16385) in Texture Map", 1},
        {"TEXTURE \"x\" { HEIGHT 268435456 WIDTH 2 }", "Invalid HEIGHT(268435456) in Texture Map",
         0},
        {"TEXTURE \"x\" { WIDTH 268435456\n}", "Invalid WIDTH(268435456) in Texture Map", 1},
        {"NOISECOMBINELAYER \"x\" { HEIGHT 4194305 }",
         "Invalid HEIGHT(4194305) in Noise Combine Layer", 0},
    };
    for (const ErrorCase& c : cases) ExpectFailure(c);
    auto one = Parse("TEXTURE \"x\" { HEIGHT 4194304 }");
    ASSERT_TRUE(one.ok) << one.Message();
    EXPECT_EQ(one.layer->Width(), 64);
}

// The reader shows a message where the original stayed silent, so that a
// load never fails without telling the user why.
TEST(LayerParserErrors, FormerlySilentFailuresExplainThemselves) {
    const ErrorCase cases[] = {
        {"TEXTURE \"x\" {\n ENABLED YES }", "Syntax Error(TRUE or FALSE expected)", 1},
        {"WHITENOISELAYER \"x\" { COLORMAP 2 }", "Syntax Error(expecting SIZE) in color map", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE -1 }",
         "Syntax Error(negative size -1) in color map", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 1 (0, 0, 0, 0, 1) }",
         "Syntax Error(expecting RANDOM) in color map", 0},
        {"WHITENOISELAYER \"x\" { COLORMAP SIZE 1 RANDOM FALSE (0, 0 0, 0, 1) }",
         "Syntax Error(expecting ',') in indexed color", 0},
    };
    for (const ErrorCase& c : cases) ExpectFailure(c);
}

TEST(LayerParserVersions, VersionRules) {
    // Below 0.6 components are reals 0..1 and there is no RANDOM line.
    auto parsed =
        Parse("VERSION 0.5 WHITENOISELAYER \"w\" { COLORMAP SIZE 1 (0, 0, 0.5, 0.5, 1) }");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const auto& entries = parsed.layer->GetColorMap().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].index, 0);
    EXPECT_EQ(entries[0].first.red, 0.0);
    EXPECT_EQ(entries[0].first.green, 0.5);
    EXPECT_EQ(entries[0].first.blue, 0.5);

    // Up to 1.0 integers without RANDOM; the map is not random.
    parsed = Parse("VERSION 1.0 WHITENOISELAYER \"w\" { COLORMAP SIZE 1 (7, 255, 51, 0, 1) }");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const auto& entry = parsed.layer->GetColorMap().Entries().at(0);
    EXPECT_EQ(entry.index, 7);
    EXPECT_DOUBLE_EQ(entry.first.red, 1.0);
    EXPECT_DOUBLE_EQ(entry.first.green, 0.2);
    EXPECT_FALSE(parsed.layer->GetColorMap().IsRandom());

    // From 1.0 on a RANDOM line; random entries carry a second colour.
    parsed = Parse(
        "VERSION 1.5 WHITENOISELAYER \"w\" { COLORMAP SIZE 1 RANDOM TRUE "
        "(0, 0, 0, 0, 1, 255, 255, 255, (0.5, 1)) }");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const ColorMap& map = parsed.layer->GetColorMap();
    EXPECT_TRUE(map.IsRandom());
    ASSERT_EQ(map.EntryCount(), 1);
    EXPECT_TRUE(map.Entries()[0].isRandom);
    EXPECT_EQ(map.Entries()[0].second.red, 1.0);
    EXPECT_EQ(map.Entries()[0].second.opacity, RandomNumber::Random({0.5f, 1.0f}));

    // Without a VERSION line a file reads as version 2.
    parsed = Parse("WHITENOISELAYER \"w\" { COLORMAP SIZE 0 RANDOM TRUE }");
    EXPECT_TRUE(parsed.ok) << parsed.Message();

    parsed = Parse("VERSION 2.01\nTEXTURE \"x\" { }");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.messages,
              std::vector<std::string>{
                  "Cannot load Quillon Version 2.01 file.\n"
                  "Please download the newest version of Quillon from the Veltrana web site."});

    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    ColorMap target;
    EXPECT_FALSE(ParserOn("VERSION 3 COLORMAP SIZE 0 RANDOM FALSE")->ParseColorMapFile(target));
    EXPECT_EQ(reporter.Last().substr(0, 45), "Cannot load Quillon Version 3.00 color map.\nP");
}

TEST(LayerParserFiles, WithoutTargetTheLastBlockRemains) {
    auto parsed = Parse("VERSION 2 WHITENOISELAYER \"first\" { } BASELAYER \"second\" { }");
    ASSERT_TRUE(parsed.ok);
    ASSERT_NE(parsed.layer, nullptr);
    EXPECT_EQ(parsed.layer->Name(), "second");
    EXPECT_EQ(parsed.layer->Keyword(), "BASELAYER");

    parsed = Parse("; nothing but a comment\nVERSION 2\n");
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.layer, nullptr);

    parsed = Parse("WHITENOISELAYER \"first\" { } BASELAYER \"second\" { ENABLED 1 }");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.layer, nullptr) << "a failed parse leaves no half-read result";
}

TEST(LayerParserFiles, WithTargetBlocksGoIntoIt) {
    TextureMap target;
    target.SetScreenSaverType(0);
    ASSERT_EQ(target.Count(), 1) << "a new texture holds its default layer";
    auto parsed = Parse(
        "VERSION 2\n"
        "TEXTURE \"doc\" { WIDTH 16 HEIGHT 8 LAYERS { BASELAYER \"inner\" { } } }\n"
        "WHITENOISELAYER \"appended\" { }\n",
        &target);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    EXPECT_EQ(parsed.layer, nullptr);
    EXPECT_EQ(target.Name(), "doc");
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(target.Child(0)->Name(), "inner");
    EXPECT_EQ(target.Child(1)->Name(), "appended");
    EXPECT_EQ(target.Child(1)->Width(), 16);

    // Parsing again replaces the layers.
    parsed = Parse("VERSION 2\n", &target);
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(target.Count(), 0);
}

std::string NestedTextures(int depth) {
    std::string text;
    for (int k = 0; k < depth; ++k) text += "TEXTURE \"n\" { LAYERS { ";
    for (int k = 0; k < depth; ++k) text += "} } ";
    return text;
}

TEST(LayerParserFiles, NestingIsLimited) {
    auto parsed = Parse(NestedTextures(BlockReader::kMaxNestingDepth));
    ASSERT_TRUE(parsed.ok) << parsed.Message();

    parsed = Parse(NestedTextures(BlockReader::kMaxNestingDepth + 1));
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.messages,
              std::vector<std::string>{
                  "Error t.qln(line 0): Layers nested too deeply (more than 64 levels)"});

    // A hostile file thousands of levels deep fails the same way, no crash.
    std::string hostile;
    for (int k = 0; k < 200000; ++k) hostile += "MASKLAYER \"m\" { LAYERS {\n";
    parsed = Parse(hostile);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.Message(),
              "Error t.qln(line 64): Layers nested too deeply (more than 64 levels)");
}

TEST(LayerParserFiles, ColorMapFileAcceptsOnlyItsWords) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    ColorMap map;
    auto parser = ParserOn(
        "VERSION 2\nCOLORMAP SIZE 2\nRANDOM FALSE\n(0, 0, 0, 0, 1)\n(255, 255, 0, 0, 0.5)\n");
    ASSERT_TRUE(parser->ParseColorMapFile(map));
    EXPECT_TRUE(parser->ColorMapRead());
    ASSERT_EQ(map.EntryCount(), 2);
    EXPECT_EQ(map.Entries()[1].first.red, 1.0);
    EXPECT_EQ(map.Entries()[1].first.opacity, RandomNumber(0.5f));

    EXPECT_FALSE(ParserOn("VERSION 2\nTEXTURE \"x\" { }")->ParseColorMapFile(map));
    EXPECT_EQ(reporter.Last(), "Error t.qln(line 1): Invalid Token(TEXTURE) in parse()");
}

}  // namespace
}  // namespace quillon
