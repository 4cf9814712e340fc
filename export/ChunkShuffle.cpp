#include "export/ChunkShuffle.h"

#include <algorithm>
#include <cstring>

namespace dataexport {

void ShuffleChunk(const char* in, char* out, size_t bytes, size_t elementSize)
{
    const size_t n = elementSize > 0 ? bytes / elementSize : 0;
    if (elementSize <= 1 || n <= 1) {
        std::memcpy(out, in, bytes);
        return;
    }
    // Rows in blocks that stay in the first-level cache while each of their
    // bytes goes to its stream.
    constexpr size_t kBlockBytes = 16 * 1024;
    const size_t block = std::max<size_t>(16, kBlockBytes / elementSize);
    for (size_t first = 0; first < n; first += block) {
        const size_t rows = std::min(block, n - first);
        const char* src = in + first * elementSize;
        for (size_t b = 0; b < elementSize; ++b) {
            char* dst = out + b * n + first;
            const char* s = src + b;
            for (size_t i = 0; i < rows; ++i)
                dst[i] = s[i * elementSize];
        }
    }
    std::memcpy(out + n * elementSize, in + n * elementSize, bytes - n * elementSize);
}

} // namespace dataexport
