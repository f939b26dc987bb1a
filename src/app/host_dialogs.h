#pragma once
// The small dialogs the core asks through its Host: which outputs Stop closes, which segment to
// go to, what a GPX file with tracks and routes should load.

#include <QDialog>

#include <array>
#include <string>
#include <vector>

#include "sim/host.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QFileDialog;

namespace tolvex {

// "确定" and "取消", wired to accept and reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);
// The file dialogs' own words in the panel's language.
void LabelFileDialog(QFileDialog& dialog, bool save);

// "选择待关闭的输出"
class CStopChoice : public QDialog {
    Q_OBJECT
public:
    CStopChoice(const std::array<StopChoiceEntry, 4>& entries, QWidget* parent);
    std::array<bool, 4> Checked() const;
    QCheckBox* Box(int output) const { return m_boxes.at(output); }

private:
    std::array<QCheckBox*, 4> m_boxes{};
};

// "选择航迹段"
class CSelectTrack : public QDialog {
    Q_OBJECT
public:
    CSelectTrack(const std::vector<std::string>& rows, const std::string& summary, QWidget* parent);
    int SelectedRow() const;  // -1 when none
    QComboBox* Rows() const { return m_rows; }

private:
    QComboBox* m_rows;
};

// "选择GPX航迹及详细航线"
class CGPXTrkRteSelect : public QDialog {
    Q_OBJECT
public:
    CGPXTrkRteSelect(int trackCount, int routeCount, QWidget* parent);
    GpxContent Choice() const;
    void Choose(GpxContent content);

private:
    QButtonGroup* m_choice;
};

}  // namespace tolvex
