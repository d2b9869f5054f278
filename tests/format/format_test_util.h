#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/base_layer.h"
#include "engine/error_reporter.h"
#include "engine/texture_map.h"
#include "format/layer_parser.h"
#include "format/texture_files.h"

namespace quillon::testing {

inline std::filesystem::path DataPath(const std::string& name) {
    return std::filesystem::path(QUILLON_TEST_DATA_DIR) / "format" / name;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// What one parse of a text gave.
struct Parsed {
    bool ok = false;
    std::vector<std::string> messages;
    std::unique_ptr<BaseLayer> layer;

    std::string Message() const { return messages.empty() ? std::string() : messages.front(); }
};

// The block a layer writes, each line after indent.
inline std::string Written(const BaseLayer& layer, const std::string& indent = "") {
    std::ostringstream out;
    layer.Write(out, indent);
    return out.str();
}

inline std::unique_ptr<LayerParser> ParserOn(const std::string& text,
                                             LineEnds lineEnds = LineEnds::Bytes) {
    return std::make_unique<LayerParser>(std::make_unique<std::istringstream>(text), "t.qln",
                                         lineEnds);
}

// Parses text as a file, with the target when one is given.
inline Parsed Parse(const std::string& text, TextureMap* target = nullptr,
                    LineEnds lineEnds = LineEnds::Bytes) {
    CapturingErrorReporter reporter;
    ScopedErrorReporter scope(reporter);
    auto parser = ParserOn(text, lineEnds);
    Parsed result;
    result.ok = parser->ParseFile(target);
    result.layer = parser->TakeResultLayer();
    result.messages = reporter.Messages();
    return result;
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("quillon-format-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path m_path;
};

}  // namespace quillon::testing
