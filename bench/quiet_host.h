#pragma once
// A host for benchmarks: says nothing and takes the first answer of every question.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sim/host.h"

namespace bench {

struct QuietHost final : tolvex::Host {
    void ShowMessage(const std::string&, const std::string&, tolvex::MessageIcon) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<tolvex::StopChoiceEntry, 4>&) override
    {
        return std::nullopt;
    }
    std::optional<int> ChooseSegment(const std::vector<std::string>&, const std::string&) override { return 0; }
    std::optional<tolvex::GpxContent> ChooseGpxContent(int, int) override { return tolvex::GpxContent::Tracks; }
    void RefreshPanel(int) override {}
};

}  // namespace bench
