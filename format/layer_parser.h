#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/block_io.h"
#include "format/simple_lexer.h"

namespace quillon {

class Color;
class ColorMap;
class IndexedColor;
class TextureMap;

// Reads texture documents, layer files and colour-map files. A parser is
// built for one file and used for one parse. It reads the shared syntax
// (values, enumerations, COLORMAP blocks, common properties, LAYERS lists)
// and lets each layer kind read its own block through BlockReader.
class LayerParser : public SimpleLexer, public BlockReader {
  public:
    LayerParser(const std::filesystem::path& path, LineEnds lineEnds);
    LayerParser(std::unique_ptr<std::istream> input, std::string fileName, LineEnds lineEnds);
    ~LayerParser() override;

    // Reads every block of the file. With a target, its layers are removed
    // first, a TEXTURE block is read into it and every other layer block is
    // appended to it. Without one, the layer of the last block becomes the
    // result layer. A file that cannot be opened parses as empty.
    bool ParseFile(TextureMap* target);
    // VERSION and COLORMAP blocks into the target map.
    bool ParseColorMapFile(ColorMap& target);
    // The layer of the last block parsed without a target (null if none);
    // the caller owns it.
    std::unique_ptr<BaseLayer> TakeResultLayer() { return std::move(m_result); }
    // Whether ParseColorMapFile met a COLORMAP block.
    bool ColorMapRead() const { return m_colorMapRead; }

    using SimpleLexer::ReportErrorFormat;

    // BlockReader
    double Version() const override { return m_version; }
    void ReportError(std::string_view message) const override;
    bool ReadInteger(int& value) override;
    bool ReadReal(double& value) override;
    bool ReadBoolean(bool& value) override;
    bool ReadString(std::string& value) override;
    bool ReadKeyword(std::string& word) override;
    bool ReadRandomNumber(RandomNumber& value) override;
    bool ReadRandomTriple(RandomNumber& x, RandomNumber& y, RandomNumber& z) override;
    bool ReadEnumeration(FileEnumeration kind, int& value) override;
    bool ReadColorMap(ColorMap& map) override;
    bool ReadLayerList(MultiBaseLayer& container) override;
    bool ReadLayerBlock(BaseLayer& layer, const BlockMessages& messages,
                        const KeywordReader& ownKeyword) override;
    int PeekChar() override { return Peek(); }
    int GetChar() override { return Get(); }
    std::size_t ReadBytes(unsigned char* out, std::size_t count) override {
        return SimpleLexer::ReadBytes(out, count);
    }
    std::uint64_t RemainingBytesBound() const override {
        return SimpleLexer::RemainingBytesBound();
    }

  private:
    bool ParseFileBlock(const std::string& word, TextureMap* target);
    // The value after VERSION; a version above 2.0 shows the version message.
    bool ReadVersion(const char* what);
    // Skips blanks; the next character must be c, else message is shown.
    bool Expect(char c, const char* message);
    // The token just read into `text`, or its failure reported.
    bool TakeText(TokenStatus status, std::string& text);
    // Same, without a message.
    bool ExpectSilently(char c);
    KeywordResult ReadCommonProperty(BaseLayer& layer, std::string_view keyword);
    bool ReadIndexedColor(bool isRandom, IndexedColor& entry);
    bool ReadColorComponents(Color& colour);

    std::unique_ptr<BaseLayer> m_result;
    double m_version = kFileVersion;
    int m_depth = 0;
    bool m_colorMapRead = false;
};

}  // namespace quillon
