#include "saver/display_logic.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/parallel.h"
#include "engine/random.h"
#include "engine/texture_map.h"
#include "image/display_bitmap.h"

namespace fs = std::filesystem;

namespace quillon {

bool MirrorsX(DisplayMode mode) {
    return mode == DisplayMode::XMirror || mode == DisplayMode::XYMirror;
}

bool MirrorsY(DisplayMode mode) {
    return mode == DisplayMode::YMirror || mode == DisplayMode::XYMirror;
}

namespace {

constexpr std::size_t kComposeRows = 16;  // window rows per task

std::string LowerExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& ch : ext) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return ext;
}

// Groups of one folder, in the order they join the list.
enum Group { kDocuments, kJpegs, kBitmaps, kPngs, kGroups };

int GroupOf(const std::string& name) {
    const std::string ext = LowerExtension(name);
    if (ext == ".qln") return kDocuments;
    if (ext == ".jpg" || ext == ".jpeg") return kJpegs;
    if (ext == ".bmp") return kBitmaps;
    if (ext == ".png") return kPngs;
    return -1;
}

void Scan(const fs::path& folder, int level, int depth, ScanResult& result) {
    if (level > depth || result.files.size() >= kMaxScannedFiles) return;
    std::vector<std::string> groups[kGroups];
    std::vector<std::string> subfolders;
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    std::size_t seen = 0;
    // Entries are sorted by name, so that a folder shows the same order on
    // every file system; a folder that vanishes midway ends its listing.
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (++seen > kMaxScannedFiles) break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code sec;
        const fs::file_status own = it->symlink_status(sec);
        if (sec) continue;
        if (fs::is_directory(own)) {
            if (level < depth) subfolders.push_back(name);
            continue;
        }
        const int group = GroupOf(name);
        if (group < 0) continue;
        // A link to a file is fine; a link to nothing or to a folder is not.
        if (!fs::is_regular_file(it->status(sec)) || sec) continue;
        groups[group].push_back(name);
    }
    for (int g = 0; g < kGroups; ++g) {
        std::sort(groups[g].begin(), groups[g].end());
        for (const std::string& name : groups[g]) {
            if (result.files.size() >= kMaxScannedFiles) return;
            const std::string path = (folder / name).string();
            result.files.push_back(path);
            if (g == kDocuments) result.documents.push_back(path);
        }
    }
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::string& name : subfolders) Scan(folder / name, level + 1, depth, result);
}

}  // namespace

ScanResult ScanFolder(const std::string& folder, int depth) {
    ScanResult result;
    if (folder.empty()) return result;
    Scan(fs::path(FolderWithSeparator(folder)), 1, std::clamp(depth, 1, 4), result);
    return result;
}

std::string FolderWithSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') return folder;
    return folder + '/';
}

FileKind KindOfFile(const std::string& path) {
    const std::string ext = LowerExtension(fs::path(path).filename().string());
    if (ext == ".qln") return FileKind::Document;
    if (ext == ".bmp") return FileKind::Bitmap;
    return FileKind::Other;
}

DisplayMode ChooseDisplayMode(int type) {
    DisplayMode candidates[3];
    int count = 0;
    if (type & kScreenSaverExpand) candidates[count++] = DisplayMode::Expand;
    if (type & kScreenSaverTile) candidates[count++] = DisplayMode::Tile;
    const bool x = (type & kScreenSaverXMirror) != 0;
    const bool y = (type & kScreenSaverYMirror) != 0;
    if (x && y) {
        candidates[count++] = DisplayMode::XYMirror;
    } else if (x) {
        candidates[count++] = DisplayMode::XMirror;
    } else if (y) {
        candidates[count++] = DisplayMode::YMirror;
    }
    if (count == 0) return DisplayMode::Current;
    const int pick = std::clamp(static_cast<int>(Uniform(0.0, count)), 0, count - 1);
    return candidates[pick];
}

RenderPlan PlanRendering(DisplayMode mode, int w, int h, int windowWidth, int windowHeight) {
    RenderPlan plan;
    w = std::max(w, 1);
    h = std::max(h, 1);
    const int ww = std::max(windowWidth, 1);
    const int wh = std::max(windowHeight, 1);
    const float fx = static_cast<float>(ww) / static_cast<float>(w);
    const float fy = static_cast<float>(wh) / static_cast<float>(h);
    switch (mode) {
        case DisplayMode::Expand:
            plan.width = ww;
            plan.height = wh;
            plan.xScale = fx;
            plan.yScale = fy;
            plan.scale = std::min(fx, fy);
            break;
        case DisplayMode::Image: {
            const float s = std::min(ww < w ? fx : 1.0f, wh < h ? fy : 1.0f);
            plan.width = std::clamp(static_cast<int>(static_cast<float>(w) * s), 1, ww);
            plan.height = std::clamp(static_cast<int>(static_cast<float>(h) * s), 1, wh);
            plan.scale = plan.xScale = plan.yScale = s;
            break;
        }
        default:
            plan.width = std::min(w, ww);
            plan.height = std::min(h, wh);
            plan.xScale = w <= ww ? 1.0f : fx;
            plan.yScale = h <= wh ? 1.0f : fy;
            plan.scale = std::min(plan.xScale, plan.yScale);
            break;
    }
    return plan;
}

int TileIndex(long long i, int n, bool mirror) {
    if (n <= 1) return 0;
    if (!mirror) return static_cast<int>(i % n);
    const long long period = 2LL * n - 2;
    const long long k = i % period;
    return static_cast<int>(k < n ? k : period - k);
}

void ComposeCentred(const float* tile, int tw, int th, float* window, int windowWidth,
                    int windowHeight) {
    const std::size_t ww = static_cast<std::size_t>(windowWidth);
    const int rowOffset = (windowHeight - th) / 2;
    const int columnOffset = (windowWidth - tw) / 2;
    // Only the part of the tile that lies inside the window.
    const int x0 = std::clamp(columnOffset, 0, windowWidth);
    const int x1 = std::clamp(columnOffset + tw, x0, windowWidth);
    // Rows on the pool: each window row is written by one task alone.
    ParallelFor(static_cast<std::size_t>(windowHeight), kComposeRows,
                [&](std::size_t begin, std::size_t end) {
                    for (std::size_t y = begin; y < end; ++y) {
                        float* row = window + 3 * y * ww;
                        const int ty = static_cast<int>(y) - rowOffset;
                        if (ty < 0 || ty >= th || x1 <= x0) {
                            std::fill(row, row + 3 * ww, 0.0f);
                            continue;
                        }
                        std::fill(row, row + 3 * static_cast<std::size_t>(x0), 0.0f);
                        const float* src = tile + 3 * (static_cast<std::size_t>(ty) *
                                                           static_cast<std::size_t>(tw) +
                                                       static_cast<std::size_t>(x0 - columnOffset));
                        std::memcpy(row + 3 * static_cast<std::size_t>(x0), src,
                                    3 * sizeof(float) * static_cast<std::size_t>(x1 - x0));
                        std::fill(row + 3 * static_cast<std::size_t>(x1), row + 3 * ww, 0.0f);
                    }
                });
}

void ComposeTiled(const float* tile, int tw, int th, float* window, int windowWidth,
                  int windowHeight, bool mirrorX, bool mirrorY) {
    std::vector<int> columns(static_cast<std::size_t>(windowWidth));
    for (int x = 0; x < windowWidth; ++x)
        columns[static_cast<std::size_t>(x)] = TileIndex(x, tw, mirrorX);
    ParallelFor(static_cast<std::size_t>(windowHeight), kComposeRows,
                [&](std::size_t begin, std::size_t end) {
                    for (std::size_t y = begin; y < end; ++y) {
                        const float* src = tile + 3 *
                                                      static_cast<std::size_t>(TileIndex(
                                                          static_cast<long long>(y), th, mirrorY)) *
                                                      static_cast<std::size_t>(tw);
                        float* dst = window + 3 * y * static_cast<std::size_t>(windowWidth);
                        for (int x = 0; x < windowWidth; ++x) {
                            const float* p = src + 3 * columns[static_cast<std::size_t>(x)];
                            dst[3 * x] = p[0];
                            dst[3 * x + 1] = p[1];
                            dst[3 * x + 2] = p[2];
                        }
                    }
                });
}

std::vector<WipeRect> WipeRects(int pattern, int n, int c, int windowWidth, int windowHeight) {
    const long long W = windowWidth;
    const long long H = windowHeight;
    n = std::clamp(n, 0, kWipeSteps);
    c = std::clamp(c, 0, kWipeSteps);
    std::vector<WipeRect> rects;
    auto add = [&](long long x0, long long y0, long long x1, long long y1) {
        x0 = std::clamp(x0, 0LL, W);
        x1 = std::clamp(x1, 0LL, W);
        y0 = std::clamp(y0, 0LL, H);
        y1 = std::clamp(y1, 0LL, H);
        if (x1 > x0 && y1 > y0) {
            rects.push_back({static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1),
                             static_cast<int>(y1)});
        }
    };
    switch (pattern) {
        case 0:
            add(0, n * H / kWipeSteps, W, c * H / kWipeSteps);
            break;
        case 1:
            add(0, (kWipeSteps - c) * H / kWipeSteps, W, (kWipeSteps - n) * H / kWipeSteps);
            break;
        case 2: {
            const long long f = c * H / kWipeSteps;
            const long long a = c * W / kWipeSteps;
            add((W - a) / 2, (H - f) / 2, (W + a) / 2, (H + f) / 2);
            break;
        }
        case 3: {
            const long long d = H * (kWipeSteps - c) / kWipeSteps;
            const long long b = W * (kWipeSteps - c) / kWipeSteps;
            const long long top = (H - d) / 2, bottom = (H + d) / 2;
            const long long left = (W - b) / 2, right = (W + b) / 2;
            add(0, 0, W, top);           // below the rectangle
            add(0, bottom, W, H);        // above it
            add(0, top, left, bottom);   // left of it
            add(right, top, W, bottom);  // right of it
            break;
        }
        case 4: {
            const long long d = H * (kWipeSteps - c) / kWipeSteps;
            add(0, 0, W, (H - d) / 2);
            add(0, (H + d) / 2, W, H);
            break;
        }
        default:
            break;
    }
    return rects;
}

void BlackenRects(DisplayBitmap& image, const std::vector<WipeRect>& rects) {
    if (image.BitsPerPixel() != 24) return;
    for (const WipeRect& r : rects) {
        const int x0 = std::clamp(r.x0, 0, image.Width());
        const int x1 = std::clamp(r.x1, 0, image.Width());
        if (x1 <= x0) continue;
        for (int y = std::max(r.y0, 0); y < std::min(r.y1, image.Height()); ++y) {
            std::uint8_t* row = image.BitmapRow(y);
            std::memset(row + 3 * x0, 0, 3 * static_cast<std::size_t>(x1 - x0));
        }
    }
}

}  // namespace quillon
