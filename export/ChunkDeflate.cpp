#include "export/ChunkDeflate.h"

#include <libdeflate.h>
#include <memory>
#include <new>

namespace dataexport {

std::vector<char> DeflateChunk(std::span<const char> chunk, int level)
{
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(
        libdeflate_alloc_compressor(level), &libdeflate_free_compressor);
    if (!c)
        throw std::bad_alloc();
    std::vector<char> out(libdeflate_zlib_compress_bound(c.get(), chunk.size()));
    // The bound always suffices, so the size is never 0 here.
    out.resize(libdeflate_zlib_compress(c.get(), chunk.data(), chunk.size(), out.data(), out.size()));
    return out;
}

} // namespace dataexport
