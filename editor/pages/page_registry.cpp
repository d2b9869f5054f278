#include "editor/pages/page_registry.h"

#include "editor/pages/bitmap_prop_page_dlg.h"
#include "editor/pages/color_map_page.h"
#include "editor/pages/edge_prop_page.h"
#include "editor/pages/light_prop_page.h"
#include "editor/pages/mask_prop_page.h"
#include "editor/pages/morphogen_page.h"
#include "editor/pages/noise_setup_page.h"
#include "editor/pages/prop_page_bump_map.h"
#include "editor/pages/react_diffusion_prop_page.h"
#include "editor/pages/tiling_prop_page.h"
#include "editor/pages/tiling_sublayer_prop_page.h"
#include "editor/pages/transform_prop_page.h"
#include "engine/bump_map_layer.h"
#include "engine/layer_kinds.h"

namespace quillon {

namespace {

template <class Page>
QuillonPropertyPage* Make() {
    return new Page();
}

constexpr PageTab kColorMapTab{"Color Map", &Make<ColorPropPage>, PageTarget::kLayer};
constexpr PageTab kLightTab{"Light %1", &Make<LightPropPage>, PageTarget::kLights};

constexpr PageTab kNoiseTabs[] = {
    {"Noise Function", &Make<NoiseSetupPage>, PageTarget::kLayer},
    kColorMapTab,
    {"Transformations", &Make<TransformPropPage>, PageTarget::kLayer},
};
constexpr PageTab kBitmapTabs[] = {
    {"Properties", &Make<BitmapPropPageDlg>, PageTarget::kLayer},
};
constexpr PageTab kBumpTabs[] = {
    {"Properties", &Make<PropPageBumpMap>, PageTarget::kLayer},
    kLightTab,
};
constexpr PageTab kReactionTabs[] = {
    {"Chemical A", &Make<MorphogenPage>, PageTarget::kChemicalA},
    {"Chemical B", &Make<MorphogenPage>, PageTarget::kChemicalB},
    {"Properties", &Make<ReactDiffusionPropPage>, PageTarget::kLayer},
    kColorMapTab,
};
constexpr PageTab kColorMapOnly[] = {kColorMapTab};
constexpr PageTab kMaskTabs[] = {
    {"Properties", &Make<MaskPropPage>, PageTarget::kLayer},
};
constexpr PageTab kTilingTabs[] = {
    {"Properties", &Make<TilingPropPage>, PageTarget::kLayer},
    {"Edge", &Make<EdgePropPage>, PageTarget::kLayer},
    {"Bump", &Make<PropPageBumpMap>, PageTarget::kLayer},
    kLightTab,
};
constexpr PageTab kSublayerTab{"Tiling", &Make<TilingSublayerPropPage>, PageTarget::kLayer};

// One line per kind, in the order of the "Layer Type:" list.
const LayerKindUi kKinds[] = {
    {"NOISEFUNCTIONLAYER", 0, "Basis Function", false, kNoiseTabs},
    {"BITMAPLAYER", 1, "Bitmap", false, kBitmapTabs},
    {"BUMPMAPLAYER", 2, "Bump Map", true, kBumpTabs},
    {"REACTIONDIFFUSIONLAYER", 3, "Reaction-Diffusion", false, kReactionTabs},
    {"WHITENOISELAYER", 4, "White Noise", false, kColorMapOnly},
    {"TEXTURE", 5, "Texture Map", true, {}},
    {"NOISECOMBINELAYER", 6, "Noise Combine", true, kColorMapOnly},
    {"MASKLAYER", 7, "Mask", true, kMaskTabs},
    {"TILINGLAYER", 8, "Tiling", true, kTilingTabs},
};

}  // namespace

std::span<const LayerKindUi> LayerKindUis() {
    return kKinds;
}

const LayerKindUi* FindLayerKindUi(const BaseLayer& layer) {
    for (const LayerKindUi& kind : kKinds) {
        if (kind.keyword == layer.Keyword()) return &kind;
    }
    return nullptr;
}

const LayerKindUi* LayerKindUiAt(int kindIndex) {
    for (const LayerKindUi& kind : kKinds) {
        if (kind.kindIndex == kindIndex) return &kind;
    }
    return nullptr;
}

std::unique_ptr<BaseLayer> NewLayerOfKind(int kindIndex) {
    const LayerKindUi* kind = LayerKindUiAt(kindIndex);
    const LayerKind* engineKind = kind ? FindLayerKind(kind->keyword, true) : nullptr;
    return engineKind ? engineKind->create() : nullptr;
}

const PageTab& TilingSublayerTab() {
    return kSublayerTab;
}

std::vector<LayerTab> TabsOfLayer(const BaseLayer& layer) {
    std::vector<LayerTab> tabs;
    if (const LayerKindUi* kind = FindLayerKindUi(layer)) {
        for (const PageTab& tab : kind->tabs) {
            if (tab.target != PageTarget::kLights) {
                tabs.push_back({QObject::tr(tab.title), tab.create, tab.target});
                continue;
            }
            const auto* bump = dynamic_cast<const BumpMapLayer*>(&layer);
            const int lights = bump ? bump->LightCount() : 0;
            for (int k = 0; k < lights; ++k) {
                tabs.push_back({QObject::tr(tab.title).arg(k + 1), tab.create, tab.target, k});
            }
        }
    }
    if (layer.IsTilingSubLayer()) {
        tabs.push_back({QObject::tr(kSublayerTab.title), kSublayerTab.create, kSublayerTab.target});
    }
    return tabs;
}

}  // namespace quillon
