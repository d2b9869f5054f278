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

// One line per kind. The class reads its block in ReadBlock and writes it in
// Write; the keyword here is the one ReadBlock is called after.
constexpr LayerKind kLayerKinds[] = {
    {"BASELAYER", true, &Create<BaseLayer>},
    {"TEXTURE", true, &Create<TextureMap>},
    {"WHITENOISELAYER", true, &Create<WhiteNoiseLayer>},
    {"NOISEFUNCTIONLAYER", true, &Create<NoiseFunctionLayer>},
    {"REACTIONDIFFUSIONLAYER", true, &Create<ReactionDiffusionLayer>},
    {"BITMAPLAYER", true, &Create<BitmapLayer>},
    {"MASKLAYER", true, &Create<MaskLayer>},
    {"NOISECOMBINELAYER", true, &Create<CombineLayer>},
    {"BUMPMAPLAYER", true, &Create<BumpMapLayer>},
    {"BUMPMAP", false, &Create<BumpMapLayer>},
    {"TILINGLAYER", true, &Create<TilingLayer>},
};

}  // namespace

std::span<const LayerKind> LayerKinds() { return kLayerKinds; }

const LayerKind* FindLayerKind(std::string_view keyword, bool inLayerList) {
    for (const LayerKind& kind : kLayerKinds) {
        if (kind.keyword == keyword && (kind.inLayerLists || !inLayerList)) return &kind;
    }
    return nullptr;
}

}  // namespace quillon
