#include "saver/picture_loader.h"

#include <algorithm>
#include <utility>

#include "engine/bitmap_layer.h"
#include "engine/bump_map_layer.h"
#include "engine/combine_layer.h"
#include "engine/random.h"
#include "format/texture_files.h"
#include "image/image_buffer.h"
#include "image/picture_file.h"

namespace quillon {

SingleLayerStack::SingleLayerStack(std::unique_ptr<BaseLayer> layer) {
    RemoveAll();
    AddLast(std::move(layer));
}

bool SingleLayerStack::Render(RenderContext& context) {
    BaseLayer* layer = Count() > 0 ? Child(0) : nullptr;
    return layer ? layer->Render(context) : true;
}

namespace {

// New containers come with a default child; an effect wants only its own.
template <class Container>
std::unique_ptr<Container> WithOnlyChild(std::unique_ptr<BaseLayer> child) {
    auto container = std::make_unique<Container>();
    container->RemoveAll();
    container->AddLast(std::move(child));
    return container;
}

std::unique_ptr<BaseLayer> NewBitmapLayer(const std::shared_ptr<const RgbPicture>& picture) {
    auto layer = std::make_unique<BitmapLayer>();
    layer->SetSize(picture->Width(), picture->Height());
    layer->SetPicture(picture);
    return layer;
}

}  // namespace

std::unique_ptr<TextureMap> MakeImageEffect(std::shared_ptr<const RgbPicture> picture,
                                            const EffectWeights& weights,
                                            const std::vector<std::string>& documents,
                                            ImageEffect* chosen) {
    if (!picture || picture->Empty()) return nullptr;
    const int w = picture->Width();
    const int h = picture->Height();
    const int d = static_cast<int>(Uniform(0.0, 100.0));
    const int s = weights.standard;
    const int b = weights.blackAndWhite;
    const int t = weights.threeDify;

    std::unique_ptr<TextureMap> stack;
    ImageEffect effect;
    if (d < s) {
        effect = ImageEffect::Standard;
        stack = std::make_unique<SingleLayerStack>(NewBitmapLayer(picture));
    } else if (d < s + b) {
        effect = ImageEffect::BlackAndWhite;
        stack = std::make_unique<SingleLayerStack>(
            WithOnlyChild<CombineLayer>(NewBitmapLayer(picture)));
    } else if (d < s + b + t) {
        effect = ImageEffect::ThreeDify;
        auto bump = WithOnlyChild<BumpMapLayer>(NewBitmapLayer(picture));
        bump->SetCombineFunc(CombineFunc::Shade);
        stack = std::make_unique<TextureMap>();
        stack->RemoveAll();
        stack->AddLast(std::move(bump));          // top
        stack->AddLast(NewBitmapLayer(picture));  // bottom
    } else {
        effect = ImageEffect::Engrave;
        auto bump = WithOnlyChild<BumpMapLayer>(NewBitmapLayer(picture));
        std::unique_ptr<TextureMap> under;
        if (!documents.empty()) {
            const int count = static_cast<int>(std::min<std::size_t>(documents.size(), 1u << 30));
            const int pick = std::clamp(static_cast<int>(Uniform(0.0, count)), 0, count - 1);
            if (LoadTextureDocument(documents[static_cast<std::size_t>(pick)], under) !=
                LoadStatus::Ok) {
                under.reset();
            }
        }
        if (under) {
            bump->SetCombineFunc(CombineFunc::Shade);
            stack = std::make_unique<TextureMap>();
            stack->RemoveAll();
            stack->AddLast(std::move(bump));   // top
            stack->AddLast(std::move(under));  // bottom
        } else {
            stack = std::make_unique<SingleLayerStack>(std::move(bump));
        }
    }
    stack->SetSize(w, h);
    if (chosen) *chosen = effect;
    return stack;
}

LoadedPicture LoadPicture(const std::string& path, const EffectWeights& weights,
                          const std::vector<std::string>& documents) {
    LoadedPicture loaded;
    if (KindOfFile(path) == FileKind::Document) {
        std::unique_ptr<TextureMap> texture;
        const LoadStatus status = LoadTextureDocument(path, texture);
        if (status != LoadStatus::Ok || !texture) {
            loaded.error = path + ": not a texture document that can be shown";
            return loaded;
        }
        loaded.mode = ChooseDisplayMode(texture->ScreenSaverType());
        loaded.stack = std::move(texture);
        return loaded;
    }
    // Pictures by their content: a PNG or JPEG under any name still shows.
    std::unique_ptr<ImageBuffer> image =
        ReadPictureRgb(path, PictureFormat::Unknown, &loaded.error);
    if (!image || image->BytesPerPixel() != 3) {
        if (loaded.error.empty()) loaded.error = path + ": unreadable picture";
        return loaded;
    }
    auto picture = std::make_shared<RgbPicture>();
    const bool copied = picture->Assign(image->Width(), image->Height(), image->Pixels());
    image.reset();
    if (!copied) {
        loaded.error = path + ": picture too large";
        return loaded;
    }
    loaded.stack = MakeImageEffect(std::move(picture), weights, documents);
    loaded.mode = DisplayMode::Image;
    return loaded;
}

}  // namespace quillon
