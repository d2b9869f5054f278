#include "cli/render_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <span>

#include "cli/import_picture.h"
#include "cli/input_stream.h"
#include "cli/progress_bar.h"
#include "engine/error_reporter.h"
#include "engine/float_buffer.h"
#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/synthesis_job.h"
#include "engine/texture_map.h"
#include "format/texture_files.h"
#include "image/display_bitmap.h"
#include "image/image_buffer.h"
#include "image/picture_file.h"

namespace fs = std::filesystem;

namespace quillon {

namespace {

constexpr const char* kProgram = "quillon-render";

// Text from a file or the command line, safe to show on a terminal; line
// feeds are kept when a message means to have them.
std::string Printable(const std::string& text, bool keepLineFeeds = false) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        const bool control = (c < 0x20 && !(keepLineFeeds && c == '\n')) || c == 0x7f;
        out += control ? '?' : static_cast<char>(c);
    }
    return out;
}

std::string Quoted(const std::string& text) {
    return "'" + Printable(text) + "'";
}

// Sends the parser's and the engine's reports to the run's error stream and
// counts them, so that a failure that reported nothing still gets a line.
// The parser's reports name their file themselves; while
// a document renders, the engine's get the program's and the document's
// name in front, as every other message has.
class RunReporter : public ErrorReporter {
  public:
    RunReporter(std::FILE* err, bool clearLine) : m_err(err), m_clearLine(clearLine) {}

    void Report(const std::string& message) override {
        m_count.fetch_add(1, std::memory_order_relaxed);
        std::string prefix;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            prefix = m_prefix;
        }
        // A progress line may stand where the message goes.
        std::fprintf(m_err, "%s%s%s\n", m_clearLine ? "\r\033[K" : "", prefix.c_str(),
                     Printable(message, true).c_str());
        std::fflush(m_err);
    }
    int Count() const { return m_count.load(std::memory_order_relaxed); }

    // Names the document that renders; an empty name ends the rendering.
    void SetRendering(const std::string& document) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_prefix = document.empty() ? std::string()
                                    : std::string(kProgram) + ": " + Quoted(document) + ": ";
    }

  private:
    std::FILE* m_err;
    bool m_clearLine;
    std::atomic<int> m_count{0};
    std::mutex m_mutex;
    std::string m_prefix;
};

void PrintError(const RunIo& io, const std::string& message) {
    std::fprintf(io.err, "%s: %s\n", kProgram, message.c_str());
    std::fflush(io.err);
}

bool Interrupted(const std::atomic<bool>* flag) {
    return flag && flag->load();
}

SaveFormat ToSaveFormat(OutputFormat format) {
    switch (format) {
        case OutputFormat::Bmp:
            return SaveFormat::Bitmap24;
        case OutputFormat::Bmp8:
            return SaveFormat::Bitmap256;
        case OutputFormat::Jpeg:
            return SaveFormat::Jpeg;
        case OutputFormat::Png:
            return SaveFormat::Png;
    }
    return SaveFormat::Png;
}

std::string SizeText(long long width, long long height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

std::string TooLargeText(long long width, long long height) {
    return "a picture of " + SizeText(width, height) + " pixels is too large (at most " +
           std::to_string(kMaxImageDimension) + " pixels a side and " +
           std::to_string(kMaxImagePixels) + " in all)";
}

// Reading a document, with the reports counted.
int ReadReported(const std::string& path, TextureMap& texture, const RunReporter& reporter,
                 const RunIo& io) {
    const int before = reporter.Count();
    std::string error;
    const int status = ReadDocument(path, texture, error);
    if (status == kExitOk) return status;
    if (!error.empty()) {
        PrintError(io, error);
    } else if (reporter.Count() == before) {
        PrintError(io, Quoted(DocumentLabel(path)) + " could not be read as a texture document");
    }
    return status;
}

struct RenderTick {
    ProgressBar* bar;
};

void DrawProgress(void* arg) {
    static_cast<RenderTick*>(arg)->bar->Draw();
}

int RenderOne(const RenderOptions& options, int seed, OutputFormat format,
              const std::string& document, const std::string& output, RunReporter& reporter,
              const RunIo& io) {
    // The editor's order after start-up: seed, a new document, then the file.
    RandomGenerator::Instance().Seed(seed);
    TextureMap texture;
    int status = ReadReported(document, texture, reporter, io);
    if (status != kExitOk) return status;

    // Refuse a picture that cannot be written before spending time on it.
    const long long width = options.HasSize() ? options.width : texture.Width();
    const long long height = options.HasSize() ? options.height : texture.Height();
    const long long outWidth = options.mirrorX ? 2 * width : width;
    const long long outHeight = options.mirrorY ? 2 * height : height;
    if (!IsValidImageSize(outWidth, outHeight)) {
        PrintError(io, Quoted(DocumentLabel(document)) + ": " + TooLargeText(outWidth, outHeight));
        return kExitRenderError;
    }

    std::unique_ptr<ProgressBar> bar;
    RenderTick tick{nullptr};
    RenderRequest request;
    request.width = options.width;
    request.height = options.height;
    request.interrupted = io.interrupted;
    if (io.progress) {
        bar = std::make_unique<ProgressBar>(io.err,
                                            fs::path(DocumentLabel(document)).filename().string());
        tick.bar = bar.get();
        request.sink = bar.get();
        request.tick = DrawProgress;
        request.tickArg = &tick;
    }
    DisplayBitmap picture;
    std::string error;
    reporter.SetRendering(DocumentLabel(document));
    status = RenderTexture(texture, request, picture, error);
    reporter.SetRendering({});
    if (bar) bar->Clear();
    if (status != kExitOk) {
        PrintError(io, status == kExitInterrupted ? error
                                                  : Quoted(DocumentLabel(document)) + ": " + error);
        return status;
    }

    if (options.mirrorX || options.mirrorY) {
        DisplayBitmap mirrored;
        if (!MirrorExpand(picture, options.mirrorX, options.mirrorY, mirrored)) {
            PrintError(
                io, Quoted(DocumentLabel(document)) + ": not enough memory to mirror the picture");
            return kExitRenderError;
        }
        picture = std::move(mirrored);
    }

    // Encoding a large picture takes a while; say what is happening meanwhile.
    if (io.progress) {
        std::string line =
            fs::path(DocumentLabel(document)).filename().string() + "  writing " + output;
        line = Printable(line).substr(
            0, static_cast<std::size_t>(std::max(1, TerminalWidth(io.err) - 1)));
        std::fprintf(io.err, "\r%s\033[K", line.c_str());
        std::fflush(io.err);
    }
    const ImageResult saved = SavePicture(picture, output, ToSaveFormat(format), options.quality);
    if (io.progress) {
        std::fputs("\r\033[K", io.err);
        std::fflush(io.err);
    }
    if (!saved.Ok()) {
        PrintError(io, "cannot write " + Quoted(output) + ": " + Printable(saved.message));
        return kExitWriteError;
    }
    if (!options.quiet) {
        std::fprintf(io.out, "wrote %s (%s, seed %d)\n", Printable(output).c_str(),
                     SizeText(picture.Width(), picture.Height()).c_str(), seed);
        std::fflush(io.out);
    }
    return kExitOk;
}

// The picture must never land on one of the documents.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == kStandardInput || b == kStandardInput) return false;
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

int RunRender(const RenderOptions& options, RunReporter& reporter, const RunIo& io) {
    // The pool's limit is process-wide: put it back for whoever runs next.
    struct ThreadLimit {
        explicit ThreadLimit(int threads) { SetMaxThreads(threads); }
        ~ThreadLimit() { SetMaxThreads(0); }
    } limit(options.threads);
    const int seed = options.seed.value_or(DefaultSeed());
    const OutputFormat format = ResolveFormat(options).value_or(OutputFormat::Png);

    if (!options.outputDir.empty()) {
        std::error_code ec;
        fs::create_directories(options.outputDir, ec);
        if (!fs::is_directory(options.outputDir)) {
            PrintError(io, "cannot create the folder " + Quoted(options.outputDir) +
                               (ec ? ": " + ec.message() : ": a file of that name exists"));
            return kExitWriteError;
        }
    }

    int result = kExitOk;
    for (const std::string& document : options.documents) {
        if (Interrupted(io.interrupted)) {
            PrintError(io, "interrupted");
            return kExitInterrupted;
        }
        const std::string output = options.outputFile.empty()
                                       ? OutputPathInDir(options.outputDir, document, format)
                                       : options.outputFile;
        if (SameFile(output, document)) {
            PrintError(io, "refusing to write the picture of " + Quoted(document) +
                               " over the document itself");
            if (result == kExitOk) result = kExitUsage;
            continue;
        }
        const int status = RenderOne(options, seed, format, document, output, reporter, io);
        if (status == kExitInterrupted) return status;
        // Go on with the other documents; the first failure sets the status.
        if (status != kExitOk && result == kExitOk) result = status;
    }
    return result;
}

int RunCheck(const RenderOptions& options, const RunReporter& reporter, const RunIo& io) {
    int result = kExitOk;
    for (const std::string& document : options.documents) {
        TextureMap texture;
        const int status = ReadReported(document, texture, reporter, io);
        if (status != kExitOk) {
            if (result == kExitOk) result = status;
            continue;
        }
        if (!options.quiet) {
            const int layers = texture.Count();
            std::fprintf(io.out, "%s: ok (texture \"%s\", %s, %d layer%s)\n",
                         Printable(DocumentLabel(document)).c_str(),
                         Printable(texture.Name()).c_str(),
                         SizeText(texture.Width(), texture.Height()).c_str(), layers,
                         layers == 1 ? "" : "s");
            std::fflush(io.out);
        }
    }
    return result;
}

int RunPrint(const RenderOptions& options, const RunReporter& reporter, const RunIo& io) {
    TextureMap texture;
    const int status = ReadReported(options.documents.front(), texture, reporter, io);
    if (status != kExitOk) return status;
    std::string error;
    if (!WriteDocument(io.out, "standard output", texture, &error)) {
        PrintError(io, Printable(error));
        return kExitWriteError;
    }
    return kExitOk;
}

}  // namespace

int DefaultSeed() {
    return static_cast<int>(static_cast<long long>(std::time(nullptr)) % 2147483648LL);
}

int ReadDocument(const std::string& path, TextureMap& texture, std::string& error) {
    error.clear();
    // Every input is opened and read once: a pipe or a process
    // substitution has nothing left for a second reading.
    std::unique_ptr<std::istream> input;
    if (path == kStandardInput) {
        input = std::make_unique<StandardInputStream>();
    } else {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            error = Quoted(path) + " is a folder, not a texture document";
            return kExitReadError;
        }
        errno = 0;
        auto file = std::make_unique<std::ifstream>(path, std::ios::in | std::ios::binary);
        if (!file->is_open()) {
            error = "cannot read " + Quoted(path) + ": " + std::strerror(errno ? errno : ENOENT);
            return kExitReadError;
        }
        input = std::move(file);
    }
    const std::string label = DocumentLabel(path);
    errno = 0;
    const int first = input->rdbuf()->sgetc();
    if (first == EOF && errno != 0) {
        error = "cannot read " + Quoted(label) + ": " + std::strerror(errno);
        return kExitReadError;
    }
    if (first != 'V') {
        error = Quoted(label) + (first == EOF ? " is empty" : " is not a texture document") +
                " (a document starts with its VERSION line)";
        return kExitDocumentError;
    }
    const std::string name = path == kStandardInput ? label : fs::path(path).filename().string();
    switch (LoadDocument(std::move(input), name, texture)) {
        case LoadStatus::Ok:
            return kExitOk;
        case LoadStatus::NoMemory:
            return kExitReadError;
        case LoadStatus::NotDocument:
        case LoadStatus::Empty:
        case LoadStatus::Failed:
            break;
    }
    return kExitDocumentError;
}

std::string DocumentLabel(const std::string& document) {
    return document == kStandardInput ? "stdin" : document;
}

int RenderTexture(TextureMap& texture, const RenderRequest& request, DisplayBitmap& picture,
                  std::string& error) {
    float scale = 1.0f;
    float xScale = 1.0f;
    float yScale = 1.0f;
    if (request.width > 0 && request.height > 0) {
        // Scaled to fill the size, as Generate Desktop's expanded mode does.
        xScale = static_cast<float>(request.width) / static_cast<float>(texture.Width());
        yScale = static_cast<float>(request.height) / static_cast<float>(texture.Height());
        scale = std::min(xScale, yScale);
        texture.SetSize(request.width, request.height);
        if (texture.Width() != request.width || texture.Height() != request.height) {
            error = "cannot render at " + SizeText(request.width, request.height) + " pixels";
            return kExitRenderError;
        }
    }
    const int width = texture.Width();
    const int height = texture.Height();
    if (!IsValidImageSize(width, height)) {
        error = TooLargeText(width, height);
        return kExitRenderError;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // The worker writes the buffers first, on the pool; the bitmap is made
    // only once the alpha buffer is gone.
    FloatBuffer rgb;
    FloatBuffer alpha;
    if (!rgb.Allocate(3 * pixels) || !alpha.Allocate(pixels)) {
        error = "not enough memory to render " + SizeText(width, height) + " pixels";
        return kExitRenderError;
    }

    SynthesisJob job;
    job.sink = request.sink;
    job.rgb = rgb.Data();
    job.alpha = alpha.Data();
    job.unwrittenPicture = true;
    job.scale = scale;
    job.xScale = xScale;
    job.yScale = yScale;
    job.texture = &texture;
    if (!job.Start()) {
        error = "nothing to render";
        return kExitRenderError;
    }
    while (!job.DoneEvent().WaitFor(std::chrono::milliseconds(100))) {
        if (Interrupted(request.interrupted)) {
            job.Cancel();
            break;
        }
        if (request.tick) request.tick(request.tickArg);
    }
    job.Wait();
    if (Interrupted(request.interrupted)) {
        error = "interrupted";
        return kExitInterrupted;
    }
    if (!job.Succeeded()) {
        error = job.RanOutOfMemory()
                    ? "not enough memory to render " + SizeText(width, height) + " pixels"
                    : "the synthesis failed";
        return kExitRenderError;
    }
    if (request.tick) request.tick(request.tickArg);
    alpha.Release();
    DisplayBitmap image;
    if (!image.Create(width, height, 24)) {
        error = "not enough memory to render " + SizeText(width, height) + " pixels";
        return kExitRenderError;
    }
    if (!image.FillFromFloats(std::span<const float>(rgb.Data(), 3 * pixels))) {
        error = "the picture could not be filled";
        return kExitRenderError;
    }
    picture = std::move(image);
    return kExitOk;
}

int RunRenderCommand(const RenderOptions& options, const RunIo& io) {
    switch (options.mode) {
        case RunMode::Help:
            std::fputs(UsageText().c_str(), io.out);
            return kExitOk;
        case RunMode::Version:
            std::fputs(VersionText().c_str(), io.out);
            return kExitOk;
        default:
            break;
    }
    RunReporter reporter(io.err, io.progress);
    ScopedErrorReporter scope(reporter);
    switch (options.mode) {
        case RunMode::Check:
            return RunCheck(options, reporter, io);
        case RunMode::Print:
            return RunPrint(options, reporter, io);
        case RunMode::Import:
            return RunImport(options, io);
        default:
            return RunRender(options, reporter, io);
    }
}

}  // namespace quillon
