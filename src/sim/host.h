#pragma once
// The only way the core reaches the user: the window, the command line and the tests each implement it.

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tolvex {

enum class MessageIcon { Error, Warning, Information };

// One check box of the dialog that asks which outputs Stop closes.
struct StopChoiceEntry {
    std::string Label;
    bool Enabled = false;
    bool Checked = false;
};

// What a GPX file holding both tracks and routes should load.
enum class GpxContent { Tracks = 0, Routes = 1, Both = 2 };

class Host {
public:
    virtual ~Host() = default;

    // A modal message box; caption "错误" goes with Error, "警告" with Warning.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;

    // "选择待关闭的输出": the check states after OK, nothing on Cancel.
    virtual std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries) = 0;

    // "选择航迹段": rows as the combo box shows them and the summary line; the chosen 0-based row
    // after OK (-1 when none is selected), nothing on Cancel.
    virtual std::optional<int> ChooseSegment(const std::vector<std::string>& rows, const std::string& summary) = 0;

    // "选择GPX航迹及详细航线": asked only when a file holds both; nothing on Cancel.
    virtual std::optional<GpxContent> ChooseGpxContent(int trackCount, int routeCount) = 0;

    // Mode 1 redraws the values, mode 2 also the run-state buttons and output indicators.
    virtual void RefreshPanel(int mode) = 0;
};

}  // namespace tolvex
