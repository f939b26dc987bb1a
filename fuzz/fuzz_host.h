#pragma once
// The host the fuzz targets hand to the readers: silent, and loading both kinds of GPX content
// so that routes are read as well as tracks.

#include "sim/host.h"

namespace tolvex::fuzz {

struct SilentHost final : Host {
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>&) override
    {
        return std::nullopt;
    }
    std::optional<int> ChooseSegment(const std::vector<std::string>&, const std::string&) override { return 0; }
    std::optional<GpxContent> ChooseGpxContent(int, int) override { return GpxContent::Both; }
    void RefreshPanel(int) override {}
};

}  // namespace tolvex::fuzz
