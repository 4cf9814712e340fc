#pragma once
// Constants of the ADC driver interface and the parameter record handed to
// the boards by Setup.
#include <cstddef>
#include <cstdint>

namespace adc {

/// Channel selectors of GetData: a board's first and second input.
inline constexpr int32_t kSelectFirstInput = 0x20000001;
inline constexpr int32_t kSelectSecondInput = 0x10000001;

/// Control codes.
inline constexpr int32_t kControlStatus = 0;     ///< read the board's status word
inline constexpr int32_t kControlPrepare = 2020; ///< sent once with value 1 during set-up

/// Bit of a radio board's status word: a recording is complete.
inline constexpr int32_t kRadioEventBit = 1;

/// Values the record initialiser puts into Kind and Size.
inline constexpr int32_t kParamsKind = 5;
inline constexpr int32_t kParamsSize = 48;

/// Interface name passed to the factory.
inline constexpr const char* kDeviceInterface = "IADCDevice";

} // namespace adc

/// The 48-byte parameter record of Setup, little-endian, every field 4 bytes.
struct AdcParams {
    int32_t Kind;       ///< set by the initialiser: 5
    int32_t Size;       ///< set by the initialiser: 48
    int32_t Mode;
    float Rate;         ///< sampling rate, samples per second
    int32_t Samples;    ///< samples per input of one acquisition
    int32_t Aux1;
    int32_t ChanParam1; ///< word for the first input
    int32_t ChanParam2; ///< word for the second input
    int32_t Gain1;      ///< gain of the first input
    int32_t Gain2;      ///< gain of the second input
    int32_t Flags;
    int32_t Aux2;
};

static_assert(sizeof(AdcParams) == 48);
static_assert(offsetof(AdcParams, Kind) == 0);
static_assert(offsetof(AdcParams, Size) == 4);
static_assert(offsetof(AdcParams, Mode) == 8);
static_assert(offsetof(AdcParams, Rate) == 12);
static_assert(offsetof(AdcParams, Samples) == 16);
static_assert(offsetof(AdcParams, Aux1) == 20);
static_assert(offsetof(AdcParams, ChanParam1) == 24);
static_assert(offsetof(AdcParams, ChanParam2) == 28);
static_assert(offsetof(AdcParams, Gain1) == 32);
static_assert(offsetof(AdcParams, Gain2) == 36);
static_assert(offsetof(AdcParams, Flags) == 40);
static_assert(offsetof(AdcParams, Aux2) == 44);
static_assert(sizeof(float) == 4);

/// Initialises a parameter record: zero, then Kind and Size.
inline void InitAdcParams(AdcParams& p)
{
    p = AdcParams{};
    p.Kind = adc::kParamsKind;
    p.Size = adc::kParamsSize;
}
