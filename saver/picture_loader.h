#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/texture_map.h"
#include "saver/display_logic.h"

namespace quillon {

class RgbPicture;

enum class ImageEffect { Standard, BlackAndWhite, ThreeDify, Engrave };

// The weights (percentages) of the first three effects; Engrave takes what
// remains up to 100.
struct EffectWeights {
    int standard = 40;
    int blackAndWhite = 20;
    int threeDify = 20;
};

// A stack whose single layer is not a texture map: renders that layer
// straight into the job's picture, as if it were the root itself.
class SingleLayerStack : public TextureMap {
  public:
    explicit SingleLayerStack(std::unique_ptr<BaseLayer> layer);
    bool Render(RenderContext& context) override;
};

// Wraps a picture (row 0 the bottom row) in the layer stack of one image
// effect, chosen with one draw in [0, 100) against the weights. Engrave
// draws one of the documents (when there are any) to lie under the relief.
// The stack has the picture's size.
std::unique_ptr<TextureMap> MakeImageEffect(std::shared_ptr<const RgbPicture> picture,
                                            const EffectWeights& weights,
                                            const std::vector<std::string>& documents,
                                            ImageEffect* chosen = nullptr);

// What one file of the list becomes.
struct LoadedPicture {
    std::unique_ptr<TextureMap> stack;  // null when the file cannot be shown
    DisplayMode mode = DisplayMode::Current;
    std::string error;
};

// Reads a texture document (its display mode from its flags) or a picture
// file (through an image effect, display mode IMAGE). Slow for large
// pictures: the saver calls it off its user-interface thread.
LoadedPicture LoadPicture(const std::string& path, const EffectWeights& weights,
                          const std::vector<std::string>& documents);

}  // namespace quillon
