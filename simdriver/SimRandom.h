#pragma once
// Fast pseudo-random numbers for the simulated boards. Waveforms are made of
// millions of samples, so every draw is a few integer operations: splitmix64
// spreads a seed, xoshiro256** draws.
#include <cmath>
#include <cstdint>
#include <numbers>

namespace sim {

/// One step of splitmix64: advances `state` and returns a well-mixed word.
inline uint64_t splitmix64(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

/// xoshiro256** generator (Blackman and Vigna), seeded through splitmix64.
class Rng {
public:
    /// A generator whose sequence is fixed by `seed`.
    explicit Rng(uint64_t seed = 1) { reseed(seed); }

    /// Restarts the sequence from `seed`.
    void reseed(uint64_t seed)
    {
        for (uint64_t& word : s_)
            word = splitmix64(seed);
    }

    /// 64 random bits.
    uint64_t next()
    {
        const uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    /// Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    /// Uniform integer in [0, n); n > 0 (multiply-shift, bias below 2^-32).
    uint64_t below(uint64_t n) { return static_cast<uint64_t>((static_cast<unsigned __int128>(next()) * n) >> 64); }

    /// Exponential variate with mean 1 (inversion).
    double exponential() { return -std::log1p(-uniform()); }

    /// Poisson variate with mean `mean`: multiplication method for small
    /// means, rounded normal approximation (Box-Muller) above 30.
    int64_t poisson(double mean)
    {
        if (mean <= 0.0)
            return 0;
        if (mean > 30.0) {
            const double u1 = 1.0 - uniform();
            const double u2 = uniform();
            const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
            const double k = std::floor(mean + std::sqrt(mean) * z + 0.5);
            return k < 0.0 ? 0 : static_cast<int64_t>(k);
        }
        const double limit = std::exp(-mean);
        int64_t k = 0;
        double p = uniform();
        while (p > limit) {
            ++k;
            p *= uniform();
        }
        return k;
    }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    uint64_t s_[4];
};

} // namespace sim
