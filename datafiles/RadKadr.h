#pragma once
// The radio event record: the stamp of the moment the event was picked up,
// the six radio gains in force and 4096 samples of each antenna channel.
// 49262 bytes, packed, little-endian, no padding.
#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

inline constexpr int kRadSamples = 4096;  ///< samples per radio channel
inline constexpr int kRadChannels = 6;
inline constexpr int kRadMarkerSample = 2577; ///< where the marker line is drawn

#pragma pack(push, 1)
struct TRadKadr {
    int16_t EventNo;            ///< one more than the previous event's number
    uint8_t Comment[80];        ///< not set by this system
    int16_t Year, Month, Day, DayOfWeek;
    int16_t Hour, Min, Sec, MSec;
    int16_t RGain1, RGain2, RGain3, RGain4, RGain5, RGain6; ///< radio gains in force
    int16_t Samples1[kRadSamples]; ///< sample i at [i-1]
    int16_t Samples2[kRadSamples];
    int16_t Samples3[kRadSamples];
    int16_t Samples4[kRadSamples];
    int16_t Samples5[kRadSamples];
    int16_t Samples6[kRadSamples];

    /// Samples of channel c (1..6).
    int16_t* Samples(int c)
    {
        int16_t* all[] = {Samples1, Samples2, Samples3, Samples4, Samples5, Samples6};
        return all[c - 1];
    }
    const int16_t* Samples(int c) const { return const_cast<TRadKadr*>(this)->Samples(c); }
    /// Gain of channel c (1..6).
    int16_t& RGain(int c)
    {
        int16_t* all[] = {&RGain1, &RGain2, &RGain3, &RGain4, &RGain5, &RGain6};
        return *all[c - 1];
    }
};
#pragma pack(pop)

static_assert(sizeof(TRadKadr) == 49262);
static_assert(offsetof(TRadKadr, Comment) == 2);
static_assert(offsetof(TRadKadr, Year) == 82);
static_assert(offsetof(TRadKadr, DayOfWeek) == 88);
static_assert(offsetof(TRadKadr, Hour) == 90);
static_assert(offsetof(TRadKadr, MSec) == 96);
static_assert(offsetof(TRadKadr, RGain1) == 98);
static_assert(offsetof(TRadKadr, RGain6) == 108);
static_assert(offsetof(TRadKadr, Samples1) == 110);
static_assert(offsetof(TRadKadr, Samples2) == 8302);
static_assert(offsetof(TRadKadr, Samples3) == 16494);
static_assert(offsetof(TRadKadr, Samples4) == 24686);
static_assert(offsetof(TRadKadr, Samples5) == 32878);
static_assert(offsetof(TRadKadr, Samples6) == 41070);
