#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/base_layer.h"

namespace quillon {

// A picture as a bitmap layer keeps it: R, G, B bytes per pixel, rows one
// after another without gaps, row 0 the bottom row. Reading picture files is
// the callers' business (image/), so the engine needs no image library.
class RgbPicture {
  public:
    // The limits of the image library's readers.
    static constexpr int kMaxDimension = 65535;
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    static bool IsValidSize(std::int64_t width, std::int64_t height);

    RgbPicture() = default;

    // A black picture. False (picture unchanged) for a size outside the
    // limits or when memory is short.
    bool Allocate(int width, int height);
    // Copies width x height x 3 bytes; false (picture unchanged) as above.
    bool Assign(int width, int height, const std::uint8_t* rgb);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Empty() const { return m_bytes.empty(); }
    std::size_t PixelCount() const { return m_bytes.size() / 3; }
    std::uint8_t* Bytes() { return m_bytes.data(); }
    const std::uint8_t* Bytes() const { return m_bytes.data(); }
    std::size_t ByteCount() const { return m_bytes.size(); }
    // The first byte (R) of pixel (x, y), y counted from the bottom row.
    const std::uint8_t* Pixel(int x, int y) const {
        return m_bytes.data() +
               3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                    static_cast<std::size_t>(x));
    }

    bool operator==(const RgbPicture&) const = default;

  private:
    std::vector<std::uint8_t> m_bytes;
    int m_width = 0;
    int m_height = 0;
};

// An imported picture in a texture: stretched to the layer's size at every
// rendering, delivered as its colours (or their luminance in value mode).
// Its colour map is not used; it has no random parameters.
class BitmapLayer : public BaseLayer {
  public:
    static constexpr int kDefaultResamplingRadius = 3;

    BitmapLayer() = default;
    // Shares the picture (pictures are never changed in place) and starts
    // without working buffer.
    BitmapLayer(const BitmapLayer& other);

    bool Render(RenderContext& context) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "BITMAPLAYER";
    std::string_view Keyword() const override { return kKeyword; }
    void Write(std::ostream& out, const std::string& indent) const override;
    bool ReadBlock(BlockReader& reader) override;
    bool IsSameKind(const BaseLayer& other) const override;
    // Also releases the working buffer.
    void FreeBuffers() override;

    // The picture, or null.
    std::shared_ptr<const RgbPicture> Picture() const { return m_picture; }
    // Replaces the picture (null or an empty picture removes it); waits for
    // a rendering of the layer to end.
    void SetPicture(std::shared_ptr<const RgbPicture> picture);
    void SetPicture(RgbPicture picture);
    // The editor's import: replaces the picture unless the layer is being
    // rendered at this moment, in which case nothing changes (false).
    bool TrySetPicture(std::shared_ptr<const RgbPicture> picture);

    int ResamplingRadius() const { return m_radius; }

    // The picture at the layer's size from the last rendering, 3 floats per
    // pixel in 0..1 (null before one).
    const float* WorkingBuffer() const { return m_working.Data(); }
    int WorkingWidth() const { return m_workingWidth; }
    int WorkingHeight() const { return m_workingHeight; }

  private:
    std::shared_ptr<const RgbPicture> m_picture;
    FloatBuffer m_working;
    int m_workingWidth = 0;
    int m_workingHeight = 0;
    int m_radius = kDefaultResamplingRadius;
};

}  // namespace quillon
