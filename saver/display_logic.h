#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillon {

class DisplayBitmap;

// How the current picture is placed in the window. The numbers are the
// ones the saver has always used.
enum class DisplayMode {
    Expand = 0,    // rendered at the window's size
    Current = 1,   // at its own size (scaled down to fit), centred on black
    Tile = 2,      // repeated from the bottom-left corner
    XMirror = 3,   // tiled with every other column of tiles mirrored
    YMirror = 4,   // tiled with every other row of tiles mirrored
    XYMirror = 5,  // both
    Image = 6,     // a picture file, scaled down to fit, centred on black
};

bool MirrorsX(DisplayMode mode);
bool MirrorsY(DisplayMode mode);

// ---- Folder scan -------------------------------------------------------

struct ScanResult {
    std::vector<std::string> files;      // documents first, then pictures, folder by folder
    std::vector<std::string> documents;  // the texture documents among them
};

// A scan never runs away: a folder tree holding more than this is cut short.
inline constexpr std::size_t kMaxScannedFiles = 100000;

// Scans folder for texture documents (*.qln) and then pictures (*.jpg,
// *.jpeg, *.bmp, *.png), extensions without regard to case, each kind in
// the order the folder lists them; with depth > 1 the subfolders follow,
// one level per step of depth. Hidden entries (a leading ".") and symbolic
// links to folders are skipped; unreadable folders are passed over. depth
// is limited to 1..4.
ScanResult ScanFolder(const std::string& folder, int depth);

// The configured folder with exactly one final separator.
std::string FolderWithSeparator(const std::string& folder);

enum class FileKind { Document, Bitmap, Other };
// By extension, without regard to case: ".qln", ".bmp", anything else is
// read as a picture file (JPEG or PNG by its content).
FileKind KindOfFile(const std::string& path);

// ---- Display mode ------------------------------------------------------

// The mode of a texture document from its screen-saver flags (bit set of
// kScreenSaverXMirror...): EXPAND, TILE and the mirror mode are the
// candidates in that order, both mirror bits meaning XYMIRROR; one is
// chosen with a uniform draw (none taken when there is no candidate, which
// gives CURRENT).
DisplayMode ChooseDisplayMode(int screenSaverType);

// ---- Rendering plan ----------------------------------------------------

// The size the stack renders at and its scale factors, for a stack of
// size w x h shown in a window of W x H.
struct RenderPlan {
    int width = 0;  // tile size (the window's size in EXPAND)
    int height = 0;
    float scale = 1.0f;
    float xScale = 1.0f;
    float yScale = 1.0f;
};
RenderPlan PlanRendering(DisplayMode mode, int w, int h, int windowWidth, int windowHeight);

// ---- Composition (3 floats per pixel, row 0 the bottom row) --------------

// Index into a run of n tiles' pixels at position i: wraps, or with
// mirroring runs 0, 1, ..., n - 1, n - 2, ..., 1, 0, 1, ... (a run of one
// repeats it).
int TileIndex(long long i, int n, bool mirror);

// The tile centred in the window, everything else black.
void ComposeCentred(const float* tile, int tw, int th, float* window, int windowWidth,
                    int windowHeight);
// The window filled with copies of the tile from its bottom-left corner.
void ComposeTiled(const float* tile, int tw, int th, float* window, int windowWidth,
                  int windowHeight, bool mirrorX, bool mirrorY);

// ---- Wipe ----------------------------------------------------------------

inline constexpr int kWipeSteps = 500;
inline constexpr int kWipePatterns = 5;

// A rectangle of the window image: columns x0 .. x1 - 1, rows y0 .. y1 - 1
// counted from the bottom.
struct WipeRect {
    int x0, y0, x1, y1;
    bool operator==(const WipeRect&) const = default;
};

// What one wipe step blackens when the counter goes from n to c (c at most
// kWipeSteps): pattern 0 a band growing from the bottom, 1 from the top,
// 2 a rectangle growing from the centre, 3 a frame closing in, 4 bands
// closing from top and bottom. Empty rectangles are left out.
std::vector<WipeRect> WipeRects(int pattern, int n, int c, int windowWidth, int windowHeight);

// Sets the rectangles' pixels of a 24-bit image to black.
void BlackenRects(DisplayBitmap& image, const std::vector<WipeRect>& rects);

}  // namespace quillon
