#pragma once
// Deflate of HDF5 chunks, in the zlib format HDF5's deflate filter reads
// back, so a chunk compressed here can be written directly.
#include <cstddef>
#include <span>

struct libdeflate_compressor;

namespace dataexport {

/// One compressor at one level, kept for chunk after chunk (making one
/// costs more than storing a chunk). Uses libdeflate, a few times faster
/// than zlib at the same output. One thread at a time.
class ChunkDeflater {
public:
    /// A compressor at `level` (0 stores, 1 fastest … 9 smallest); throws
    /// std::bad_alloc.
    explicit ChunkDeflater(int level);
    ~ChunkDeflater();
    ChunkDeflater(const ChunkDeflater&) = delete;
    ChunkDeflater& operator=(const ChunkDeflater&) = delete;

    /// Room a chunk of `bytes` bytes may need.
    size_t Bound(size_t bytes) const;
    /// The zlib stream of `chunk` written into `out`, which must hold
    /// Bound(chunk.size()) bytes; returns its length.
    size_t Deflate(std::span<const char> chunk, std::span<char> out);

private:
    libdeflate_compressor* c_;
};

} // namespace dataexport
