#pragma once
// The five boards of the set-up and what each is given at Setup: one row per
// board, in the order the boards are obtained from the factory and numbered
// at Init. Every value the set-up hands the driver is named here and nowhere
// else.
#include <array>
#include <cstdint>

namespace boards {

/// Samples per input of one background acquisition (FonSamples).
inline constexpr int32_t kFonSamples = 1000000;
/// The radio boards' sample count (RadSamples); each input is read with half of it.
inline constexpr int32_t kRadSamples = 8192;
/// Sampling rate of every board, samples per second (SampleRate).
inline constexpr int32_t kSampleRate = 100000000;
/// The live window of one cycle on a background board: the span its
/// FonSamples samples cover at SampleRate (10 ms). A point of 25 cycles is
/// live for 25 such windows, whatever the wall time between its cycles.
inline constexpr int64_t kFonWindowNs = int64_t{kFonSamples} * 1000000000 / kSampleRate;
static_assert(kFonWindowNs == 10000000);
/// Channel word of both background inputs (FonChanParam).
inline constexpr int32_t kFonChanParam = 90;
/// Number given to the first board at Init; the others follow.
inline constexpr int32_t kFirstBoardNo = 1;
/// Second and third argument of every Init.
inline constexpr int32_t kInitParam1 = 1;
inline constexpr int32_t kInitParam2 = 0;
/// First argument of every Setup.
inline constexpr int32_t kSetupMode = 1;
/// Value sent with the preparation code at set-up.
inline constexpr int32_t kPrepareValue = 1;

/// Gains in force at program start: radio channels 1..6, background 1..4.
inline constexpr std::array<int16_t, 6> kDefaultRadioGains{20, 20, 5, 5, 100, 100};
inline constexpr std::array<int16_t, 4> kDefaultFonGains{100, 100, 100, 100};

/// What a board does.
enum class Role { Background, Radio };

/// The fixed part of a parameter record for one kind of board. The sample
/// count, rate and gains are filled in from the run.
struct Profile {
    int32_t Mode;
    int32_t Aux1;
    int32_t ChanParam; ///< word of both inputs; the background boards take FonChanParam
    int32_t Flags;
    int32_t Aux2;
};

inline constexpr Profile kBackgroundProfile{1, 0, kFonChanParam, 104, 0};
inline constexpr Profile kRadioProfile{8, 3, -100, 238, 20};

/// One board of the set-up.
struct Board {
    const char* Name;
    Role Kind;
    /// Number of the board's first channel among its kind (background
    /// channels 1..4, radio channels 1..6); its second input carries the next.
    int FirstChannel;
};

/// The boards in the order of the factory calls and of the Init numbers
/// (AdcFon1 is board 1 … AdcRad3 board 5).
inline constexpr std::array<Board, 5> kBoards{{
    {"AdcFon1", Role::Background, 1},
    {"AdcFon2", Role::Background, 3},
    {"AdcRad1", Role::Radio, 1},
    {"AdcRad2", Role::Radio, 3},
    {"AdcRad3", Role::Radio, 5},
}};

/// The preparation code goes first to the first radio board (the one that
/// reports the events), then to every other board in table order.

} // namespace boards
