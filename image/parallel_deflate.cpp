#include "image/parallel_deflate.h"

#include <libdeflate.h>
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

// Finds where the compressed band's last block starts and ends, in bits,
// by inflating it (into its own source bytes, which it reproduces).
bool FindLastBlock(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& scratch,
                   std::uint64_t& start, std::uint64_t& end) {
    z_stream z{};
    const int init = inflateInit2(&z, -15);
    if (init == Z_MEM_ERROR) throw std::bad_alloc();
    if (init != Z_OK) return false;
    struct End {
        z_stream* z;
        ~End() { inflateEnd(z); }
    } finish{&z};
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = scratch.data();
    z.avail_out = static_cast<uInt>(scratch.size());
    start = 0;
    for (;;) {
        // Z_BLOCK stops before every block header after the first; 64 in
        // data_type says the block just read was the last.
        const int result = inflate(&z, Z_BLOCK);
        if (result == Z_STREAM_END) return z.avail_out == 0;
        if (result != Z_OK) return false;
        if (z.data_type & 128) {
            const std::uint64_t at = std::uint64_t{z.total_in} * 8 - (z.data_type & 63);
            if (z.data_type & 64) {
                end = at;
            } else {
                start = at;
            }
        }
    }
}

Piece Compress(std::size_t index, std::size_t count, int level, const ProduceBand& produce) {
    std::vector<std::uint8_t> band;
    produce(index, band);
    Piece piece;
    piece.length = band.size();
    piece.adler = libdeflate_adler32(1, band.data(), band.size());

    // Raw deflate: the one header and checksum go around the joined pieces.
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    if (!compressor) throw std::bad_alloc();
    struct Free {
        libdeflate_compressor* c;
        ~Free() { libdeflate_free_compressor(c); }
    } release{compressor};
    if (index == 0) PutHeader(piece.bytes, level);
    const std::size_t start = piece.bytes.size();
    // Room for an empty stored block and the checksum after the data.
    piece.bytes.resize(start + libdeflate_deflate_compress_bound(compressor, band.size()) + 16);
    const std::size_t size =
        libdeflate_deflate_compress(compressor, band.data(), band.size(),
                                    piece.bytes.data() + start, piece.bytes.size() - start - 16);
    if (size == 0) {
        piece.error = "Compression failed";
        return piece;
    }
    piece.bytes.resize(start + size);
    if (index + 1 == count) return piece;

    // The compressor ends every band with a final block; all but the last
    // band continue the stream: their last block loses its final mark and
    // an empty stored block after it brings the next band to a byte edge,
    // as a sync flush would.
    std::uint64_t lastStart = 0, lastEnd = 0;
    if (!FindLastBlock(piece.bytes.data() + start, size, band, lastStart, lastEnd) ||
        (lastEnd + 7) / 8 != size) {
        piece.error = "Compression failed";
        return piece;
    }
    std::uint8_t* bits = piece.bytes.data() + start;
    bits[lastStart / 8] &= static_cast<std::uint8_t>(~(1u << (lastStart % 8)));
    const unsigned used = lastEnd % 8;
    if (used != 0) bits[lastEnd / 8] &= static_cast<std::uint8_t>((1u << used) - 1);
    // The stored block's three header bits, all zero, fill the end of the
    // last byte when there is room, else one more byte; then its lengths.
    if (used == 0 || used > 5) piece.bytes.push_back(0);
    for (const std::uint8_t b : {0x00, 0x00, 0xff, 0xff}) piece.bytes.push_back(b);
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
