#pragma once
// Background files for the spectrum window's tests, benchmarks and
// screenshots: records whose histograms tell channel, record and bin apart,
// and a realistic detector spectrum (falling noise edge, the peak of the
// single particles, a power-law tail). Header only, so the benchmarks can
// use it without the test support library.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/RecordFile.h"

namespace testing_support {

/// Count of bin `bin` of channel c in record r of a marked file: unique for
/// every channel 1..4, record 0..13 and bin 1..256.
inline int16_t MarkedCount(int c, int r, int bin) { return static_cast<int16_t>(c * 4000 + r * 256 + bin); }

/// A record of a marked file: frame r + 1, dated 6-12-2026 at 10:r:30, with
/// marked histograms.
inline std::unique_ptr<TFonKadr> MarkedRecord(int r)
{
    auto rec = std::make_unique<TFonKadr>();
    *rec = TFonKadr{};
    rec->KadrNo = static_cast<int16_t>(r + 1);
    rec->Year = 2026;
    rec->Month = 12;
    rec->Day = 6;
    rec->Hour = 10;
    rec->Min = static_cast<int16_t>(r);
    rec->Sec = 30;
    for (int c = 1; c <= kFonChannels; ++c)
        for (int bin = 1; bin <= kFonBins; ++bin)
            rec->Spectr(c)[bin - 1] = MarkedCount(c, r, bin);
    return rec;
}

/// Writes a marked file of `records` records at `path`.
inline void WriteMarkedFile(const std::string& path, int records)
{
    recfile::Create(path);
    for (int r = 0; r < records; ++r)
        recfile::WriteRecord(path, r, *MarkedRecord(r));
}

/// A detector spectrum as the pulse search collects it over a frame: nothing
/// below the amplitude limit (bin 16), the noise edge falling from there,
/// the peak of single particles near bin `peak`, and a tail falling as a
/// power of the amplitude. `scale` multiplies every bin.
inline int16_t RealisticCount(int bin, double peak = 70, double scale = 1.0)
{
    constexpr int kLimit = 16;
    if (bin < kLimit)
        return 0;
    const double a = bin;
    const double noise = 800.0 * std::exp(-(a - kLimit) / 5.0);
    const double single = 1600.0 * std::exp(-(a - peak) * (a - peak) / (2 * 15.0 * 15.0));
    const double tail = 3.0e5 * std::pow(a + 10.0, -2.0);
    const double v = scale * (noise + single + tail);
    return static_cast<int16_t>(std::lround(std::min(v, 32767.0)));
}

/// A record whose four channels hold realistic spectra with peaks a few
/// bins apart, frame r + 1, dated 6-12-2026 at 10:r:30.
inline std::unique_ptr<TFonKadr> RealisticRecord(int r)
{
    auto rec = MarkedRecord(r);
    for (int c = 1; c <= kFonChannels; ++c)
        for (int bin = 1; bin <= kFonBins; ++bin)
            rec->Spectr(c)[bin - 1] = RealisticCount(bin, 64 + 4 * c + r % 5, 1.0 + 0.05 * (r % 7));
    return rec;
}

/// Writes a file of `records` realistic records at `path`.
inline void WriteRealisticFile(const std::string& path, int records)
{
    recfile::Create(path);
    for (int r = 0; r < records; ++r)
        recfile::WriteRecord(path, r, *RealisticRecord(r));
}

} // namespace testing_support
