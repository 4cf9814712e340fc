// The shared sky of air showers.
#include "simdriver/SimSky.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "simdriver/SimRandom.h"

namespace sim {
namespace {

/// A slot holds a shower with this chance, so the Bernoulli slots come close
/// to a Poisson stream of the set rate.
constexpr double kSlotChance = 0.05;
/// Cores land uniformly on a disc of this radius (metres) round the origin.
constexpr double kFieldRadius = 300.0;
/// Radii at which a station sees a shower with probability 1/e: from the
/// smallest to the largest shower, spread log-uniformly.
constexpr double kSmallestRadius = 80.0;
constexpr double kLargestRadius = 800.0;

/// Most slots one look goes through (a fast sky's day would be millions).
constexpr int64_t kLongestLook = int64_t{1} << 20;

/// Uniform in [0, 1) from a 64-bit word.
double unit(uint64_t word) { return static_cast<double>(word >> 11) * 0x1.0p-53; }

double envNumber(const char* name, double fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    return end != text && std::isfinite(v) ? v : fallback;
}

} // namespace

std::optional<SkySettings> skyFromEnvironment()
{
    const char* seed = std::getenv("LAN10M8SIM_SKY");
    if (!seed || !*seed)
        return std::nullopt;
    SkySettings s;
    s.seed = std::strtoull(seed, nullptr, 0);
    s.perMinute = envNumber("LAN10M8SIM_SKY_PER_MINUTE", kDefaultShowersPerMinute);
    if (!(s.perMinute > 0.0))
        return std::nullopt;
    if (const char* pos = std::getenv("LAN10M8SIM_POSITION")) {
        char* end = nullptr;
        const double x = std::strtod(pos, &end);
        if (end != pos && *end == ',') {
            const char* rest = end + 1;
            const double y = std::strtod(rest, &end);
            if (end != rest && std::isfinite(x) && std::isfinite(y)) {
                s.x = x;
                s.y = y;
            }
        }
    }
    s.clockOffset = envNumber("LAN10M8SIM_CLOCK_OFFSET_MS", 0.0) / 1000.0;
    if (const char* log = std::getenv("LAN10M8SIM_SKY_LOG"))
        s.logPath = log;
    return s;
}

Sky::Sky(const SkySettings& settings, uint64_t stationSeed)
    : settings_(settings)
    , stationSeed_(stationSeed)
    , slotSeconds_(60.0 * kSlotChance / settings.perMinute)
    , slotChance_(kSlotChance)
{
    if (!settings_.logPath.empty())
        log_ = std::fopen(settings_.logPath.c_str(), "a");
}

Sky::~Sky()
{
    if (log_)
        std::fclose(log_);
}

std::optional<Shower> Sky::showerOf(int64_t slot) const
{
    uint64_t state = settings_.seed ^ (static_cast<uint64_t>(slot) * 0xD1B54A32D192ED03ull);
    if (unit(splitmix64(state)) >= slotChance_)
        return std::nullopt;
    Shower s;
    s.slot = slot;
    s.utc = (static_cast<double>(slot) + unit(splitmix64(state))) * slotSeconds_;
    const double r = kFieldRadius * std::sqrt(unit(splitmix64(state)));
    const double phi = 2.0 * std::numbers::pi * unit(splitmix64(state));
    s.coreX = r * std::cos(phi);
    s.coreY = r * std::sin(phi);
    s.radius = kSmallestRadius * std::pow(kLargestRadius / kSmallestRadius, unit(splitmix64(state)));
    return s;
}

double Sky::seeProbability(const Shower& shower) const
{
    const double d = std::hypot(settings_.x - shower.coreX, settings_.y - shower.coreY);
    return std::exp(-d / shower.radius);
}

std::optional<Shower> Sky::nextSeen(double after, double horizon) const
{
    const auto first = static_cast<int64_t>(std::floor(after / slotSeconds_));
    const auto last = std::min(static_cast<int64_t>(std::ceil((after + horizon) / slotSeconds_)), first + kLongestLook);
    for (int64_t slot = first; slot <= last; ++slot) {
        const std::optional<Shower> s = showerOf(slot);
        if (!s || s->utc <= after)
            continue;
        // The station's own draw for this shower: the same at every look.
        uint64_t state = stationSeed_ ^ settings_.seed ^ (static_cast<uint64_t>(slot) * 0x9E3779B97F4A7C15ull);
        if (unit(splitmix64(state)) < seeProbability(*s))
            return s;
    }
    return std::nullopt;
}

void Sky::logSeen(const Shower& shower)
{
    if (!log_)
        return;
    const auto ns = static_cast<int64_t>(std::llround(shower.utc * 1e9));
    std::fprintf(log_, "%" PRId64 ",%" PRId64 ",%.1f,%.1f,%.1f,%.1f\n", shower.slot, ns, shower.coreX, shower.coreY,
                 shower.radius, std::hypot(settings_.x - shower.coreX, settings_.y - shower.coreY));
    std::fflush(log_);
}

} // namespace sim
