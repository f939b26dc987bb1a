#pragma once
// Position error as a first-order Gauss-Markov process: correlated over its correlation time,
// stationary with unit variance; the sky model scales it by UERE × DOP.

#include <cstdint>
#include <random>

namespace tolvex {

// One seeded generator for everything random in the sky, so that a seed repeats a run exactly.
class SkyRandom {
public:
    explicit SkyRandom(std::uint64_t seed) : m_engine(seed) {}
    double Normal() { return m_normal(m_engine); }
    double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_engine); }

private:
    std::mt19937_64 m_engine;
    std::normal_distribution<double> m_normal{0.0, 1.0};
};

class GaussMarkov {
public:
    // Starts at a draw from the stationary distribution.
    GaussMarkov(double correlationTime, SkyRandom& random);
    // Advances by dt seconds (dt <= 0 leaves the value); returns the new value.
    double Step(double dt, SkyRandom& random);
    double Value() const { return m_value; }
    void SetCorrelationTime(double seconds) { m_tau = seconds; }

private:
    double m_tau;
    double m_value;
};

}  // namespace tolvex
