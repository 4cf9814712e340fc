#include "datafiles/PulseSearch.h"

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pulse {
namespace {

// ---------------------------------------------------------------------------
// Threshold. 90 - x > limit  <=>  x <= 89 - limit. Computed in 64 bits, the
// bound is clamped to the int16 range: above 32767 every code passes, below
// -32768 none does.

struct Threshold {
    bool none = false; // no code can pass
    int16_t code = 0;  // a sample passes when x <= code
};

Threshold MakeThreshold(int32_t limit)
{
    const int64_t bound = int64_t{kAmplitudeBase} - 1 - int64_t{limit};
    if (bound < INT16_MIN)
        return {true, 0};
    return {false, static_cast<int16_t>(std::min<int64_t>(bound, INT16_MAX))};
}

// ---------------------------------------------------------------------------
// Local histogram of one search: int32 bins, merged into the int16 spectrum
// once at the end. Slot 256 collects amplitudes that have no bin. Two copies
// are filled alternately so that a run of pulses of one amplitude does not
// chain every increment through the same memory word.

constexpr int kNoBin = kSpectrumBins;

struct LocalHistogram {
    int32_t a[kSpectrumBins + 1] = {};
    int32_t b[kSpectrumBins + 1] = {};
};

/// Slot of a sample code: amplitude A = 90 - x goes to A - 1 when 1 <= A <= 256.
inline unsigned SlotOf(int16_t code)
{
    const unsigned slot = static_cast<unsigned>(kAmplitudeBase - 1 - int32_t{code});
    return slot < unsigned{kSpectrumBins} ? slot : unsigned{kNoBin};
}

/// Adds the counts into the spectrum with saturation at 32767; returns the count.
int32_t MergeHistogram(const LocalHistogram& h, std::span<int16_t, kSpectrumBins> spectrum)
{
    int64_t count = int64_t{h.a[kNoBin]} + h.b[kNoBin];
    for (int bin = 0; bin < kSpectrumBins; ++bin) {
        const int64_t add = int64_t{h.a[bin]} + h.b[bin];
        count += add;
        if (add != 0)
            spectrum[bin] = static_cast<int16_t>(std::min<int64_t>(spectrum[bin] + add, kBinMax));
    }
    return static_cast<int32_t>(count);
}

/// Enters the pulses flagged in mask into h: bit k stands for a sample whose
/// slot is slots[k]. Only the set bits are visited.
[[gnu::always_inline]] inline void AddMask(uint64_t mask, const uint16_t* slots, LocalHistogram& h)
{
    while (mask != 0) {
        ++h.a[slots[__builtin_ctzll(mask)]];
        mask &= mask - 1;
        if (mask == 0)
            break;
        ++h.b[slots[__builtin_ctzll(mask)]];
        mask &= mask - 1;
    }
}

/// Scalar search of 0-based indices [from, to), 1 <= from, to <= n - 1.
inline void ScalarRange(const int16_t* x, size_t from, size_t to, int16_t thr, LocalHistogram& h)
{
    for (size_t i = from; i < to; ++i) {
        const int16_t c = x[i];
        if (c <= std::min({x[i - 1], x[i + 1], thr}))
            ++h.a[SlotOf(c)];
    }
}

// A kernel searches indices 1 ... n-2 (0-based) of x, n >= 3, for samples
// with x[i] <= thr, x[i] <= x[i-1], x[i] <= x[i+1], into h.
using Kernel = void (*)(const int16_t* x, size_t n, int16_t thr, LocalHistogram& h);

#if defined(__x86_64__)

// The vector kernels walk the samples in blocks that start at 64-byte
// boundaries. For each block they first take the lane-wise minimum of its
// samples: when no sample is at or below the threshold (nearly every block of
// a quiet channel) the block is done after one load of each sample. Otherwise
// each sample is compared with min(prev, next, thr), the results are packed
// into one bit per sample, the slots of the block are computed in vector
// registers, and only the flagged samples are visited (tzcnt over the mask).
//
// Slot in 16-bit lanes: (89 - x) mod 2^16 is below 256 exactly when the true
// slot 89 - x (-32678 ... 32857) is, so min_epu16 with 256 gives SlotOf(x).

/// First index (>= 1) from which x + i is aligned to 64 bytes.
inline size_t AlignedStart(const int16_t* x)
{
    const auto address = reinterpret_cast<uintptr_t>(x + 1);
    if (address % 2 != 0)
        return 1;
    return 1 + ((64 - address % 64) % 64) / 2;
}

// SSE2 (baseline on x86-64): 32 samples a block, 8 per vector.
inline __m128i Load8(const int16_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

/// All-ones lanes where the sample c = p[0 ... 7] is not a candidate.
inline __m128i Above8(__m128i c, const int16_t* p, __m128i thr)
{
    return _mm_cmpgt_epi16(c, _mm_min_epi16(_mm_min_epi16(Load8(p - 1), Load8(p + 1)), thr));
}

/// Stores the slots of c to slots[0 ... 7].
inline void Slots8(__m128i c, uint16_t* slots)
{
    const __m128i amplitude = _mm_sub_epi16(_mm_set1_epi16(kAmplitudeBase - 1), c);
    // SSE2 has no min_epu16: a - sat(a - b) = min(a, b) for unsigned a, b.
    const __m128i slot =
        _mm_sub_epi16(amplitude, _mm_subs_epu16(amplitude, _mm_set1_epi16(kNoBin)));
    _mm_store_si128(reinterpret_cast<__m128i*>(slots), slot);
}

void KernelSse2(const int16_t* x, size_t n, int16_t thr, LocalHistogram& h)
{
    const __m128i t = _mm_set1_epi16(thr);
    size_t i = std::min(AlignedStart(x), n - 1);
    ScalarRange(x, 1, i, thr, h);
    for (; i + 32 < n; i += 32) {
        const int16_t* p = x + i;
        const __m128i c0 = Load8(p), c1 = Load8(p + 8), c2 = Load8(p + 16), c3 = Load8(p + 24);
        const __m128i low = _mm_min_epi16(_mm_min_epi16(c0, c1), _mm_min_epi16(c2, c3));
        if (_mm_movemask_epi8(_mm_cmpgt_epi16(low, t)) == 0xFFFF)
            continue;
        const uint32_t lo = static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_packs_epi16(Above8(c0, p, t), Above8(c1, p + 8, t))));
        const uint32_t hi = static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_packs_epi16(Above8(c2, p + 16, t), Above8(c3, p + 24, t))));
        const uint32_t mask = ~(lo | (hi << 16));
        if (mask == 0)
            continue;
        alignas(16) uint16_t slots[32];
        Slots8(c0, slots);
        Slots8(c1, slots + 8);
        Slots8(c2, slots + 16);
        Slots8(c3, slots + 24);
        AddMask(mask, slots, h);
    }
    ScalarRange(x, i, n - 1, thr, h);
}

// AVX2: 64 samples a block, 16 per vector.
[[gnu::target("avx2,bmi")]] inline __m256i Load16(const int16_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

[[gnu::target("avx2,bmi")]] inline __m256i Above16(__m256i c, const int16_t* p, __m256i thr)
{
    return _mm256_cmpgt_epi16(c,
                              _mm256_min_epi16(_mm256_min_epi16(Load16(p - 1), Load16(p + 1)), thr));
}

/// One bit per sample of p[0 ... 31] (held in c0, c1) that is not a candidate.
[[gnu::target("avx2,bmi")]] inline uint32_t AboveMask32(__m256i c0, __m256i c1, const int16_t* p,
                                                        __m256i thr)
{
    // packs interleaves the 128-bit lanes; the permute puts samples back in order.
    const __m256i packed = _mm256_packs_epi16(Above16(c0, p, thr), Above16(c1, p + 16, thr));
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_permute4x64_epi64(packed, 0xD8)));
}

[[gnu::target("avx2,bmi")]] inline void Slots16(__m256i c, uint16_t* slots)
{
    const __m256i amplitude = _mm256_sub_epi16(_mm256_set1_epi16(kAmplitudeBase - 1), c);
    _mm256_store_si256(reinterpret_cast<__m256i*>(slots),
                       _mm256_min_epu16(amplitude, _mm256_set1_epi16(kNoBin)));
}

[[gnu::target("avx2,bmi")]] void KernelAvx2(const int16_t* x, size_t n, int16_t thr,
                                            LocalHistogram& h)
{
    const __m256i t = _mm256_set1_epi16(thr);
    size_t i = std::min(AlignedStart(x), n - 1);
    ScalarRange(x, 1, i, thr, h);
    for (; i + 64 < n; i += 64) {
        const int16_t* p = x + i;
        const __m256i c0 = Load16(p), c1 = Load16(p + 16), c2 = Load16(p + 32),
                      c3 = Load16(p + 48);
        const __m256i low = _mm256_min_epi16(_mm256_min_epi16(c0, c1), _mm256_min_epi16(c2, c3));
        if (_mm256_movemask_epi8(_mm256_cmpgt_epi16(low, t)) == -1)
            continue;
        const uint64_t above =
            AboveMask32(c0, c1, p, t) | (uint64_t{AboveMask32(c2, c3, p + 32, t)} << 32);
        if (above == ~uint64_t{0})
            continue;
        alignas(32) uint16_t slots[64];
        Slots16(c0, slots);
        Slots16(c1, slots + 16);
        Slots16(c2, slots + 32);
        Slots16(c3, slots + 48);
        AddMask(~above, slots, h);
    }
    ScalarRange(x, i, n - 1, thr, h);
}

// AVX-512BW: 64 samples a block, 32 per vector, straight into mask registers.
[[gnu::target("avx512f,avx512bw,avx2,bmi")]] inline __mmask32 PulseMask32(__m512i c,
                                                                        const int16_t* p,
                                                                        __m512i thr)
{
    const __m512i prev = _mm512_loadu_si512(p - 1);
    const __m512i next = _mm512_loadu_si512(p + 1);
    return _mm512_cmple_epi16_mask(c, _mm512_min_epi16(_mm512_min_epi16(prev, next), thr));
}

[[gnu::target("avx512f,avx512bw,avx2,bmi")]] inline void Slots32(__m512i c, uint16_t* slots)
{
    const __m512i amplitude = _mm512_sub_epi16(_mm512_set1_epi16(kAmplitudeBase - 1), c);
    _mm512_store_si512(slots, _mm512_min_epu16(amplitude, _mm512_set1_epi16(kNoBin)));
}

[[gnu::target("avx512f,avx512bw,avx2,bmi")]] void KernelAvx512(const int16_t* x, size_t n,
                                                               int16_t thr, LocalHistogram& h)
{
    const __m512i t = _mm512_set1_epi16(thr);
    size_t i = std::min(AlignedStart(x), n - 1);
    ScalarRange(x, 1, i, thr, h);
    for (; i + 64 < n; i += 64) {
        const int16_t* p = x + i;
        const __m512i c0 = _mm512_loadu_si512(p), c1 = _mm512_loadu_si512(p + 32);
        if (_mm512_cmple_epi16_mask(_mm512_min_epi16(c0, c1), t) == 0)
            continue;
        // Joined in mask registers: kunpackd reads only the low 32 bits of each
        // half, so no step relies on a 32-bit mask being zero-extended.
        const uint64_t mask = _cvtmask64_u64(
            _mm512_kunpackd(PulseMask32(c1, p + 32, t), PulseMask32(c0, p, t)));
        if (mask == 0)
            continue;
        alignas(64) uint16_t slots[64];
        Slots32(c0, slots);
        Slots32(c1, slots + 32);
        AddMask(mask, slots, h);
    }
    ScalarRange(x, i, n - 1, thr, h);
}

#endif // __x86_64__

void KernelScalar(const int16_t* x, size_t n, int16_t thr, LocalHistogram& h)
{
    ScalarRange(x, 1, n - 1, thr, h);
}

Kernel KernelOf(PulseKernel kernel)
{
#if defined(__x86_64__)
    switch (kernel) {
    case PulseKernel::Sse2: return KernelSse2;
    case PulseKernel::Avx2: return KernelAvx2;
    case PulseKernel::Avx512: return KernelAvx512;
    case PulseKernel::Plain: break;
    }
#else
    (void)kernel;
#endif
    return KernelScalar;
}

} // namespace

int32_t SearchPulsesPlain(std::span<const int16_t> x, int32_t limit, int32_t minGap,
                          std::span<int16_t, kSpectrumBins> spectrum)
{
    const int64_t n = static_cast<int64_t>(x.size());
    int64_t last = 1;
    int32_t count = 0;
    // 1-based sample i is x[i - 1].
    for (int64_t i = 2; i <= n - 1; ++i) {
        const int64_t xi = x[i - 1];
        if (kAmplitudeBase - xi > limit && xi <= x[i] && xi <= x[i - 2] && i - last > minGap) {
            ++count;
            last = i;
            const int64_t amplitude = kAmplitudeBase - xi;
            if (amplitude >= 1 && amplitude <= kSpectrumBins) {
                int16_t& bin = spectrum[amplitude - 1];
                if (bin < kBinMax)
                    ++bin;
            }
        }
    }
    return count;
}

int32_t SearchPulsesWith(PulseKernel kernel, std::span<const int16_t> x, int32_t limit,
                         int32_t minGap, std::span<int16_t, kSpectrumBins> spectrum)
{
    // A positive gap makes each decision depend on the previous pulse: the
    // plain loop handles it. With a gap of 0 or less the gap test always holds.
    if (kernel == PulseKernel::Plain || !PulseKernelAvailable(kernel) || minGap > 0)
        return SearchPulsesPlain(x, limit, minGap, spectrum);
    if (x.size() < 3)
        return 0;
    const Threshold thr = MakeThreshold(limit);
    if (thr.none)
        return 0;
    LocalHistogram h;
    KernelOf(kernel)(x.data(), x.size(), thr.code, h);
    return MergeHistogram(h, spectrum);
}

int32_t SearchPulses(std::span<const int16_t> x, int32_t limit, int32_t minGap,
                     std::span<int16_t, kSpectrumBins> spectrum)
{
    static const PulseKernel best = BestPulseKernel();
    return SearchPulsesWith(best, x, limit, minGap, spectrum);
}

bool PulseKernelAvailable(PulseKernel kernel)
{
    switch (kernel) {
    case PulseKernel::Plain: return true;
#if defined(__x86_64__)
    case PulseKernel::Sse2: return true;
    case PulseKernel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
    case PulseKernel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
#else
    default: return false;
#endif
    }
    return false;
}

PulseKernel BestPulseKernel()
{
    for (PulseKernel k : {PulseKernel::Avx512, PulseKernel::Avx2, PulseKernel::Sse2})
        if (PulseKernelAvailable(k))
            return k;
    return PulseKernel::Plain;
}

const char* PulseKernelName(PulseKernel kernel)
{
    switch (kernel) {
    case PulseKernel::Plain: return "plain";
    case PulseKernel::Sse2: return "sse2";
    case PulseKernel::Avx2: return "avx2";
    case PulseKernel::Avx512: return "avx512";
    }
    return "?";
}

} // namespace pulse
