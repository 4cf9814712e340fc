#pragma once
// Deflate of one HDF5 chunk, in the zlib format HDF5's deflate filter
// reads back, so a chunk compressed here can be written directly.
#include <span>
#include <vector>

namespace dataexport {

/// The zlib stream of `chunk` at `level` (0 stores, 1 fastest … 9 smallest).
/// Uses libdeflate, a few times faster than zlib at the same output.
std::vector<char> DeflateChunk(std::span<const char> chunk, int level);

} // namespace dataexport
