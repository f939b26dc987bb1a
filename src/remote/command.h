#pragma once
// One line of the control protocol turned into a command, before anything is done with it. The
// parser knows only the shape of each command; whether it applies now is the dispatcher's call.

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "sim/host.h"
#include "sim/sim_fix.h"

namespace tolvex {

enum class Verb {
    Run, Pause, Stop, Speed, Course, Turn, Alt, Goto, Step, Load, Mode, Ratio, Reverse, Offset, Loop,
    Segment, Point, Favourite, SaveFavourite, Output, Fix, Mask, Status, Watch, Quit,
    WaitPoint, WaitEnd,  // scenario scripts only
};

inline constexpr std::size_t MaxLineLength = 4096;  // bytes of one command line, line end excluded
inline constexpr int MaxStepCount = 10000;          // presses one `step` may stand for

struct Command {
    Verb Name = Verb::Status;
    double Value = 0;                // speed km/h, course, turn, alt, lat, ratio, offset, mask, watch seconds
    double Longitude = 0;            // goto
    std::optional<double> Altitude;  // goto
    int Number = 0;                  // step count, segment, point, favourite, output, wait-point
    char Letter = 0;                 // step N/S/E/W; mode F/P/M/S
    bool On = false;                 // reverse, output; fix: lost
    LoopMode Loop = LoopMode::NoLoop;
    GpxContent Gpx = GpxContent::Tracks;
    std::string Text;                // load FILE, save-favourite NAME
    bool HasText = false;            // save-favourite with a NAME
};

// A command, or the reason in plain English why the line is none.
using ParseResult = std::variant<Command, std::string>;
ParseResult ParseCommand(std::string_view line);

// The protocol's name of a verb ("save-favourite").
const char* VerbName(Verb verb);

}  // namespace tolvex
