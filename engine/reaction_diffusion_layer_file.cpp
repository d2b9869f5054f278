// The REACTIONDIFFUSIONLAYER block.
#include <cfloat>
#include <cmath>
#include <ostream>

#include "engine/block_io.h"
#include "engine/property_table.h"
#include "engine/reaction_diffusion_layer.h"

namespace quillon {

namespace {

// A real from the file as a float; out-of-range values saturate instead of
// becoming undefined.
float ToFloat(double value) {
    if (std::isnan(value)) return 0.0f;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

}  // namespace

std::span<const PropertyEntry<ReactionDiffusionLayer>> ReactionDiffusionLayer::RateProperties() {
    using L = ReactionDiffusionLayer;
    static constexpr PropertyEntry<L> kTable[] = {RandomField < L,
                                                  [](auto& l) -> auto& {return l.m_chemicalA.xRate;
}
> ("DIFFA1"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalA.yRate;
}
> ("DIFFA2"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalA.dissipation;
}
> ("DISSA"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalA.angle;
}
> ("THETAA"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalB.xRate;
}
> ("DIFFB1"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalB.yRate;
}
> ("DIFFB2"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalB.dissipation;
}
> ("DISSB"), RandomField < L, [](auto& l) -> auto& {
    return l.m_chemicalB.angle;
}
> ("THETAB"),
};  // namespace quillon
return kTable;
}

void ReactionDiffusionLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, kKeyword, Name());
    WriteCommonProperties(out, indent);
    WriteProperties(out, indent, RateProperties(), *this);
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
        const KeywordResult rate = ReadProperty(reader, RateProperties(), *this, keyword);
        if (rate != KeywordResult::Unknown) return rate;
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
