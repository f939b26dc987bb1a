#pragma once
// A host that records what the core tells the user and answers its questions from a script.

#include <optional>
#include <string>
#include <vector>

#include "sim/host.h"

namespace tolvex::test {

struct ShownMessage {
    std::string Text;
    std::string Caption;
    MessageIcon Icon;
};

class FakeHost : public Host {
public:
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        Messages.push_back({text, caption, icon});
    }
    bool AskYesNo(const std::string& text, const std::string&) override
    {
        Questions.push_back(text);
        return YesNoAnswer;
    }
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>&) override
    {
        return std::nullopt;
    }
    std::optional<int> ChooseSegment(const std::vector<std::string>& rows, const std::string& summary) override
    {
        SegmentRows = rows;
        SegmentSummary = summary;
        return SegmentAnswer;
    }
    std::optional<GpxContent> ChooseGpxContent(int, int) override { return GpxContent::Tracks; }
    void RefreshPanel(int mode) override { Refreshes.push_back(mode); }

    std::vector<ShownMessage> Messages;
    std::vector<std::string> Questions;
    bool YesNoAnswer = true;
    std::optional<int> SegmentAnswer;
    std::vector<std::string> SegmentRows;
    std::string SegmentSummary;
    std::vector<int> Refreshes;
};

}  // namespace tolvex::test
