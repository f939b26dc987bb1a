#include "sky/dop.h"

#include <array>
#include <cmath>
#include <utility>

#include "sim/geodesy.h"

namespace tolvex {

std::optional<DilutionOfPrecision> ComputeDop(std::span<const LookAngles> used)
{
    if (used.size() < 4) return std::nullopt;
    // Normal matrix GᵀG beside an identity, reduced by Gauss-Jordan to the identity beside (GᵀG)⁻¹.
    std::array<std::array<double, 8>, 4> m{};
    for (const LookAngles& look : used) {
        const double el = look.Elevation * DegToRad;
        const double az = look.Azimuth * DegToRad;
        const std::array<double, 4> row = {-std::cos(el) * std::sin(az), -std::cos(el) * std::cos(az), -std::sin(el), 1};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) m[i][j] += row[i] * row[j];
    }
    for (int i = 0; i < 4; ++i) m[i][4 + i] = 1;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        // Relative to the matrix scale (at most the satellite count): below this the geometry is degenerate.
        if (std::fabs(m[pivot][col]) < 1e-9 * static_cast<double>(used.size())) return std::nullopt;
        std::swap(m[col], m[pivot]);
        const double p = m[col][col];
        for (double& v : m[col]) v /= p;
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            const double f = m[r][col];
            for (int c = 0; c < 8; ++c) m[r][c] -= f * m[col][c];
        }
    }
    const double qe = m[0][4], qn = m[1][5], qu = m[2][6];
    if (qe < 0 || qn < 0 || qu < 0) return std::nullopt;
    DilutionOfPrecision dop;
    dop.EastDOP = std::sqrt(qe);
    dop.NorthDOP = std::sqrt(qn);
    dop.HDOP = std::sqrt(qe + qn);
    dop.VDOP = std::sqrt(qu);
    dop.PDOP = std::sqrt(qe + qn + qu);
    return dop;
}

}  // namespace tolvex
