#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// Exit statuses of quillon-render. Scripts rely on them: keep the numbers.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDocumentError =
    1;                                     // a parse error, or a file that is no texture document
inline constexpr int kExitUsage = 2;       // bad options
inline constexpr int kExitReadError = 3;   // a document cannot be read
inline constexpr int kExitWriteError = 4;  // a picture (or standard output) cannot be written
inline constexpr int kExitRenderError =
    5;  // the picture is too large, memory is short or a layer failed
inline constexpr int kExitInterrupted = 130;  // stopped by a signal (the shell's 128 + SIGINT)

enum class OutputFormat { Bmp, Bmp8, Jpeg, Png };

enum class RunMode {
    Render,
    Check,   // read the documents and report their errors
    Print,   // write one document back in the form the editor saves
    Import,  // turn a picture into a texture document (--import)
    Help,
    Version,
};

// Most threads --threads accepts.
inline constexpr int kMaxThreads = 1024;
// Largest --size the command accepts on each side.
inline constexpr int kMaxRenderSide = 16384;
inline constexpr int kDefaultJpegQuality = 90;
// A document (or --import picture) of this name is read from standard input.
inline constexpr const char* kStandardInput = "-";

struct RenderOptions {
    RunMode mode = RunMode::Render;
    std::vector<std::string> documents;
    std::string outputFile;     // -o
    std::string outputDir;      // -d
    std::string importPicture;  // --import
    std::optional<OutputFormat> format;
    int quality = kDefaultJpegQuality;
    std::optional<int> seed;
    int width = 0;  // --size; 0 keeps the document's own size
    int height = 0;
    bool mirrorX = false;
    bool mirrorY = false;
    bool quiet = false;
    int threads = 0;  // --threads; 0 uses every CPU

    bool HasSize() const { return width > 0 && height > 0; }
};

// Parses the arguments after the program name. Options may come in any
// order and take their value as the next argument or after "=" ("-oFILE"
// for the short ones); "--" ends the options. On failure error holds one
// line for the user (without the program name) and the result is false.
// The combination of options is checked too: a run that cannot start is
// refused here, before any document is read.
bool ParseRenderOptions(std::span<const std::string> args, RenderOptions& options,
                        std::string& error);

// Strict number parsing: the whole text, decimal digits with an optional
// leading minus, inside [lo, hi].
std::optional<long long> ParseInteger(const std::string& text, long long lo, long long hi);
// "WxH" (or "WXH"), each side 1..kMaxRenderSide.
bool ParseSize(const std::string& text, int& width, int& height, std::string& error);

// "bmp", "bmp8", "jpeg" (or "jpg"), "png".
std::optional<OutputFormat> ParseFormatName(const std::string& name);
// By the file's extension, without regard to case; nullopt when unknown.
// ".bmp" means the 24-bit bitmap.
std::optional<OutputFormat> FormatFromExtension(const std::string& path);
// ".bmp", ".bmp", ".jpg", ".png".
const char* FormatExtension(OutputFormat format);
const char* FormatName(OutputFormat format);

// The format a run writes: --format, else the extension of -o, else PNG for
// -d. nullopt when -o names an extension that says nothing.
std::optional<OutputFormat> ResolveFormat(const RenderOptions& options);
// dir/<document's base name without extension><format's extension>.
std::string OutputPathInDir(const std::string& dir, const std::string& document,
                            OutputFormat format);

std::string UsageText();
std::string VersionText();

}  // namespace quillon
