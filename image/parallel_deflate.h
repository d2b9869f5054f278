#pragma once

// One zlib stream compressed in bands on the worker pool. Internal to image/.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

// What a band's producer fills in: the band's bytes, preceded by `history`
// bytes of the stream before it (none for the first band), of which the
// last kDeflateHistory count. Compressing against that history keeps the
// ratio of one serial stream while every band is compressed on its own.
struct DeflateBand {
    std::vector<std::uint8_t> bytes;
    std::size_t history = 0;
};

inline constexpr std::size_t kDeflateHistory = 32768;

// Makes band `index` (0 .. count - 1) into `band`; called on any thread.
using ProduceBand = std::function<void(std::size_t index, DeflateBand& band)>;
// Takes the compressed pieces in stream order on one thread at a time: the
// first starts with the zlib header, the last ends with the checksum.
// Returns false to stop (a failed write).
using ConsumePiece = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Runs body(begin, end) over sub-ranges covering [0, count), of at least
// grain items, on the worker pool.
void ParallelRanges(std::size_t count, std::size_t grain,
                    const std::function<void(std::size_t begin, std::size_t end)>& body);

// Compresses the bands at level 0 to 9 into one zlib stream. Each band but
// the last ends with a sync flush, so pieces join on byte boundaries, and
// the adler-32 checksums of the bands are combined: the stream's bytes
// depend only on the bands, never on the threads that made them. Returns
// "" when done, else the reason (consume refused, zlib failed). Memory
// running short throws std::bad_alloc.
std::string ParallelDeflate(std::size_t count, int level, const ProduceBand& produce,
                            const ConsumePiece& consume);

}  // namespace quillon
