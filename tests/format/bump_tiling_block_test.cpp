#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "engine/bump_map_layer.h"
#include "engine/texture_map.h"
#include "engine/tiling_layer.h"
#include "engine/white_noise_layer.h"
#include "format_test_util.h"

namespace quillon {
namespace {

using testing::Parse;
using testing::Written;

template <class Layer>
const Layer* As(const testing::Parsed& parsed) {
    return dynamic_cast<const Layer*>(parsed.layer.get());
}

TEST(BumpMapBlock, DefaultLayerLines) {
    BumpMapLayer bump;
    bump.SetName("relief");
    bump.RemoveAll();
    EXPECT_EQ(Written(bump, "\t"),
              "\tBUMPMAPLAYER \"relief\" {\n"
              "\t\tENABLED TRUE\n"
              "\t\tUSAGE 1\n"
              "\t\tUSEPROBABILITY 1\n"
              "\t\tCOMBINEFUNC OPAQUE\n"
              "\t\tGREYIFY TRUE\n"
              "\t\tTILEABLE FALSE\n"
              "\t\tBUMPSCALE 1\n"
              "\t\tLAYERS {\n"
              "\t\t}\n"
              "\t\tLIGHT {\n"
              "\t\t\tXPOS 1\n"
              "\t\t\tYPOS 1\n"
              "\t\t\tZPOS 1\n"
              "\t\t\tCOLOR 0.866025 0.866025 0.866025\n"
              "\t\t\tFINITE FALSE\n"
              "\t\t\tON TRUE\n"
              "\t\t}\n"
              "\t}\n");
}

TEST(BumpMapBlock, EveryFieldReadsBackEqual) {
    BumpMapLayer bump;
    bump.SetName("embossed");
    bump.SetGreyify(false);
    bump.SetTileable(true);
    bump.SetBumpScale(RandomNumber::Random({2.0f, 4.0f}));
    bump.Light(0)->color[0] = 0.25f;
    auto point = std::make_shared<BumpLightSrc>();
    point->finite = true;
    point->on = false;
    point->xPos = RandomNumber::Random({0.0f, 256.0f});
    point->zPos = 40.0f;
    point->color[0] = 0.5f;  // six digits hold it exactly
    point->color[1] = 0.125f;
    point->color[2] = 1.0f;
    bump.AddLight(point);
    const std::string text = Written(bump);

    const auto parsed = Parse("VERSION 2\n" + text);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const BumpMapLayer* read = As<BumpMapLayer>(parsed);
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->Greyify());
    EXPECT_TRUE(read->Tileable());
    EXPECT_EQ(read->BumpScale(), bump.BumpScale());
    ASSERT_EQ(read->LightCount(), 2);
    EXPECT_TRUE(*read->Light(1) == *point);
    EXPECT_EQ(read->Light(1)->Owner(), read);
    EXPECT_EQ(read->Count(), 1);
    EXPECT_EQ(Written(*read), text);
}

// One scratch light serves every LIGHT block of a bump map.
TEST(BumpMapBlock, LightBlocksStartFromThePreviousOne) {
    const auto parsed = Parse(
        "VERSION 2\n"
        "BUMPMAP \"b\" {\n"
        "\tLIGHT { XPOS (0, 5) YPOS -2 ZPOS 7 COLOR 1 0.5 0 FINITE TRUE }\n"
        "\tLIGHT{ON FALSE}\n"
        "\tLIGHT { XPOS(3) }\n"
        "}\n");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const BumpMapLayer* read = As<BumpMapLayer>(parsed);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Count(), 0);
    ASSERT_EQ(read->LightCount(), 3);
    const BumpLightSrc& first = *read->Light(0);
    const BumpLightSrc& second = *read->Light(1);
    EXPECT_EQ(first.xPos, RandomNumber::Random({0.0f, 5.0f}));
    EXPECT_EQ(first.color[1], 0.5f);
    EXPECT_TRUE(first.on);
    EXPECT_EQ(second.xPos, first.xPos);
    EXPECT_EQ(second.yPos, RandomNumber(-2.0f));
    EXPECT_EQ(second.zPos, RandomNumber(7.0f));
    EXPECT_EQ(second.color[0], 1.0f);
    EXPECT_TRUE(second.finite);
    EXPECT_FALSE(second.on);
    EXPECT_EQ(read->Light(2)->xPos, RandomNumber::Random({3.0f}));
    EXPECT_FALSE(read->Light(2)->on);
    EXPECT_NE(read->Light(0), read->Light(1));
}

TEST(BumpMapBlock, LightCountsFromFiles) {
    std::string text = "VERSION 2\nBUMPMAPLAYER \"b\" {\n";
    for (int k = 0; k < 10; ++k) text += "LIGHT { ZPOS " + std::to_string(k) + " }\n";
    const auto many = Parse(text + "}\n");
    ASSERT_TRUE(many.ok) << many.Message();
    const BumpMapLayer* read = As<BumpMapLayer>(many);
    ASSERT_EQ(read->LightCount(), 8);  // the rest dropped without a word
    EXPECT_TRUE(many.messages.empty());
    EXPECT_EQ(read->Light(7)->zPos, RandomNumber(7.0f));

    const auto none = Parse("VERSION 2\nBUMPMAPLAYER \"b\" { GREYIFY FALSE }\n");
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(As<BumpMapLayer>(none)->LightCount(), 0);
}

TEST(BumpMapBlock, Messages) {
    const auto message = [](const std::string& body) {
        return Parse("VERSION 2\nBUMPMAPLAYER \"b\" {\n" + body).Message();
    };
    EXPECT_EQ(message("LIGHT { BRIGHT 1 } }"),
              "Error t.qln(line 2): Invalid Token(BRIGHT) in light source");
    EXPECT_EQ(message("LIGHT ZPOS 1 }"),
              "Error t.qln(line 2): Syntax Error(expecting '{') in light source");
    EXPECT_EQ(message("LIGHT { ON TRUE"),
              "Error t.qln(line 2): Syntax Error(missing '}') in light source");
    EXPECT_EQ(message("LIGHT { COLOR 1 1 }\n}"),
              "Error t.qln(line 2): Syntax Error(floating point number expected)");
    EXPECT_EQ(message("EDGERADIUS 2 }"),
              "Error t.qln(line 2): Invalid Token(EDGERADIUS) in Bump Map");
    EXPECT_EQ(message("GREYIFY TRUE"),
              "Error t.qln(line 2): Syntax Error(missing  '}') in Bump Map");
    EXPECT_EQ(Parse("VERSION 2\nBUMPMAPLAYER \"b\" GREYIFY }").Message(),
              "Error t.qln(line 1): Syntax Error(expecting '{') in Bump Map");
    const auto nested = Parse("VERSION 2\nTEXTURE \"t\" { LAYERS { BUMPMAP \"b\" { } } }");
    EXPECT_FALSE(nested.ok);
    EXPECT_EQ(nested.Message(), "Error t.qln(line 1): Invalid Token(BUMPMAP) in multilayer.");
}

TEST(TilingBlock, BricksAndRocksReadBackEqual) {
    TilingLayer tiling;
    tiling.SetName("wall");
    tiling.RemoveAll();
    auto brick = std::make_unique<WhiteNoiseLayer>();
    brick->SetProbability(RandomNumber::Random({1.0f, 3.0f}));
    brick->SetReduction(0.5f);
    tiling.AddLast(std::move(brick));
    auto mortar = std::make_unique<WhiteNoiseLayer>();
    mortar->SetFlags(kLayerMortar);
    tiling.AddLast(std::move(mortar));
    tiling.SetBricksWide(RandomNumber::Random({4.0f, 8.0f, 1.0f}));
    tiling.SetBricksHigh(12.0f);
    tiling.SetOffset(0.5f);
    tiling.SetRandomPlacement(false);
    tiling.SetThreshold(0.3f);
    tiling.SetEdgeRadius(RandomNumber::Random({2.0f, 5.0f}));
    tiling.SetRoundedEdges(true);
    tiling.SetEdgeProfile({{0.0f, 1.0f}, {0.25f, 0.8f}, {1.0f, 0.0f}});
    tiling.SetGreyify(false);
    tiling.SetBumpScale(3.0f);
    tiling.Light(0)->finite = true;

    for (bool regular : {true, false}) {
        tiling.SetRegular(regular);
        const std::string text = Written(tiling);
        EXPECT_EQ(text.find(regular ? "NUMBERROCKS" : "BRICKSWIDE"), std::string::npos);
        EXPECT_NE(text.find("\tPOINT 0.25 0.8\n"), std::string::npos);
        EXPECT_NE(text.find("\t\t\tPROBABILITY (1, 3)\n\t\t\tREDUCTION 0.5\n\t\t\tMORTAR FALSE\n"),
                  std::string::npos);
        EXPECT_LT(text.find("LIGHT {"), text.find("LAYERS {"));

        const auto parsed = Parse("VERSION 2\n" + text);
        ASSERT_TRUE(parsed.ok) << parsed.Message();
        const TilingLayer* read = As<TilingLayer>(parsed);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->Regular(), regular);
        EXPECT_EQ(read->EdgeProfile(), tiling.EdgeProfile());
        EXPECT_FALSE(read->Greyify());
        ASSERT_EQ(read->Count(), 2);
        EXPECT_TRUE(read->Child(0)->IsTilingSubLayer());
        EXPECT_TRUE(read->Child(1)->IsMortar());
        EXPECT_EQ(Written(*read), text);
    }
}

TEST(TilingBlock, PointLinesReplaceTheWholeProfile) {
    const auto none = Parse("VERSION 2\nTILINGLAYER \"t\" { REGULAR FALSE }\n");
    ASSERT_TRUE(none.ok) << none.Message();
    EXPECT_TRUE(As<TilingLayer>(none)->EdgeProfile().empty());
    EXPECT_EQ(As<TilingLayer>(none)->LightCount(), 0);
    EXPECT_EQ(As<TilingLayer>(none)->Count(), 0);

    const auto one = Parse("VERSION 2\nTILINGLAYER \"t\" { POINT 0.5 1e-07 }\n");
    ASSERT_TRUE(one.ok) << one.Message();
    ASSERT_EQ(As<TilingLayer>(one)->EdgeProfile().size(), 1u);
    EXPECT_EQ(As<TilingLayer>(one)->EdgeProfile()[0], (TilingLayer::ProfilePoint{0.5f, 1e-7f}));
}

TEST(TilingBlock, Messages) {
    const auto message = [](const std::string& body) {
        return Parse("VERSION 2\nTILINGLAYER \"t\" {\n" + body).Message();
    };
    EXPECT_EQ(message("TILEABLE TRUE }"),
              "Error t.qln(line 2): Invalid Token(TILEABLE) in Tiling Layer");
    EXPECT_EQ(message("POINT 1 }"),
              "Error t.qln(line 2): Syntax Error(floating point number expected)");
    EXPECT_EQ(message("REGULAR TRUE"),
              "Error t.qln(line 2): Syntax Error(missing  '}') in Tiling Layer");
    EXPECT_EQ(Parse("VERSION 2\nTILINGLAYER \"t\" REGULAR }").Message(),
              "Error t.qln(line 1): Syntax Error(expecting '{') in Tiling Layer");
}

// Children of a tiling layer read from a file write their tiling lines,
// so PROBABILITY, REDUCTION and MORTAR survive a save and a reload.
TEST(TilingBlock, DocumentWithNestedTilingRoundTrips) {
    TextureMap texture;
    texture.RemoveAll();
    auto tiling = std::make_unique<TilingLayer>();
    auto bump = std::make_unique<BumpMapLayer>();
    bump->SetProbability(4.0f);
    tiling->AddLast(std::move(bump));
    texture.AddLast(std::move(tiling));
    const std::string text = Written(texture);
    EXPECT_NE(text.find("\n\t\t\t\t\tPROBABILITY 4\n"), std::string::npos);
    TextureMap read;
    const auto parsed = Parse("VERSION 2\n" + text, &read);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    EXPECT_EQ(Written(read), text);
}

}  // namespace
}  // namespace quillon
