#pragma once

#include <QString>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace quillon {

class BaseLayer;
class QuillonPropertyPage;

// What the page of a tab is loaded with.
enum class PageTarget {
    kLayer,      // the layer itself
    kChemicalA,  // a reaction-diffusion layer's chemical A
    kChemicalB,  // ... and chemical B
    kLights,     // one tab per light, "Light %d"
};

using PageFactory = QuillonPropertyPage* (*)();

struct PageTab {
    const char* title;  // for kLights the format with the light's number
    PageFactory create;
    PageTarget target;
};

// The editor's view of one engine layer kind: its item in the layer
// dialog's kind list, its tree icon and its tabs in order. A tiling
// sub-layer of any kind gets the "Tiling" tab after these.
struct LayerKindUi {
    std::string_view keyword;  // the engine's block keyword (BaseLayer::Keyword)
    int kindIndex;             // item of the "Layer Type:" list
    const char* label;         // its text
    bool container;            // tree icon: container or plain layer
    std::span<const PageTab> tabs;
};

// The kinds in the order of the kind list (kindIndex 0 first).
std::span<const LayerKindUi> LayerKindUis();
// By the layer's keyword; null for kinds without a user interface.
const LayerKindUi* FindLayerKindUi(const BaseLayer& layer);
const LayerKindUi* LayerKindUiAt(int kindIndex);
// A new layer of a kind-list item with its defaults; null for a bad index.
std::unique_ptr<BaseLayer> NewLayerOfKind(int kindIndex);

// The "Tiling" tab every tiling sub-layer shows last.
const PageTab& TilingSublayerTab();

// One tab as the layer dialog builds it.
struct LayerTab {
    QString title;
    PageFactory create;
    PageTarget target;
    int lightIndex = -1;  // for kLights
};
// The tabs of a layer in order (lights expanded, "Tiling" appended for a
// tiling sub-layer).
std::vector<LayerTab> TabsOfLayer(const BaseLayer& layer);

}  // namespace quillon
