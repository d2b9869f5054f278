#pragma once

#include <cstdio>
#include <filesystem>
#include <istream>
#include <memory>
#include <span>
#include <string>

namespace quillon {

class BaseLayer;
class ColorMap;
class IndexedColor;
class TextureMap;

// Texture documents (.qln) are bytes with LF line ends. Layer files (.qlr)
// and colour-map files (.cmp) follow the Windows text-file convention both
// ways: every LF is written as CR LF and CR LF reads back as LF, picture
// bytes included, so files move between systems unchanged.

enum class LoadStatus {
    Ok,
    NotDocument,  // a document whose first byte is not "V"; nothing shown
    Empty,        // the file held no block of the wanted kind; nothing shown
    Failed,       // a parse error; the parser has shown its message
    NoMemory,     // the file asked for more memory than there is; shown as Failed
};

// ---- Text forms (what the savers write, before line-end translation) ----

// "VERSION 2", then the layer's block with an empty indent. Empty when
// memory ran short (a document never is): check before using it.
std::string DocumentText(const BaseLayer& layer);
// "VERSION 2", then the colour-map file form of the entries; empty when
// memory ran short.
std::string ColorMapFileText(std::span<const IndexedColor> entries, bool isRandom);

// ---- Saving ----------------------------------------------------------
// A save streams the text to a temporary file beside the target, which
// replaces the old file only after a complete, checked write; on failure
// (a full disk, memory running short) the old file stays and error, when
// given, receives one sentence naming the file and the system's reason.
// Save through these rather than writing DocumentText yourself: they hold
// no copy of the text and cannot write a cut one.

// False when the file cannot be written (the caller shows its message).
bool SaveDocument(const std::filesystem::path& path, const TextureMap& texture,
                  std::string* error = nullptr);
// Shows "Unable to write layer file" and the reason on failure.
bool SaveLayerFile(const std::filesystem::path& path, const BaseLayer& layer,
                   std::string* error = nullptr);
// Shows "Unable to write color map" and the reason on failure. The entries
// in the order of the colour-map editor's list.
bool SaveColorMapFile(const std::filesystem::path& path, std::span<const IndexedColor> entries,
                      bool isRandom, std::string* error = nullptr);
bool SaveColorMapFile(const std::filesystem::path& path, const ColorMap& map,
                      std::string* error = nullptr);
// The document form written to an open stream (standard output), every
// write checked; name is what the message calls the stream.
bool WriteDocument(std::FILE* stream, const std::string& name, const BaseLayer& layer,
                   std::string* error = nullptr);

// ---- Loading ---------------------------------------------------------

// Reads a document into the texture map (its layers are replaced). What was
// read before a failure stays in the target; callers discard it.
LoadStatus LoadDocument(const std::filesystem::path& path, TextureMap& target);
// The same from a stream read once from its start (a pipe, standard input);
// name is what messages call it.
LoadStatus LoadDocument(std::unique_ptr<std::istream> input, const std::string& name,
                        TextureMap& target);
// Reads a document into a new texture map (the slide show, the screen
// saver). A document whose block is not a TEXTURE is Empty.
LoadStatus LoadTextureDocument(const std::filesystem::path& path,
                               std::unique_ptr<TextureMap>& texture);
// Reads the last layer block of a layer file, or of a document (read as
// bytes when its name ends in ".qln"), into a new layer.
LoadStatus LoadLayerFile(const std::filesystem::path& path, std::unique_ptr<BaseLayer>& layer);
// Replaces the map's entries by the file's; the map is untouched on
// failure or when the file holds no COLORMAP block.
LoadStatus LoadColorMapFile(const std::filesystem::path& path, ColorMap& map);

}  // namespace quillon
