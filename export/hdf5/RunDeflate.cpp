#include "export/hdf5/RunDeflate.h"

#include <atomic>

#include <array>
#include <cstdint>
#include <cstring>
#include <libdeflate.h>

namespace dataexport {
namespace {

/// A code of deflate's fixed tables: its bits in the order they are written
/// (first bit lowest) and how many there are.
struct Code {
    uint32_t bits = 0;
    uint32_t length = 0;
};

uint32_t Reversed(uint32_t code, uint32_t length)
{
    uint32_t r = 0;
    for (uint32_t i = 0; i < length; ++i)
        r |= ((code >> i) & 1u) << (length - 1 - i);
    return r;
}

/// The fixed literal/length code of symbol `s` (0..287).
Code FixedCode(uint32_t s)
{
    if (s < 144)
        return {Reversed(0x30 + s, 8), 8};
    if (s < 256)
        return {Reversed(0x190 + s - 144, 9), 9};
    if (s < 280)
        return {Reversed(s - 256, 7), 7};
    return {Reversed(0xC0 + s - 280, 8), 8};
}

/// Every code this coder writes, made once: a literal byte, and a copy of
/// 3..258 bytes at distance 1 (length symbol, its extra bits and the
/// five-bit distance code 0, all in one).
struct Tables {
    std::array<Code, 256> literal;
    std::array<Code, 259> copy;
    Code end;

    Tables()
    {
        for (uint32_t b = 0; b < 256; ++b)
            literal[b] = FixedCode(b);
        end = FixedCode(256);
        static constexpr uint16_t kBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static constexpr uint8_t kExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        for (uint32_t len = 3; len <= 258; ++len) {
            uint32_t k = 28;
            while (kBase[k] > len)
                --k;
            const Code sym = FixedCode(257 + k);
            // Distance code 0 (distance 1) is five zero bits after the extra bits.
            copy[len] = {sym.bits | (len - kBase[k]) << sym.length, sym.length + kExtra[k] + 5};
        }
    }
};

const Tables& Codes()
{
    static const Tables t;
    return t;
}

/// Bits written first-bit-lowest into a byte buffer.
class BitWriter {
public:
    explicit BitWriter(unsigned char* out) : out_(out) {}
    void Put(Code c)
    {
        acc_ |= static_cast<uint64_t>(c.bits) << used_;
        used_ += c.length;
        if (used_ >= 32) {
            const auto word = static_cast<uint32_t>(acc_);
            std::memcpy(out_, &word, 4); // deflate is little-endian, as is the machine
            out_ += 4;
            acc_ >>= 32;
            used_ -= 32;
        }
    }
    /// Writes the bits left, padded to a whole byte; returns the end.
    unsigned char* Finish()
    {
        for (; used_ > 0; used_ = used_ > 8 ? used_ - 8 : 0, acc_ >>= 8)
            *out_++ = static_cast<unsigned char>(acc_);
        return out_;
    }

private:
    unsigned char* out_;
    uint64_t acc_ = 0;
    uint32_t used_ = 0;
};

/// Bytes from `p` up to `end` equal to `v`.
size_t RunLength(const unsigned char* p, const unsigned char* end, unsigned char v)
{
    const uint64_t all = 0x0101010101010101ull * v;
    const unsigned char* q = p;
    while (end - q >= 8) {
        uint64_t w;
        std::memcpy(&w, q, 8);
        if (const uint64_t diff = w ^ all)
            return static_cast<size_t>(q - p) + static_cast<size_t>(__builtin_ctzll(diff) / 8);
        q += 8;
    }
    while (q < end && *q == v)
        ++q;
    return static_cast<size_t>(q - p);
}

} // namespace

namespace {
std::atomic<bool> g_useRuns = true;
} // namespace

void UseRunDeflate(bool use) { g_useRuns = use; }
bool RunDeflateUsed() { return g_useRuns; }

size_t RunDeflateBound(size_t bytes)
{
    // Nine bits a byte at most, the header, the block's end and the checksum.
    return bytes + bytes / 8 + 16;
}

size_t RunDeflate(const unsigned char* in, size_t bytes, unsigned char* out)
{
    const Tables& t = Codes();
    out[0] = 0x78; // deflate, 32 KB window
    out[1] = 0x01; // fastest; (0x78 << 8 | 0x01) is a multiple of 31
    BitWriter w(out + 2);
    w.Put({0b011, 3}); // the last block, fixed codes
    const unsigned char* const end = in + bytes;
    for (const unsigned char* p = in; p < end;) {
        if (p > in && *p == p[-1]) {
            size_t run = RunLength(p, end, p[-1]);
            if (run >= 3) {
                p += run;
                for (; run >= 258 + 3; run -= 258)
                    w.Put(t.copy[258]);
                if (run > 258) { // leave at least 3 for the last copy
                    w.Put(t.copy[run - 3]);
                    run = 3;
                }
                w.Put(t.copy[run]);
                continue;
            }
        }
        w.Put(t.literal[*p++]);
    }
    w.Put(t.end);
    unsigned char* q = w.Finish();
    const uint32_t adler = libdeflate_adler32(1, in, bytes);
    for (int shift = 24; shift >= 0; shift -= 8)
        *q++ = static_cast<unsigned char>(adler >> shift);
    return static_cast<size_t>(q - out);
}

} // namespace dataexport
