#include <gtest/gtest.h>

#include <cfloat>
#include <sstream>
#include <string>

#include "engine/color.h"
#include "engine/reaction_diffusion_layer.h"
#include "format/texture_files.h"
#include "format_test_util.h"

namespace quillon {
namespace {

using testing::Parse;
using testing::Written;

const ReactionDiffusionLayer* AsRd(const testing::Parsed& parsed) {
    return dynamic_cast<const ReactionDiffusionLayer*>(parsed.layer.get());
}

TEST(ReactionDiffusionBlock, DefaultLayerLines) {
    ReactionDiffusionLayer layer;
    layer.SetName("spots");
    const std::string text = Written(layer, "\t");
    const std::string expected =
        "\tREACTIONDIFFUSIONLAYER \"spots\" {\n"
        "\t\tENABLED TRUE\n"
        "\t\tUSAGE 1\n"
        "\t\tUSEPROBABILITY 1\n"
        "\t\tCOMBINEFUNC OPAQUE\n"
        "\t\tDIFFA1 1\n"
        "\t\tDIFFA2 1\n"
        "\t\tDISSA 0\n"
        "\t\tTHETAA 0\n"
        "\t\tDIFFB1 16\n"
        "\t\tDIFFB2 16\n"
        "\t\tDISSB 0\n"
        "\t\tTHETAB 0\n"
        "\t\tITERATIONS 1000\n"
        "\t\tTIMESTEP 0.01\n"
        "\t\tCMAP SCALE\n"
        "\t\tCOLORMAP SIZE 1\n";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_EQ(text.substr(text.size() - 3), "\t}\n");
}

TEST(ReactionDiffusionBlock, EveryFieldReadsBackEqual) {
    ReactionDiffusionLayer layer;
    layer.SetName("zebra");
    layer.SetDescription("stripes \"along\" x");
    layer.SetCombineFunc(CombineFunc::Transparent);
    layer.SetTransparency(RandomNumber::Random({0.2f, 0.6f}));
    layer.SetChemicalA({2.5f, RandomNumber::Random({0.5f, 1.5f}), 0.125f, 1.5708f});
    layer.SetChemicalB({RandomNumber::Random({10, 20, 15}), 16.0f, RandomNumber::Random({0, 0.1f}),
                        RandomNumber::Random({-0.5f, 0.5f})});
    layer.SetIterations(2500);
    layer.SetTimeStep(0.015f);
    layer.SetColorFunction(std::make_unique<CosineColorFunctor>());

    for (const LineEnds ends : {LineEnds::Bytes, LineEnds::Text}) {
        const std::string text = "VERSION 2\n" + Written(layer);
        const testing::Parsed parsed = Parse(text, nullptr, ends);
        ASSERT_TRUE(parsed.ok) << parsed.Message();
        const ReactionDiffusionLayer* read = AsRd(parsed);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->Name(), "zebra");
        EXPECT_EQ(read->Description(), "stripes 'along' x");
        EXPECT_EQ(read->GetCombineFunc(), CombineFunc::Transparent);
        EXPECT_EQ(read->Transparency(), layer.Transparency());
        EXPECT_EQ(read->ChemicalA(), layer.ChemicalA());
        EXPECT_EQ(read->ChemicalB(), layer.ChemicalB());
        EXPECT_EQ(read->Iterations(), 2500);
        EXPECT_EQ(read->TimeStep(), 0.015f);
        EXPECT_NE(dynamic_cast<const CosineColorFunctor*>(&read->ColorFunction()), nullptr);
        EXPECT_EQ(Written(*read), Written(layer));
    }
    layer.SetColorFunction(std::make_unique<ModulusColorFunctor>());
    const testing::Parsed modulus = Parse("VERSION 2\n" + Written(layer));
    ASSERT_NE(AsRd(modulus), nullptr);
    EXPECT_NE(dynamic_cast<const ModulusColorFunctor*>(&AsRd(modulus)->ColorFunction()), nullptr);
}

TEST(ReactionDiffusionBlock, AnyOrderRepeatsAndMissingKeywords) {
    const testing::Parsed parsed = Parse(
        "VERSION 2\nREACTIONDIFFUSIONLAYER \"x\" {\n"
        "  TIMESTEP 0.5 ITERATIONS 3 THETAB 0.25 ITERATIONS 7 DIFFA2 (1, 2)\n"
        "  CMAP MODULUS CMAP SCALE\n}\n");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const ReactionDiffusionLayer* read = AsRd(parsed);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Iterations(), 7);
    EXPECT_EQ(read->TimeStep(), 0.5f);
    EXPECT_EQ(read->ChemicalA(), (ChemicalParameters{1.0f, RandomNumber::Random({1, 2}), 0.0f, 0.0f}));
    EXPECT_EQ(read->ChemicalB(), (ChemicalParameters{16.0f, 16.0f, 0.0f, 0.25f}));
    EXPECT_EQ(dynamic_cast<const ModulusColorFunctor*>(&read->ColorFunction()), nullptr);

    const testing::Parsed empty = Parse("REACTIONDIFFUSIONLAYER \"y\" { }");
    ASSERT_TRUE(empty.ok) << empty.Message();
    ASSERT_NE(AsRd(empty), nullptr);
    EXPECT_EQ(AsRd(empty)->Iterations(), 1000);
    EXPECT_EQ(AsRd(empty)->TimeStep(), 0.01f);
}

TEST(ReactionDiffusionBlock, Messages) {
    EXPECT_EQ(Parse("REACTIONDIFFUSIONLAYER \"x\" { DIFFC1 2 }").Message(),
              "Error t.qln(line 0): Invalid Token(DIFFC1) in Reaction Diffusion Layer");
    EXPECT_EQ(Parse("REACTIONDIFFUSIONLAYER \"x\" ITERATIONS 2").Message(),
              "Error t.qln(line 0): Syntax Error(expecting '{') in Reaction Diffusion Layer");
    EXPECT_EQ(Parse("REACTIONDIFFUSIONLAYER \"x\" {\n ITERATIONS 2\n").Message(),
              "Error t.qln(line 2): Syntax Error(missing  '}') in Reaction Diffusion Layer");
    EXPECT_EQ(Parse("REACTIONDIFFUSIONLAYER \"x\" { ITERATIONS 2.5 }").Message(),
              "Error t.qln(line 0): Syntax Error(integer expected)");
    EXPECT_EQ(Parse("REACTIONDIFFUSIONLAYER \"x\" { CMAP SINE }").Message(),
              "Error t.qln(line 0): Unexpected Color Mapping Function(SINE)");
    // Inside a texture's list, by its keyword.
    TextureMap texture;
    const testing::Parsed listed =
        Parse("VERSION 2\nTEXTURE \"t\" { LAYERS { REACTIONDIFFUSIONLAYER \"r\" { ITERATIONS 5 } } }", &texture);
    ASSERT_TRUE(listed.ok) << listed.Message();
    ASSERT_EQ(texture.Count(), 1);
    EXPECT_NE(dynamic_cast<const ReactionDiffusionLayer*>(texture.Child(0)), nullptr);
}

TEST(ReactionDiffusionBlock, HostileNumbersAreTamed) {
    const testing::Parsed parsed =
        Parse("REACTIONDIFFUSIONLAYER \"x\" { ITERATIONS 2147483647 TIMESTEP 1e300 }");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    EXPECT_EQ(AsRd(parsed)->Iterations(), ReactionDiffusionLayer::kMaxIterations);
    EXPECT_EQ(AsRd(parsed)->TimeStep(), FLT_MAX);
    const testing::Parsed negative = Parse("REACTIONDIFFUSIONLAYER \"x\" { ITERATIONS -40 TIMESTEP -1e300 }");
    ASSERT_TRUE(negative.ok) << negative.Message();
    EXPECT_EQ(AsRd(negative)->Iterations(), 0);
    EXPECT_EQ(AsRd(negative)->TimeStep(), -FLT_MAX);
}

}  // namespace
}  // namespace quillon
