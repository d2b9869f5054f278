#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "engine/color.h"
#include "engine/combine_layer.h"
#include "engine/noise_function_layer.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "format_test_util.h"

namespace quillon {
namespace {

using testing::Parse;
using testing::Written;

// Parses one NOISEFUNCTIONLAYER block into a new layer.
const NoiseFunctionLayer* AsNoise(const testing::Parsed& parsed) {
    return dynamic_cast<const NoiseFunctionLayer*>(parsed.layer.get());
}

TEST(NoiseFunctionBlock, DefaultLayerLines) {
    NoiseFunctionLayer layer;
    layer.SetName("clouds");
    const std::string text = Written(layer, "\t");
    const std::string expected =
        "\tNOISEFUNCTIONLAYER \"clouds\" {\n"
        "\t\tENABLED TRUE\n"
        "\t\tUSAGE 1\n"
        "\t\tUSEPROBABILITY 1\n"
        "\t\tCOMBINEFUNC OPAQUE\n"
        "\t\tCOORDFUNC NONE\n"
        "\t\tCUT PLANE\n"
        "\t\tNOISEFUNC GRADIENT\n"
        "\t\tTURBTYPE NOISE\n"
        "\t\tTURBMAG 1\n"
        "\t\tCOORDNOISEFUNC GRADIENT\n"
        "\t\tCOORDTURBTYPE NONE\n"
        "\t\tCMAP SCALE\n"
        "\t\tTRANSLATE (0, 0, 0)\n"
        "\t\tSCALE (1, 1, 1)\n"
        "\t\tROTATE (0, 0, 0)\n"
        "\t\tCOLORMAP ";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_EQ(text.substr(text.size() - 3), "\t}\n");
}

TEST(NoiseFunctionBlock, EveryFieldReadsBackEqual) {
    NoiseFunctionLayer layer;
    layer.SetName("marble");
    layer.SetDescription("veins");
    layer.SetCoordFunction(CoordFunction::Cylindrical);
    layer.SetCut(CutType::Toroid);
    layer.SetNoiseFunction(NoiseFunction::Grid);
    layer.SetNoiseParameter(0.25);
    layer.SetMainTurbulence(
        {TurbulenceType::Turbulence, RandomNumber::Random({0.5f, 1.5f}), RandomNumber(3.0f), 7});
    layer.SetCoordNoiseFunction(NoiseFunction::SparseConv);
    layer.SetCoordTurbulence(
        {TurbulenceType::FractalSum, RandomNumber(0.2f), RandomNumber::Random({2.0f, 3.0f}), 2});
    layer.SetColorFunction(std::make_unique<CosineColorFunctor>());
    layer.SetTranslation({RandomNumber::Random({0.0f, 10.0f}), 2.0f, -3.5f});
    layer.SetScale({4.0f, RandomNumber::Random({1.0f, 2.0f, 0.5f}), 6.0f});
    layer.SetRotation({0.0f, 45.0f, RandomNumber::Random({0.0f, 360.0f})});

    const std::string text = Written(layer);
    EXPECT_NE(text.find("\tNOISEPARM 0.25\n"), std::string::npos);
    EXPECT_EQ(text.find("COORDNOISEPARM"), std::string::npos);  // not a GRID
    EXPECT_NE(text.find("\tCOORDTURBVAR (2, 3)\n\tCOORDTURBITER 2\n"), std::string::npos);

    const auto parsed = Parse("VERSION 2\n" + text);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const NoiseFunctionLayer* read = AsNoise(parsed);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Name(), "marble");
    EXPECT_EQ(read->Description(), "veins");
    EXPECT_EQ(read->GetCoordFunction(), CoordFunction::Cylindrical);
    EXPECT_EQ(read->Cut(), CutType::Toroid);
    EXPECT_EQ(read->GetNoiseFunction(), NoiseFunction::Grid);
    EXPECT_EQ(read->Noise().Kind(), NoiseFunction::Grid);
    EXPECT_EQ(read->NoiseParameter(), 0.25);
    EXPECT_EQ(read->MainTurbulence().type, TurbulenceType::Turbulence);
    EXPECT_EQ(read->MainTurbulence().magnitude, layer.MainTurbulence().magnitude);
    EXPECT_EQ(read->MainTurbulence().variance, RandomNumber(3.0f));
    EXPECT_EQ(read->MainTurbulence().iterations, 7);
    EXPECT_EQ(read->CoordNoise().Kind(), NoiseFunction::SparseConv);
    EXPECT_EQ(read->CoordTurbulence().type, TurbulenceType::FractalSum);
    EXPECT_EQ(read->CoordTurbulence().magnitude, RandomNumber(0.2f));
    EXPECT_EQ(read->CoordTurbulence().variance, layer.CoordTurbulence().variance);
    EXPECT_EQ(read->CoordTurbulence().iterations, 2);
    EXPECT_NE(dynamic_cast<const CosineColorFunctor*>(&read->ColorFunction()), nullptr);
    EXPECT_EQ(read->Translation(), layer.Translation());
    EXPECT_EQ(read->Scale(), layer.Scale());
    EXPECT_EQ(read->Rotation(), layer.Rotation());
    EXPECT_EQ(Written(*read), text);
}

TEST(NoiseFunctionBlock, NoiseTurbulenceWritesOnlyItsMagnitude) {
    NoiseFunctionLayer layer;
    layer.SetMainTurbulence({TurbulenceType::Noise, RandomNumber(0.7f), RandomNumber(5.0f), 9});
    layer.SetCoordNoiseFunction(NoiseFunction::Grid);
    layer.SetCoordNoiseParameter(0.5);
    const std::string text = Written(layer);
    EXPECT_NE(text.find("\tTURBMAG 0.7\n"), std::string::npos);
    EXPECT_EQ(text.find("TURBVAR"), std::string::npos);
    EXPECT_EQ(text.find("TURBITER"), std::string::npos);
    EXPECT_EQ(text.find("\tNOISEPARM"), std::string::npos);
    EXPECT_NE(text.find("\tCOORDNOISEPARM 0.5\n"), std::string::npos);
    EXPECT_EQ(text.find("COORDTURBMAG"), std::string::npos);  // coordinate turbulence NONE

    const auto parsed = Parse("VERSION 2\n" + text);
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const NoiseFunctionLayer* read = AsNoise(parsed);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->MainTurbulence().magnitude, RandomNumber(0.7f));
    EXPECT_EQ(read->MainTurbulence().variance, RandomNumber(2.17f));
    EXPECT_EQ(read->MainTurbulence().iterations, 4);
    EXPECT_EQ(read->CoordNoiseParameter(), 0.5);
}

TEST(NoiseFunctionBlock, ReaderMessagesAndLimits) {
    const std::string head = "VERSION 2\nNOISEFUNCTIONLAYER \"n\" ";
    auto parsed = Parse(head + "CUT PLANE }");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.Message(),
              "Error t.qln(line 1): Syntax Error(expecting '{') in Noise Function");

    parsed = Parse(head + "{\n\tTURBULENCE 3\n}");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.Message(),
              "Error t.qln(line 2): Invalid Token(TURBULENCE) in Noise Function Layer");

    parsed = Parse(head + "{\n\tCUT PLANE\n");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.Message(),
              "Error t.qln(line 3): Syntax Error(missing  '}') in Noise Function Layer");

    parsed = Parse(head + "{ CUT SPHERE }");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.Message(), "Error t.qln(line 1): Unexpected Cut Type(SPHERE)");

    // Later keywords win; iterations from a file stop at 64.
    parsed = Parse(head +
                   "{ NOISEFUNC VALUE NOISEFUNC CONVOLUTION TURBITER 100000 COORDTURBITER -2 "
                   "CMAP MODULUS TURBMAG (1, 2) }");
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const NoiseFunctionLayer* read = AsNoise(parsed);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Noise().Kind(), NoiseFunction::Convolution);
    EXPECT_EQ(read->MainTurbulence().iterations, 64);
    EXPECT_EQ(read->CoordTurbulence().iterations, -2);
    EXPECT_EQ(read->MainTurbulence().magnitude, RandomNumber::Random({1.0f, 2.0f}));
    EXPECT_NE(dynamic_cast<const ModulusColorFunctor*>(&read->ColorFunction()), nullptr);
}

TEST(NoiseFunctionBlock, ContainersReadOnlyTheirListedChildren) {
    TextureMap texture;
    texture.SetName("t");
    ASSERT_EQ(texture.Count(), 1);
    auto parsed = Parse(DocumentText(texture));
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    EXPECT_EQ(dynamic_cast<TextureMap&>(*parsed.layer).Count(), 1);

    auto mask = std::make_unique<MaskLayer>();
    mask->RemoveAll();
    auto combine = std::make_unique<CombineLayer>();
    combine->AddLast(std::make_unique<NoiseFunctionLayer>());
    texture.RemoveAll();
    texture.AddLast(std::move(mask));
    texture.AddLast(std::move(combine));
    parsed = Parse(DocumentText(texture));
    ASSERT_TRUE(parsed.ok) << parsed.Message();
    const auto& read = dynamic_cast<TextureMap&>(*parsed.layer);
    ASSERT_EQ(read.Count(), 2);
    EXPECT_EQ(dynamic_cast<MaskLayer&>(*read.Child(0)).Count(), 0);
    EXPECT_EQ(dynamic_cast<CombineLayer&>(*read.Child(1)).Count(), 2);
}

}  // namespace
}  // namespace quillon
