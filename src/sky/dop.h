#pragma once
// Dilution of precision from the geometry of the satellites used: the least-squares geometry
// matrix in local east-north-up with a receiver clock column.

#include <optional>
#include <span>

#include "sky/orbit.h"

namespace tolvex {

struct DilutionOfPrecision {
    double PDOP = 0, HDOP = 0, VDOP = 0;
    double EastDOP = 0, NorthDOP = 0;  // the horizontal parts: HDOP² = EastDOP² + NorthDOP²
};

// Nothing for fewer than four satellites or a geometry that fixes no position (all in one plane
// through the receiver, or on one cone around it).
std::optional<DilutionOfPrecision> ComputeDop(std::span<const LookAngles> used);

}  // namespace tolvex
