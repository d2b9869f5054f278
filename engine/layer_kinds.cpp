#include "engine/layer_kinds.h"

#include "engine/base_layer.h"
#include "engine/bitmap_layer.h"
#include "engine/bump_map_layer.h"
#include "engine/combine_layer.h"
#include "engine/noise_function_layer.h"
#include "engine/reaction_diffusion_layer.h"
#include "engine/texture_map.h"
#include "engine/tiling_layer.h"
#include "engine/white_noise_layer.h"

namespace quillon {

namespace {

template <class Layer>
std::unique_ptr<BaseLayer> Create() {
    return std::make_unique<Layer>();
}

template <class Layer>
constexpr LayerKind Kind() {
    return {Layer::kKeyword, true, &Create<Layer>};
}

// One line per kind. The class declares its keyword (kKeyword), reads its
// block in ReadBlock and writes it in Write.
constexpr LayerKind kLayerKinds[] = {
    Kind<BaseLayer>(),
    Kind<TextureMap>(),
    Kind<WhiteNoiseLayer>(),
    Kind<NoiseFunctionLayer>(),
    Kind<ReactionDiffusionLayer>(),
    Kind<BitmapLayer>(),
    Kind<MaskLayer>(),
    Kind<CombineLayer>(),
    Kind<BumpMapLayer>(),
    {"BUMPMAP", false, &Create<BumpMapLayer>},  // older files' top-level bump map
    Kind<TilingLayer>(),
};

}  // namespace

std::span<const LayerKind> LayerKinds() {
    return kLayerKinds;
}

const LayerKind* FindLayerKind(std::string_view keyword, bool inLayerList) {
    for (const LayerKind& kind : kLayerKinds) {
        if (kind.keyword == keyword && (kind.inLayerLists || !inLayerList)) return &kind;
    }
    return nullptr;
}

}  // namespace quillon
