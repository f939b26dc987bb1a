#pragma once
// Parts of the binary .trk reader that the tests use.

#include <cstdint>
#include <string_view>

#include "tracks/reader.h"

namespace tolvex {

// The time of a full record: calendar fields read as a time of day in UTC+8, as seconds since
// 1970-01-01 UTC. Fields out of range carry over as the C library's mktime carries them
// (month 13 is January of the next year); the machine's time zone plays no part.
double TrkRecordTime(int year, int month, int day, int hour, int minute, int second);

// ReadTrkFile on the bytes of a file.
ReadResult ReadTrkBytes(std::string_view bytes, const ReaderContext& context);

}  // namespace tolvex
