#include "export/hdf5/ChunkShuffle.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dataexport {
namespace {

/// The bytes [from, to) of rows [first, first + rows) into their streams,
/// one byte at a time.
void ShufflePlain(const char* in, char* out, size_t n, size_t size, size_t first, size_t rows, size_t from, size_t to)
{
    for (size_t b = from; b < to; ++b) {
        char* dst = out + b * n + first;
        const char* src = in + first * size + b;
        for (size_t i = 0; i < rows; ++i)
            dst[i] = src[i * size];
    }
}

#if defined(__SSE2__)
/// Bytes b..b+15 of rows i..i+15 into their 16 streams: a 16 × 16 byte
/// transpose in four rounds of interleaving.
void Shuffle16(const char* in, char* out, size_t n, size_t size, size_t i, size_t b)
{
    __m128i r[16], a[16], c[16];
    for (int k = 0; k < 16; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + (i + k) * size + b));
    for (int k = 0; k < 8; ++k) { // a[k]: bytes 0..7 of rows 2k, 2k+1 paired; a[8 + k]: bytes 8..15
        a[k] = _mm_unpacklo_epi8(r[2 * k], r[2 * k + 1]);
        a[8 + k] = _mm_unpackhi_epi8(r[2 * k], r[2 * k + 1]);
    }
    for (int h = 0; h < 2; ++h) // c[4g + m]: bytes 4g..4g+3 of rows 4m..4m+3
        for (int m = 0; m < 4; ++m) {
            c[8 * h + m] = _mm_unpacklo_epi16(a[8 * h + 2 * m], a[8 * h + 2 * m + 1]);
            c[8 * h + 4 + m] = _mm_unpackhi_epi16(a[8 * h + 2 * m], a[8 * h + 2 * m + 1]);
        }
    for (int g = 0; g < 4; ++g) {
        const __m128i lo0 = _mm_unpacklo_epi32(c[4 * g], c[4 * g + 1]); // bytes 4g, 4g+1 of rows 0..7
        const __m128i hi0 = _mm_unpackhi_epi32(c[4 * g], c[4 * g + 1]); // bytes 4g+2, 4g+3 of rows 0..7
        const __m128i lo1 = _mm_unpacklo_epi32(c[4 * g + 2], c[4 * g + 3]); // the same of rows 8..15
        const __m128i hi1 = _mm_unpackhi_epi32(c[4 * g + 2], c[4 * g + 3]);
        const __m128i o[4] = {_mm_unpacklo_epi64(lo0, lo1), _mm_unpackhi_epi64(lo0, lo1),
                              _mm_unpacklo_epi64(hi0, hi1), _mm_unpackhi_epi64(hi0, hi1)};
        for (int j = 0; j < 4; ++j)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (b + 4 * g + j) * n + i), o[j]);
    }
}
#endif

} // namespace

void ShuffleChunk(const char* in, char* out, size_t bytes, size_t elementSize)
{
    const size_t n = elementSize > 0 ? bytes / elementSize : 0;
    if (elementSize <= 1 || n <= 1) {
        std::memcpy(out, in, bytes);
        return;
    }
    size_t done = 0; // rows shuffled
#if defined(__SSE2__)
    if (elementSize >= 16) {
        // Tiles of 16 rows × 16 bytes; the last tile of a row overlaps the
        // one before when the row is no multiple of 16, writing the same
        // bytes twice.
        for (; done + 16 <= n; done += 16) {
            for (size_t b = 0; b + 16 <= elementSize; b += 16)
                Shuffle16(in, out, n, elementSize, done, b);
            if (elementSize % 16 != 0)
                Shuffle16(in, out, n, elementSize, done, elementSize - 16);
        }
    }
#endif
    // The rest in blocks of rows that stay in the first-level cache.
    const size_t block = std::max<size_t>(16, 16 * 1024 / elementSize);
    for (size_t first = done; first < n; first += block)
        ShufflePlain(in, out, n, elementSize, first, std::min(block, n - first), 0, elementSize);
    std::memcpy(out + n * elementSize, in + n * elementSize, bytes - n * elementSize);
}

} // namespace dataexport
