#pragma once
// The host of the command line: messages go to standard error, questions get fixed answers.

#include "sim/host.h"

namespace tolvex {

// The English line printed after a message of the window's rules; empty for a text it does not know.
std::string EnglishLine(const std::string& chinese);

class ConsoleHost final : public Host {
public:
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    // Nobody is there to answer: a command the user typed goes ahead.
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // Stop closes every running output.
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries) override;
    std::optional<int> ChooseSegment(const std::vector<std::string>& rows, const std::string& summary) override;
    std::optional<GpxContent> ChooseGpxContent(int trackCount, int routeCount) override;
    void RefreshPanel(int) override {}

    GpxContent GpxChoice = GpxContent::Tracks;
    int SegmentChoice = 0;  // 0-based row
    int MessageCount = 0;
};

}  // namespace tolvex
