// Deterministic random numbers and lattice hashing for the scene generator.
#pragma once

#include <cstdint>

namespace scenegen {

// Finaliser of SplitMix64; also used on its own to hash lattice coordinates.
inline uint64_t mix64(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline uint32_t hashCell(int x, int y, uint32_t seed)
{
    const uint64_t key = (uint64_t(uint32_t(x)) << 32) ^ uint64_t(uint32_t(y)) ^ (uint64_t(seed) * 0xD6E8FEB86659FD93ull);
    return uint32_t(mix64(key) >> 32);
}

inline uint32_t hashCell3(int x, int y, int z, uint32_t seed)
{
    return hashCell(int(hashCell(x, y, seed)), z, seed ^ 0x5bd1e995u);
}

// std distributions are implementation-defined, so every draw goes through this class to keep
// the generated files byte-identical across standard libraries.
class Prng {
public:
    explicit Prng(uint64_t seed) : state_(seed) {}

    uint64_t nextU64()
    {
        state_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1) with 53 random bits.
    double uniform() { return double(nextU64() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }

    // Uniform integer in [lo, hi].
    int uniformInt(int lo, int hi) { return lo + int(nextU64() % uint64_t(hi - lo + 1)); }

private:
    uint64_t state_;
};

} // namespace scenegen
