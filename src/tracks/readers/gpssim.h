#pragma once
// Parts of the GpsGate .gpssim reader that the tests use.

#include <string_view>

#include "tracks/reader.h"

namespace tolvex {

// "ddmm.mmmm" (or "dddmm.mmmm") with its hemisphere as degrees; S and W (either case, alone in
// the field) negate. 0 when the number has no point or fewer than three characters before it.
double NmeaToDegrees(std::string_view value, std::string_view hemisphere);

// ReadGpssimFile on text already decoded to UTF-8.
ReadResult ReadGpssimText(std::string_view text, const ReaderContext& context);

}  // namespace tolvex
