// The common layer properties and the BASELAYER block.
#include <ostream>

#include "engine/base_layer.h"
#include "engine/block_io.h"

namespace quillon {

void BaseLayer::SetName(std::string_view name) { m_name = CleanFileText(name); }

void BaseLayer::SetDescription(std::string_view description) {
    m_description = CleanFileText(description);
}

void BaseLayer::WriteCommonProperties(std::ostream& out, const std::string& indent) const {
    if (!m_description.empty()) {
        out << indent << "\tDESCRIPTION\n\"" << CleanFileText(m_description) << "\"\n";
    }
    out << indent << "\tENABLED " << BooleanKeyword(m_enabled) << '\n';
    out << indent << "\tUSAGE ";
    m_usage.Write(out);
    out << '\n' << indent << "\tUSEPROBABILITY ";
    m_useProbability.Write(out);
    out << '\n';
    if (IsTilingSubLayer()) {
        out << indent << "\tPROBABILITY ";
        m_probability.Write(out);
        out << '\n' << indent << "\tREDUCTION ";
        m_reduction.Write(out);
        out << '\n' << indent << "\tMORTAR " << BooleanKeyword(IsMortar()) << '\n';
    }
    out << indent << "\tCOMBINEFUNC " << CombineFuncName(m_combineFunc) << '\n';
    if (m_combineFunc == CombineFunc::Transparent) {
        out << indent << "\tTRANSPARENCY ";
        m_transparency.Write(out);
        out << '\n';
    }
}

// A plain layer renders its colour map's colour at value 0, so the map is
// written too; the reader takes it as a common property.
void BaseLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, "BASELAYER", m_name);
    WriteCommonProperties(out, indent);
    WriteColorMapLine(out, indent, m_colorMap);
    out << indent << "}\n";
}

bool BaseLayer::ReadBlock(BlockReader& reader) {
    static constexpr BlockMessages kMessages = {
        "Syntax Error(expecting '{' in BaseLayer)",
        "Invalid Token(%s) in BaseLayer",
        "Syntax Error(missing  '}') in BaseLayer",
    };
    return reader.ReadLayerBlock(*this, kMessages,
                                 [](std::string_view) { return KeywordResult::Unknown; });
}

}  // namespace quillon
