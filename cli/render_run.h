#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "cli/render_options.h"

namespace quillon {

class DisplayBitmap;
class NotificationSink;
class TextureMap;

// Where a run writes and what it watches. Messages for the user go to err
// (the parser's and the engine's reports too, for the length of the run).
struct RunIo {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Draw a progress line on err while rendering (main: err is a terminal
    // and --quiet was not given).
    bool progress = false;
    // Set by a signal handler; the run cancels the synthesis and stops.
    const std::atomic<bool>* interrupted = nullptr;
};

// Runs the command the options describe; returns the exit status.
int RunRenderCommand(const RenderOptions& options, const RunIo& io);

// The seed a run uses when --seed is absent: the current time in seconds.
int DefaultSeed();

// Reads a document into a texture map as the editor opens it (the map's
// layers are replaced). kExitOk, or the status with a message in error;
// a parse error has already been reported by the parser, error stays empty.
int ReadDocument(const std::string& path, TextureMap& texture, std::string& error);
// What messages call a document: "stdin" for "-".
std::string DocumentLabel(const std::string& document);

// Synthesizes the texture once on a worker, at width x height when both
// are positive (the texture is scaled to fill that size, as the editor's
// expanded desktop does), into a new 24-bit picture. Notifications go to
// sink (may be null); tick is called about ten times a second while the
// worker runs. Returns kExitOk or a status with a message in error.
struct RenderRequest {
    int width = 0;
    int height = 0;
    NotificationSink* sink = nullptr;
    const std::atomic<bool>* interrupted = nullptr;
    void (*tick)(void* arg) = nullptr;
    void* tickArg = nullptr;
};
int RenderTexture(TextureMap& texture, const RenderRequest& request, DisplayBitmap& picture,
                  std::string& error);

}  // namespace quillon
