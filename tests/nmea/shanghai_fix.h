#pragma once
// The fix the sentence tests build from: a known place with speed, course and altitude set.

#include "sim/sim_fix.h"

namespace tolvex::testing {

inline SimFix Shanghai()
{
    SimFix fix;
    fix.Latitude = 31.2304;
    fix.Longitude = 121.4737;
    fix.Speed = 10;
    fix.Course = 45;
    fix.Altitude = 12.3;
    return fix;
}

}  // namespace tolvex::testing
