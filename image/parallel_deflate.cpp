#include "image/parallel_deflate.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

namespace quillon {

namespace {

// The thread sanitizer cannot see the hand-overs inside the uninstrumented
// TBB library; its builds compress the bands on the calling thread.
#if defined(__SANITIZE_THREAD__)
constexpr bool kSerialBands = true;
#else
constexpr bool kSerialBands = false;
#endif

struct Piece {
    std::vector<std::uint8_t> bytes;  // compressed
    uLong adler = 1;                  // of the band's own bytes
    std::size_t length = 0;           // of the band's own bytes
    std::string error;
};

// The two header bytes zlib itself writes for a 32 KiB window at this level.
void PutHeader(std::vector<std::uint8_t>& out, int level) {
    const unsigned flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = (0x78u << 8) | (flevel << 6);
    header += 31 - header % 31;
    out.push_back(static_cast<std::uint8_t>(header >> 8));
    out.push_back(static_cast<std::uint8_t>(header));
}

Piece Compress(std::size_t index, std::size_t count, int level, const ProduceBand& produce) {
    DeflateBand band;
    produce(index, band);
    Piece piece;
    const std::size_t history = std::min(band.history, band.bytes.size());
    const std::size_t dictionary = std::min(history, kDeflateHistory);
    const std::uint8_t* own = band.bytes.data() + history;
    piece.length = band.bytes.size() - history;
    piece.adler = adler32_z(1, own, piece.length);

    z_stream z{};
    // Raw deflate: the one header and checksum go around the joined pieces.
    // Filtered rows compress best with the strategy made for them.
    const int init = deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_FILTERED);
    if (init == Z_MEM_ERROR) throw std::bad_alloc();
    if (init != Z_OK) {
        piece.error = "Compression failed";
        return piece;
    }
    struct End {
        z_stream* z;
        ~End() { deflateEnd(z); }
    } end{&z};
    if (dictionary > 0 &&
        deflateSetDictionary(&z, own - dictionary, static_cast<uInt>(dictionary)) != Z_OK) {
        piece.error = "Compression failed";
        return piece;
    }
    if (index == 0) PutHeader(piece.bytes, level);
    const std::size_t start = piece.bytes.size();
    // A sync flush adds an empty stored block; 4 more for the checksum.
    piece.bytes.resize(start + deflateBound(&z, static_cast<uLong>(piece.length)) + 16);
    const bool last = index + 1 == count;
    z.next_in = const_cast<Bytef*>(own);
    z.avail_in = static_cast<uInt>(piece.length);
    z.next_out = piece.bytes.data() + start;
    z.avail_out = static_cast<uInt>(piece.bytes.size() - start);
    for (;;) {
        const int result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        if (result == Z_STREAM_END || (!last && result == Z_OK && z.avail_out > 0)) break;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            piece.error = "Compression failed";
            return piece;
        }
        // Out of room (never with the bound above, but cheap to handle).
        const std::size_t used = piece.bytes.size() - z.avail_out;
        piece.bytes.resize(piece.bytes.size() * 2);
        z.next_out = piece.bytes.data() + used;
        z.avail_out = static_cast<uInt>(piece.bytes.size() - used);
    }
    piece.bytes.resize(piece.bytes.size() - z.avail_out);
    return piece;
}

// Runs in band order: chains the checksums and hands the piece on.
class Joiner {
  public:
    Joiner(std::size_t count, const ConsumePiece& consume) : m_count(count), m_consume(consume) {}

    bool Take(Piece& piece) {
        if (!piece.error.empty()) {
            m_error = piece.error;
            return false;
        }
        m_adler = m_taken == 0
                      ? piece.adler
                      : adler32_combine(m_adler, piece.adler, static_cast<z_off_t>(piece.length));
        if (++m_taken == m_count) {
            for (int shift = 24; shift >= 0; shift -= 8)
                piece.bytes.push_back(static_cast<std::uint8_t>(m_adler >> shift));
        }
        if (!m_consume(piece.bytes.data(), piece.bytes.size())) {
            m_error = "Write Error";
            return false;
        }
        return true;
    }
    const std::string& Error() const { return m_error; }

  private:
    std::size_t m_count;
    const ConsumePiece& m_consume;
    std::size_t m_taken = 0;
    uLong m_adler = 1;
    std::string m_error;
};

}  // namespace

void ParallelRanges(std::size_t count, std::size_t grain,
                    const std::function<void(std::size_t, std::size_t)>& body) {
    if (count == 0) return;
    grain = std::max<std::size_t>(grain, 1);
    if (count <= grain || kSerialBands) {
        body(0, count);
        return;
    }
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, count, grain),
        [&body](const tbb::blocked_range<std::size_t>& r) { body(r.begin(), r.end()); });
}

std::string ParallelDeflate(std::size_t count, int level, const ProduceBand& produce,
                            const ConsumePiece& consume) {
    if (count == 0) return "Nothing to compress";
    level = std::clamp(level, 0, 9);
    Joiner joiner(count, consume);
    if (count == 1 || kSerialBands) {
        for (std::size_t i = 0; i < count; ++i) {
            Piece piece = Compress(i, count, level, produce);
            if (!joiner.Take(piece)) break;
        }
        return joiner.Error();
    }
    // Two bands in flight per thread keep every thread busy while the
    // writer waits for the next band in order; memory stays a few bands.
    const auto tokens = static_cast<std::size_t>(2 * tbb::this_task_arena::max_concurrency());
    std::atomic<bool> stop{false};
    std::size_t next = 0;
    tbb::parallel_pipeline(
        tokens,
        tbb::make_filter<void, std::size_t>(tbb::filter_mode::serial_in_order,
                                            [&](tbb::flow_control& flow) -> std::size_t {
                                                if (next == count ||
                                                    stop.load(std::memory_order_relaxed)) {
                                                    flow.stop();
                                                    return 0;
                                                }
                                                return next++;
                                            }) &
            tbb::make_filter<std::size_t, Piece>(tbb::filter_mode::parallel,
                                                 [&](std::size_t index) {
                                                     if (stop.load(std::memory_order_relaxed))
                                                         return Piece{};
                                                     return Compress(index, count, level, produce);
                                                 }) &
            tbb::make_filter<Piece, void>(tbb::filter_mode::serial_in_order, [&](Piece piece) {
                if (stop.load(std::memory_order_relaxed)) return;
                if (!joiner.Take(piece)) stop.store(true, std::memory_order_relaxed);
            }));
    return joiner.Error();
}

}  // namespace quillon
