#include "cli/render_options.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <map>

namespace quillon {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Quoted for messages; control characters would garble the terminal.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (unsigned char c : text) {
        out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    }
    return out + "'";
}

enum class OptionId {
    Output,
    OutputDir,
    Format,
    Quality,
    Seed,
    Size,
    Mirror,
    Import,
    Threads,
    Quiet,
    Check,
    Print,
    Help,
    Version,
};

struct OptionEntry {
    const char* longName;  // without the dashes
    char shortName;        // 0 for none
    bool takesValue;
    OptionId id;
};

constexpr OptionEntry kOptions[] = {
    {"output", 'o', true, OptionId::Output}, {"output-dir", 'd', true, OptionId::OutputDir},
    {"format", 0, true, OptionId::Format},   {"quality", 0, true, OptionId::Quality},
    {"seed", 0, true, OptionId::Seed},       {"size", 0, true, OptionId::Size},
    {"mirror", 0, true, OptionId::Mirror},   {"import", 0, true, OptionId::Import},
    {"threads", 0, true, OptionId::Threads}, {"quiet", 'q', false, OptionId::Quiet},
    {"check", 0, false, OptionId::Check},    {"print", 0, false, OptionId::Print},
    {"help", 'h', false, OptionId::Help},    {"version", 0, false, OptionId::Version},
};

const OptionEntry* FindLong(const std::string& name) {
    for (const OptionEntry& option : kOptions) {
        if (name == option.longName) return &option;
    }
    return nullptr;
}

const OptionEntry* FindShort(char c) {
    for (const OptionEntry& option : kOptions) {
        if (option.shortName != 0 && option.shortName == c) return &option;
    }
    return nullptr;
}

// How the user wrote the option, for messages.
std::string Spelling(const OptionEntry& option, bool asShort) {
    if (asShort) return std::string("-") + option.shortName;
    return std::string("--") + option.longName;
}

bool ApplyValue(const OptionEntry& option, const std::string& name, const std::string& value,
                RenderOptions& options, std::string& error) {
    switch (option.id) {
        case OptionId::Output:
        case OptionId::OutputDir:
        case OptionId::Import:
            if (value.empty()) {
                error = name + " needs a non-empty path";
                return false;
            }
            (option.id == OptionId::Output      ? options.outputFile
             : option.id == OptionId::OutputDir ? options.outputDir
                                                : options.importPicture) = value;
            return true;
        case OptionId::Format: {
            auto format = ParseFormatName(value);
            if (!format) {
                error =
                    name + ": unknown format " + Quoted(value) + " (use bmp, bmp8, jpeg or png)";
                return false;
            }
            options.format = format;
            return true;
        }
        case OptionId::Quality: {
            auto quality = ParseInteger(value, 1, 100);
            if (!quality) {
                error = name + ": " + Quoted(value) + " is not a quality from 1 to 100";
                return false;
            }
            options.quality = static_cast<int>(*quality);
            return true;
        }
        case OptionId::Seed: {
            auto seed = ParseInteger(value, 0, INT_MAX);
            if (!seed) {
                error = name + ": " + Quoted(value) + " is not a seed from 0 to " +
                        std::to_string(INT_MAX);
                return false;
            }
            options.seed = static_cast<int>(*seed);
            return true;
        }
        case OptionId::Threads: {
            auto threads = ParseInteger(value, 1, kMaxThreads);
            if (!threads) {
                error = name + ": " + Quoted(value) + " is not a thread count from 1 to " +
                        std::to_string(kMaxThreads);
                return false;
            }
            options.threads = static_cast<int>(*threads);
            return true;
        }
        case OptionId::Size: {
            std::string why;
            if (!ParseSize(value, options.width, options.height, why)) {
                error = name + ": " + why;
                return false;
            }
            return true;
        }
        case OptionId::Mirror:
            if (value == "x") {
                options.mirrorX = true;
                options.mirrorY = false;
            } else if (value == "y") {
                options.mirrorX = false;
                options.mirrorY = true;
            } else if (value == "xy") {
                options.mirrorX = options.mirrorY = true;
            } else {
                error = name + ": " + Quoted(value) + " is not x, y or xy";
                return false;
            }
            return true;
        default:
            return true;
    }
}

void ApplyFlag(const OptionEntry& option, RenderOptions& options, bool& check, bool& print) {
    switch (option.id) {
        case OptionId::Quiet:
            options.quiet = true;
            break;
        case OptionId::Check:
            check = true;
            break;
        case OptionId::Print:
            print = true;
            break;
        case OptionId::Help:
            options.mode = RunMode::Help;
            break;
        case OptionId::Version:
            options.mode = RunMode::Version;
            break;
        default:
            break;
    }
}

// --import makes a document, not a picture: only -o and -q go with it.
bool CheckImport(RenderOptions& options, bool check, bool print, std::string& error) {
    if (check || print) {
        error = std::string(check ? "--check" : "--print") + " cannot be used with --import";
    } else if (!options.documents.empty()) {
        error = "--import takes no document: the picture becomes the document given with -o";
    } else if (!options.outputDir.empty() || options.outputFile.empty()) {
        error = "--import needs -o DOCUMENT.qln for the new texture document";
    } else if (options.format || options.seed || options.HasSize() || options.mirrorX ||
               options.mirrorY) {
        error =
            "--import writes a texture document; --format, --seed, --size and --mirror "
            "cannot be used with it";
    } else if (FormatFromExtension(options.outputFile)) {
        error = "--import writes a texture document, not a picture: " + Quoted(options.outputFile) +
                " should end in .qln";
    } else {
        options.mode = RunMode::Import;
        return true;
    }
    return false;
}

// What the options together ask for, once every argument has been read.
bool CheckCombination(RenderOptions& options, bool check, bool print, std::string& error) {
    if (!options.importPicture.empty()) return CheckImport(options, check, print, error);
    if (check && print) {
        error = "--check and --print cannot be used together";
        return false;
    }
    options.mode = check ? RunMode::Check : print ? RunMode::Print : RunMode::Render;
    const std::size_t count = options.documents.size();
    if (count == 0) {
        error = "no document given";
        return false;
    }
    if (std::count(options.documents.begin(), options.documents.end(), kStandardInput) > 1) {
        error = "standard input ('-') can be read only once";
        return false;
    }
    if (options.mode != RunMode::Render) {
        const char* which = check ? "--check" : "--print";
        if (!options.outputFile.empty() || !options.outputDir.empty()) {
            error = std::string(which) + " writes no picture; -o and -d cannot be used with it";
            return false;
        }
        if (print && count > 1) {
            error = "--print reads one document, " + std::to_string(count) + " were given";
            return false;
        }
        return true;
    }
    if (!options.outputFile.empty() && !options.outputDir.empty()) {
        error = "-o and -d cannot be used together";
        return false;
    }
    if (options.outputFile.empty() && options.outputDir.empty()) {
        error = "no output given: use -o FILE for one document or -d DIR for several";
        return false;
    }
    if (!options.outputFile.empty() && count > 1) {
        error = "-o writes one picture but " + std::to_string(count) +
                " documents were given; use -d DIR";
        return false;
    }
    auto format = ResolveFormat(options);
    if (!format) {
        error = "cannot tell the picture format from " + Quoted(options.outputFile) +
                ": name it .bmp, .jpg or .png, or use --format";
        return false;
    }
    if (!options.outputDir.empty() && std::find(options.documents.begin(), options.documents.end(),
                                                kStandardInput) != options.documents.end()) {
        error =
            "-d names each picture after its document: the document read from standard "
            "input ('-') needs -o FILE";
        return false;
    }
    if (!options.outputDir.empty()) {
        // Two documents with one base name would overwrite each other's picture.
        std::map<std::string, const std::string*> seen;
        for (const std::string& document : options.documents) {
            std::string path = OutputPathInDir(options.outputDir, document, *format);
            auto [it, inserted] = seen.emplace(path, &document);
            if (!inserted) {
                error = Quoted(*it->second) + " and " + Quoted(document) +
                        " would both be written to " + Quoted(path);
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::optional<long long> ParseInteger(const std::string& text, long long lo, long long hi) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        // Stop before overflow; anything this long is out of every range we use.
        if (value > (LLONG_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < lo || value > hi) return std::nullopt;
    return value;
}

bool ParseSize(const std::string& text, int& width, int& height, std::string& error) {
    const std::size_t x = text.find_first_of("xX");
    const std::string range = "from 1 to " + std::to_string(kMaxRenderSide);
    if (x == std::string::npos) {
        error = Quoted(text) + " is not a size WxH (for example 1024x768)";
        return false;
    }
    auto w = ParseInteger(text.substr(0, x), 1, kMaxRenderSide);
    auto h = ParseInteger(text.substr(x + 1), 1, kMaxRenderSide);
    if (!w || !h) {
        // A well-formed size that is merely too large deserves its own words.
        auto anyW = ParseInteger(text.substr(0, x), 1, LLONG_MAX / 16);
        auto anyH = ParseInteger(text.substr(x + 1), 1, LLONG_MAX / 16);
        if (anyW && anyH) {
            error = Quoted(text) + " is too large: each side may be " + range + " pixels";
        } else {
            error = Quoted(text) + " is not a size WxH with each side " + range;
        }
        return false;
    }
    width = static_cast<int>(*w);
    height = static_cast<int>(*h);
    return true;
}

std::optional<OutputFormat> ParseFormatName(const std::string& name) {
    if (name == "bmp") return OutputFormat::Bmp;
    if (name == "bmp8") return OutputFormat::Bmp8;
    if (name == "jpeg" || name == "jpg") return OutputFormat::Jpeg;
    if (name == "png") return OutputFormat::Png;
    return std::nullopt;
}

std::optional<OutputFormat> FormatFromExtension(const std::string& path) {
    const std::string ext = Lower(std::filesystem::path(path).extension().string());
    if (ext == ".bmp" || ext == ".dib") return OutputFormat::Bmp;
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return OutputFormat::Jpeg;
    if (ext == ".png") return OutputFormat::Png;
    return std::nullopt;
}

const char* FormatExtension(OutputFormat format) {
    switch (format) {
        case OutputFormat::Bmp:
        case OutputFormat::Bmp8:
            return ".bmp";
        case OutputFormat::Jpeg:
            return ".jpg";
        case OutputFormat::Png:
            return ".png";
    }
    return "";
}

const char* FormatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Bmp:
            return "bmp";
        case OutputFormat::Bmp8:
            return "bmp8";
        case OutputFormat::Jpeg:
            return "jpeg";
        case OutputFormat::Png:
            return "png";
    }
    return "";
}

std::optional<OutputFormat> ResolveFormat(const RenderOptions& options) {
    if (options.format) return options.format;
    if (!options.outputFile.empty()) return FormatFromExtension(options.outputFile);
    return OutputFormat::Png;
}

std::string OutputPathInDir(const std::string& dir, const std::string& document,
                            OutputFormat format) {
    std::filesystem::path name = std::filesystem::path(document).filename();
    name.replace_extension(FormatExtension(format));
    return (std::filesystem::path(dir) / name).string();
}

bool ParseRenderOptions(std::span<const std::string> args, RenderOptions& options,
                        std::string& error) {
    options = RenderOptions();
    bool check = false;
    bool print = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            // A lone "-" is standard input, even after "--" ("./-" is a file).
            options.documents.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionEntry* option = nullptr;
        std::string name;
        std::optional<std::string> value;
        const bool isShort = arg[1] != '-';
        if (!isShort) {
            const std::size_t eq = arg.find('=');
            name = arg.substr(0, eq);
            option = FindLong(name.substr(2));
            if (eq != std::string::npos) value = arg.substr(eq + 1);
        } else {
            name = arg.substr(0, 2);
            option = FindShort(arg[1]);
            if (option && arg.size() > 2) {
                if (!option->takesValue)
                    option = nullptr;  // no bundling of flags
                else
                    value = arg.substr(2);
            }
        }
        if (!option) {
            error = "unknown option " + Quoted(isShort ? arg : name);
            return false;
        }
        const std::string spelled = Spelling(*option, isShort);
        if (!option->takesValue) {
            if (value) {
                error = spelled + " takes no value";
                return false;
            }
            ApplyFlag(*option, options, check, print);
            // Help and version answer at once, whatever else was asked.
            if (options.mode == RunMode::Help || options.mode == RunMode::Version) return true;
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = spelled + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!ApplyValue(*option, spelled, *value, options, error)) return false;
    }
    return CheckCombination(options, check, print, error);
}

std::string UsageText() {
    return "Usage: quillon-render [options] DOCUMENT...\n"
           "       quillon-render --import PICTURE -o DOCUMENT.qln\n"
           "Renders Quillon texture documents (.qln) to picture files.\n"
           "\n"
           "Output:\n"
           "  -o, --output FILE      write the picture of the one document to FILE\n"
           "  -d, --output-dir DIR   write one picture per document into DIR (created\n"
           "                         when missing), named after the document\n"
           "      --format FORMAT    bmp (24-bit), bmp8 (256 colours), jpeg or png;\n"
           "                         default: from FILE's extension, png with -d\n"
           "      --quality N        JPEG quality from 1 to 100 (default 90)\n"
           "\n"
           "Rendering:\n"
           "      --seed N           seed of the random generator, 0 to 2147483647\n"
           "                         (default: the current time in seconds); each\n"
           "                         document starts afresh from it\n"
           "      --size WxH         render at W x H pixels (each side 1 to 16384),\n"
           "                         the texture scaled to fill it\n"
           "      --mirror x|y|xy    append the picture's mirror image to the right (x),\n"
           "                         below (y) or both, doubling the picture\n"
           "      --threads N        render on at most N threads (default: every CPU);\n"
           "                         the picture is the same at any count\n"
           "\n"
           "Other modes:\n"
           "      --check            read the documents and report their errors only\n"
           "      --print            write the one document to standard output in the\n"
           "                         form the editor saves\n"
           "      --import PICTURE   turn a BMP, JPEG or PNG picture into a texture\n"
           "                         document (-o) of the picture's size holding one\n"
           "                         bitmap layer with it\n"
           "  -q, --quiet            print nothing but errors\n"
           "  -h, --help             show this help\n"
           "      --version          show the version\n"
           "\n"
           "Options may come in any order; \"--\" ends them. A DOCUMENT or PICTURE\n"
           "of \"-\" is read from standard input.\n"
           "Exit status: 0 success, 1 document error, 2 bad options, 3 a document\n"
           "cannot be read, 4 a picture cannot be written, 5 rendering failed.\n";
}

std::string VersionText() {
#ifdef QUILLON_VERSION
    return std::string("quillon-render ") + QUILLON_VERSION + "\n";
#else
    return "quillon-render (unknown version)\n";
#endif
}

}  // namespace quillon
