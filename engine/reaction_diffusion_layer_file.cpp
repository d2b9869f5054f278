// The REACTIONDIFFUSIONLAYER block.
#include <cfloat>
#include <cmath>
#include <ostream>

#include "engine/block_io.h"
#include "engine/reaction_diffusion_layer.h"

namespace quillon {

namespace {

void WriteRandomLine(std::ostream& out, const std::string& indent, const char* keyword,
                     const RandomNumber& value) {
    out << indent << '\t' << keyword << ' ';
    value.Write(out);
    out << '\n';
}

// A real from the file as a float; out-of-range values saturate instead of
// becoming undefined.
float ToFloat(double value) {
    if (std::isnan(value)) return 0.0f;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

}  // namespace

void ReactionDiffusionLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "REACTIONDIFFUSIONLAYER", Name());
    WriteCommonProperties(out, indent);
    WriteRandomLine(out, indent, "DIFFA1", m_chemicalA.xRate);
    WriteRandomLine(out, indent, "DIFFA2", m_chemicalA.yRate);
    WriteRandomLine(out, indent, "DISSA", m_chemicalA.dissipation);
    WriteRandomLine(out, indent, "THETAA", m_chemicalA.angle);
    WriteRandomLine(out, indent, "DIFFB1", m_chemicalB.xRate);
    WriteRandomLine(out, indent, "DIFFB2", m_chemicalB.yRate);
    WriteRandomLine(out, indent, "DISSB", m_chemicalB.dissipation);
    WriteRandomLine(out, indent, "THETAB", m_chemicalB.angle);
    out << indent << "\tITERATIONS " << m_iterations << '\n';
    out << indent << "\tTIMESTEP " << FormatFloat(m_timeStep) << '\n';
    out << indent << "\tCMAP " << ColorMappingName(ColorFunction()) << '\n';
    WriteColorMapLine(out, indent, GetColorMap());
    out << indent << "}\n";
}

bool ReactionDiffusionLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{') in Reaction Diffusion Layer",
        "Invalid Token(%s) in Reaction Diffusion Layer",
        "Syntax Error(missing  '}') in Reaction Diffusion Layer",
    };
    return reader.ReadLayerBlock(*this, kMessages, [&](std::string_view keyword) {
        if (keyword == "DIFFA1") return ReadResult(reader.ReadRandomNumber(m_chemicalA.xRate));
        if (keyword == "DIFFA2") return ReadResult(reader.ReadRandomNumber(m_chemicalA.yRate));
        if (keyword == "DISSA") return ReadResult(reader.ReadRandomNumber(m_chemicalA.dissipation));
        if (keyword == "THETAA") return ReadResult(reader.ReadRandomNumber(m_chemicalA.angle));
        if (keyword == "DIFFB1") return ReadResult(reader.ReadRandomNumber(m_chemicalB.xRate));
        if (keyword == "DIFFB2") return ReadResult(reader.ReadRandomNumber(m_chemicalB.yRate));
        if (keyword == "DISSB") return ReadResult(reader.ReadRandomNumber(m_chemicalB.dissipation));
        if (keyword == "THETAB") return ReadResult(reader.ReadRandomNumber(m_chemicalB.angle));
        if (keyword == "ITERATIONS") {
            int v = 0;
            if (!reader.ReadInteger(v)) return KeywordResult::Failed;
            SetIterations(v);
            return KeywordResult::Read;
        }
        if (keyword == "TIMESTEP") {
            double v = 0.0;
            if (!reader.ReadReal(v)) return KeywordResult::Failed;
            m_timeStep = ToFloat(v);
            return KeywordResult::Read;
        }
        if (keyword == "CMAP") {
            std::unique_ptr<BaseColorFunctor> functor;
            if (!reader.ReadColorMapping(functor)) return KeywordResult::Failed;
            SetColorFunction(std::move(functor));
            return KeywordResult::Read;
        }
        return KeywordResult::Unknown;
    });
}

}  // namespace quillon
