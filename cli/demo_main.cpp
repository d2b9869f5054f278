// A small demonstration: synthesizes a texture built in code and prints a
// summary of the picture.
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/combine_layer.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "engine/white_noise_layer.h"

using namespace quillon;

int main() {
    RandomGenerator::Instance().Seed(1);
    TextureMap texture;
    texture.RemoveAll();
    texture.SetSize(256, 256);

    auto noise = std::make_unique<WhiteNoiseLayer>();
    ColorMap& map = noise->GetColorMap();
    map.RemoveAllEntries();
    map.AddEntry(IndexedColor(0, Color(0.1, 0.2, 0.5)));
    map.AddEntry(IndexedColor(255, Color(1.0, 0.9, 0.6)));
    texture.AddLast(std::move(noise));

    auto mask = std::make_unique<MaskLayer>();
    mask->RemoveAll();
    mask->AddLast(std::make_unique<WhiteNoiseLayer>());
    // The mask above the bottom layer masks the layer drawn next (list index 0).
    texture.AddFirst(std::move(mask));
    texture.AddFirst(std::make_unique<WhiteNoiseLayer>());

    const std::size_t pixels = static_cast<std::size_t>(texture.Size());
    std::vector<float> rgb(3 * pixels, 0.0f), alpha(pixels, 1.0f);
    SynthesisJob job;
    job.texture = &texture;
    job.rgb = rgb.data();
    job.alpha = alpha.data();
    job.Start();
    job.Wait();

    double sum[3] = {0, 0, 0};
    for (std::size_t p = 0; p < pixels; ++p) {
        for (int c = 0; c < 3; ++c) sum[c] += rgb[3 * p + c];
    }
    std::printf("synthesized %dx%d texture '%s' with %d layers: %s\n", texture.Width(),
                texture.Height(), texture.Name().c_str(), texture.Count(),
                job.Succeeded() ? "done" : "failed");
    std::printf("mean colour: %.4f %.4f %.4f\n", sum[0] / pixels, sum[1] / pixels, sum[2] / pixels);
    return job.Succeeded() ? 0 : 1;
}
