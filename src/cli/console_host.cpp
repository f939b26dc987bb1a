#include "cli/console_host.h"

#include <cstdio>

namespace tolvex {

void ConsoleHost::ShowMessage(const std::string& text, const std::string& caption, MessageIcon)
{
    ++MessageCount;
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

bool ConsoleHost::AskYesNo(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s yes\n", caption.c_str(), text.c_str());
    return true;
}

std::optional<std::array<bool, 4>> ConsoleHost::ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries)
{
    std::array<bool, 4> close{};
    for (std::size_t i = 0; i < entries.size(); ++i) close[i] = entries[i].Enabled;
    return close;
}

std::optional<int> ConsoleHost::ChooseSegment(const std::vector<std::string>& rows, const std::string&)
{
    if (rows.empty()) return -1;
    return SegmentChoice < static_cast<int>(rows.size()) ? SegmentChoice : -1;
}

std::optional<GpxContent> ConsoleHost::ChooseGpxContent(int, int) { return GpxChoice; }

}  // namespace tolvex
