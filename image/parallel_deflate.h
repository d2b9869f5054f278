#pragma once

// One zlib stream compressed in bands on the worker pool. Internal to image/.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

// Makes band `index` (0 .. count - 1) of the stream's bytes; called on
// any thread.
using ProduceBand = std::function<void(std::size_t index, std::vector<std::uint8_t>& bytes)>;
// Takes the compressed pieces in stream order on one thread at a time: the
// first starts with the zlib header, the last ends with the checksum.
// Returns false to stop (a failed write).
using ConsumePiece = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Compresses the bands at level 0 to 9 into one zlib stream. Each band is
// compressed on its own and all but the last end on a byte boundary, as
// after a sync flush; the adler-32 checksums of the bands are combined.
// The stream's bytes depend only on the bands, never on the threads. Returns
// "" when done, else the reason (consume refused, compression failed).
// Memory running short throws std::bad_alloc.
std::string ParallelDeflate(std::size_t count, int level, const ProduceBand& produce,
                            const ConsumePiece& consume);

}  // namespace quillon
