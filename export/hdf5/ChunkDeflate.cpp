#include "export/hdf5/ChunkDeflate.h"

#include <libdeflate.h>
#include <new>

namespace dataexport {

ChunkDeflater::ChunkDeflater(int level) : c_(libdeflate_alloc_compressor(level))
{
    if (!c_)
        throw std::bad_alloc();
}

ChunkDeflater::~ChunkDeflater() { libdeflate_free_compressor(c_); }

size_t ChunkDeflater::Bound(size_t bytes) const { return libdeflate_zlib_compress_bound(c_, bytes); }

size_t ChunkDeflater::Deflate(std::span<const char> chunk, std::span<char> out)
{
    // The bound always suffices, so the length is never 0 here.
    return libdeflate_zlib_compress(c_, chunk.data(), chunk.size(), out.data(), out.size());
}

} // namespace dataexport
