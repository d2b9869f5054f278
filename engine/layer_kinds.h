#pragma once

#include <memory>
#include <span>
#include <string_view>

namespace quillon {

class BaseLayer;

// A block keyword of the format and the layer class it creates.
struct LayerKind {
    std::string_view keyword;
    // False for keywords accepted only at the top of a file (BUMPMAP).
    bool inLayerLists;
    std::unique_ptr<BaseLayer> (*create)();
};

// Every layer kind a file may name (see engine/block_io.h for adding one).
std::span<const LayerKind> LayerKinds();
// The kind of a block keyword (case-sensitive), or null.
const LayerKind* FindLayerKind(std::string_view keyword, bool inLayerList);

}  // namespace quillon
