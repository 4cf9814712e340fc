#pragma once
// A sky of air showers that several simulated stations share without talking
// to each other. Time on the UTC clock is cut into slots; whether a slot holds
// a shower, when in the slot it falls, where its core lands and how big it is
// all follow from the sky's seed and the slot's number alone, so every station
// started with the same seed computes the same showers. Whether a station sees
// a shower is its own draw, with a probability that falls with the distance
// from its position to the core.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace sim {

/// Showers per minute when LAN10M8SIM_SKY_PER_MINUTE is not set.
inline constexpr double kDefaultShowersPerMinute = 4.0;

/// The sky's settings, read from the environment when the library loads.
struct SkySettings {
    uint64_t seed = 0;                           ///< LAN10M8SIM_SKY
    double perMinute = kDefaultShowersPerMinute; ///< LAN10M8SIM_SKY_PER_MINUTE
    double x = 0.0, y = 0.0;                     ///< LAN10M8SIM_POSITION "x,y", metres
    double clockOffset = 0.0;                    ///< LAN10M8SIM_CLOCK_OFFSET_MS, in seconds
    std::string logPath;                         ///< LAN10M8SIM_SKY_LOG, empty: no log
};

/// The settings of the environment, or none when LAN10M8SIM_SKY is not set
/// (or the rate is not positive).
std::optional<SkySettings> skyFromEnvironment();

/// One shower of the sky.
struct Shower {
    int64_t slot = 0;      ///< its slot number: the shower's name, the same at every station
    double utc = 0.0;      ///< seconds since 1970-01-01 UTC when it reaches the ground
    double coreX = 0.0;    ///< metres
    double coreY = 0.0;
    double radius = 0.0;   ///< metres at which a station sees it with probability 1/e
};

/// The shared sky as one station sees it.
class Sky {
public:
    /// The sky of `settings` seen by a station whose own draws follow `stationSeed`.
    Sky(const SkySettings& settings, uint64_t stationSeed);
    ~Sky();
    Sky(const Sky&) = delete;
    Sky& operator=(const Sky&) = delete;

    /// The shower of slot `slot`, if the slot holds one.
    std::optional<Shower> showerOf(int64_t slot) const;
    /// Probability that this station sees `shower`: exp(-distance / radius).
    double seeProbability(const Shower& shower) const;
    /// The first shower after UTC second `after` that this station sees,
    /// looked for up to `horizon` seconds ahead.
    std::optional<Shower> nextSeen(double after, double horizon) const;

    /// The station's clock offset in seconds: an event is recorded at the
    /// shower's instant plus this.
    double clockOffset() const { return settings_.clockOffset; }
    /// Appends the shower to the log of seen showers (when one is kept).
    void logSeen(const Shower& shower);

private:
    SkySettings settings_;
    uint64_t stationSeed_;
    double slotSeconds_;
    double slotChance_;
    std::FILE* log_ = nullptr;
};

} // namespace sim
