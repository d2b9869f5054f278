// The common layer properties and the BASELAYER block.
#include <ostream>

#include "engine/base_layer.h"
#include "engine/block_io.h"
#include "engine/property_table.h"

namespace quillon {

void BaseLayer::SetName(std::string_view name) {
    m_name = CleanFileText(name);
}

void BaseLayer::SetDescription(std::string_view description) {
    m_description = CleanFileText(description);
}

std::span<const PropertyEntry<BaseLayer>> BaseLayer::CommonProperties() {
    using L = BaseLayer;
    static constexpr auto setMortar = [](L& layer, bool mortar) {
        layer.SetFlags(mortar ? layer.Flags() | kLayerMortar : layer.Flags() & ~kLayerMortar);
    };
    static constexpr bool (*hasDescription)(const L&) = [](const L& layer) {
        return !layer.Description().empty();
    };
    static constexpr bool (*isSubLayer)(const L&) = [](const L& layer) {
        return layer.IsTilingSubLayer();
    };
    static constexpr bool (*isTransparent)(const L&) = [](const L& layer) {
        return layer.GetCombineFunc() == CombineFunc::Transparent;
    };
    static constexpr PropertyEntry<L> kTable[] = {
        TextProperty<L, &L::Description, &L::SetDescription>("DESCRIPTION", hasDescription),
        BooleanProperty<L, &L::IsEnabled, &L::SetEnabled>("ENABLED"),
        RandomProperty<L, &L::Usage, &L::SetUsage>("USAGE"),
        RandomProperty<L, &L::UseProbability, &L::SetUseProbability>("USEPROBABILITY"),
        RandomProperty<L, &L::Probability, &L::SetProbability>("PROBABILITY", isSubLayer),
        RandomProperty<L, &L::Reduction, &L::SetReduction>("REDUCTION", isSubLayer),
        BooleanProperty<L, &L::IsMortar, setMortar>("MORTAR", isSubLayer),
        CombineProperty<L, &L::GetCombineFunc, &L::SetCombineFunc>("COMBINEFUNC"),
        RandomProperty<L, &L::Transparency, &L::SetTransparency>("TRANSPARENCY", isTransparent),
    };
    return kTable;
}

void BaseLayer::WriteCommonProperties(std::ostream& out, const std::string& indent) const {
    WriteProperties(out, indent, CommonProperties(), *this);
}

// A plain layer renders its colour map's colour at value 0, so the map is
// written too; the reader takes it as a common property.
void BaseLayer::Write(std::ostream& out, const std::string& indent) const {
    WriteBlockStart(out, indent, kKeyword, m_name);
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
