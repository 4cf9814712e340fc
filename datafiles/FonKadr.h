#pragma once
// The background frame record: one frame of 600 points of the four detector
// channels, with its start stamp, the time of every point and one 256-bin
// amplitude spectrum per channel. 16572 bytes, packed, little-endian.
#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

inline constexpr int kFonPoints = 600;   ///< points in a frame
inline constexpr int kFonBins = 256;     ///< bins of a spectrum
inline constexpr int kFonChannels = 4;   ///< detector channels
inline constexpr int kCyclesPerPoint = 25;
inline constexpr int kPointsPerPlot = 10;

/// Time at which a point was stored.
struct TPointTime {
    uint16_t Hour, Min, Sec, MSec;
};

#pragma pack(push, 1)
struct TFonKadr {
    int16_t KadrNo;             ///< frame number, 1 for the first frame of a run
    uint8_t Comment[80];        ///< not set by this system
    int16_t Year, Month, Day, DayOfWeek; ///< date of the frame start; DayOfWeek 1 = Sunday
    int16_t Hour, Min, Sec, MSec;        ///< time of the frame start
    uint8_t Pad1[2];
    int32_t Rate;               ///< sampling rate at the frame start
    int16_t FGain1, FGain2, FGain3, FGain4; ///< detector gains in force
    int16_t Limit1, Limit2, Limit3, Limit4; ///< amplitude limits; not set by this system
    int16_t ChanParam;          ///< not set by this system
    uint8_t Pad2[2];
    int32_t Counts1[kFonPoints]; ///< pulses of channel 1 in point k at [k-1]
    int32_t Counts2[kFonPoints];
    int32_t Counts3[kFonPoints];
    int32_t Counts4[kFonPoints];
    TPointTime Times[kFonPoints]; ///< time of point k at [k-1]
    int16_t Spectr1[kFonBins];  ///< bin A at [A-1]
    int16_t Spectr2[kFonBins];
    int16_t Spectr3[kFonBins];
    int16_t Spectr4[kFonBins];

    /// Counts of channel c (1..4).
    int32_t* Counts(int c) { return c == 1 ? Counts1 : c == 2 ? Counts2 : c == 3 ? Counts3 : Counts4; }
    const int32_t* Counts(int c) const { return const_cast<TFonKadr*>(this)->Counts(c); }
    /// Spectrum of channel c (1..4).
    int16_t* Spectr(int c) { return c == 1 ? Spectr1 : c == 2 ? Spectr2 : c == 3 ? Spectr3 : Spectr4; }
    const int16_t* Spectr(int c) const { return const_cast<TFonKadr*>(this)->Spectr(c); }
    /// Gain of channel c (1..4).
    int16_t& FGain(int c) { return c == 1 ? FGain1 : c == 2 ? FGain2 : c == 3 ? FGain3 : FGain4; }
    int16_t& Limit(int c) { return c == 1 ? Limit1 : c == 2 ? Limit2 : c == 3 ? Limit3 : Limit4; }
};
#pragma pack(pop)

static_assert(sizeof(TPointTime) == 8);
static_assert(sizeof(TFonKadr) == 16572);
static_assert(offsetof(TFonKadr, KadrNo) == 0);
static_assert(offsetof(TFonKadr, Comment) == 2);
static_assert(offsetof(TFonKadr, Year) == 82);
static_assert(offsetof(TFonKadr, Month) == 84);
static_assert(offsetof(TFonKadr, Day) == 86);
static_assert(offsetof(TFonKadr, DayOfWeek) == 88);
static_assert(offsetof(TFonKadr, Hour) == 90);
static_assert(offsetof(TFonKadr, Min) == 92);
static_assert(offsetof(TFonKadr, Sec) == 94);
static_assert(offsetof(TFonKadr, MSec) == 96);
static_assert(offsetof(TFonKadr, Rate) == 100);
static_assert(offsetof(TFonKadr, FGain1) == 104);
static_assert(offsetof(TFonKadr, FGain4) == 110);
static_assert(offsetof(TFonKadr, Limit1) == 112);
static_assert(offsetof(TFonKadr, Limit4) == 118);
static_assert(offsetof(TFonKadr, ChanParam) == 120);
static_assert(offsetof(TFonKadr, Counts1) == 124);
static_assert(offsetof(TFonKadr, Counts2) == 2524);
static_assert(offsetof(TFonKadr, Counts3) == 4924);
static_assert(offsetof(TFonKadr, Counts4) == 7324);
static_assert(offsetof(TFonKadr, Times) == 9724);
static_assert(offsetof(TFonKadr, Spectr1) == 14524);
static_assert(offsetof(TFonKadr, Spectr2) == 15036);
static_assert(offsetof(TFonKadr, Spectr3) == 15548);
static_assert(offsetof(TFonKadr, Spectr4) == 16060);
