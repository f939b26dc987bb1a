#include "sky/noise.h"

#include <cmath>

namespace tolvex {

GaussMarkov::GaussMarkov(double correlationTime, SkyRandom& random) : m_tau(correlationTime), m_value(random.Normal()) {}

double GaussMarkov::Step(double dt, SkyRandom& random)
{
    if (!(dt > 0)) return m_value;
    // The exact discrete form: the variance stays 1 whatever the step.
    const double phi = std::exp(-dt / m_tau);
    m_value = phi * m_value + std::sqrt(1 - phi * phi) * random.Normal();
    return m_value;
}

}  // namespace tolvex
