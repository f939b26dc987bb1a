#include "app/host_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/tolvex_dlg.h"

namespace tolvex {

// "确定" and "取消", the buttons of every dialog of the panel.
QDialogButtonBox* OkCancelButtons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(FromUtf8(Texts::tr("确定")));
    buttons->button(QDialogButtonBox::Cancel)->setText(FromUtf8(Texts::tr("取消")));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

void LabelFileDialog(QFileDialog& dialog, bool save)
{
    dialog.setLabelText(QFileDialog::LookIn, FromUtf8(Texts::tr("查找范围：")));
    dialog.setLabelText(QFileDialog::FileName, FromUtf8(Texts::tr("文件名：")));
    dialog.setLabelText(QFileDialog::FileType, FromUtf8(Texts::tr("文件类型：")));
    dialog.setLabelText(QFileDialog::Accept, FromUtf8(save ? Texts::tr("保存(&S)") : Texts::tr("打开(&O)")));
    dialog.setLabelText(QFileDialog::Reject, FromUtf8(Texts::tr("取消")));
}

CStopChoice::CStopChoice(const std::array<StopChoiceEntry, 4>& entries, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("选择待关闭的输出"));
    auto* layout = new QVBoxLayout(this);
    for (int k = 0; k < 4; ++k) {
        m_boxes[k] = new QCheckBox(FromUtf8(entries[k].Label), this);
        m_boxes[k]->setEnabled(entries[k].Enabled);
        m_boxes[k]->setChecked(entries[k].Checked);
        layout->addWidget(m_boxes[k]);
    }
    layout->addWidget(OkCancelButtons(this));
}

std::array<bool, 4> CStopChoice::Checked() const
{
    std::array<bool, 4> checked{};
    for (int k = 0; k < 4; ++k) checked[k] = m_boxes[k]->isChecked();
    return checked;
}

CSelectTrack::CSelectTrack(const std::vector<std::string>& rows, const std::string& summary, QWidget* parent)
    : QDialog(parent), m_rows(new QComboBox(this))
{
    setWindowTitle(tr("选择航迹段"));
    auto* layout = new QVBoxLayout(this);
    for (const std::string& row : rows) m_rows->addItem(FromUtf8(row));
    m_rows->setCurrentIndex(rows.empty() ? -1 : 0);
    m_rows->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addWidget(m_rows);
    layout->addWidget(new QLabel(FromUtf8(summary), this));
    layout->addWidget(OkCancelButtons(this));
}

int CSelectTrack::SelectedRow() const { return m_rows->currentIndex(); }

CGPXTrkRteSelect::CGPXTrkRteSelect(int trackCount, int routeCount, QWidget* parent)
    : QDialog(parent), m_choice(new QButtonGroup(this))
{
    setWindowTitle(tr("选择GPX航迹及详细航线"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("该GPX文件中含有%1条航迹，及%2条航线\n航线中可能含有扩展的详细航线坐标\n\n"
                                                   "请选择待载入的类别：")
                                     .arg(trackCount)
                                     .arg(routeCount),
                                 this));
    const char* labels[] = {Texts::Mark(" GPX航迹"), Texts::Mark(" GPX详细航线"), Texts::Mark(" 以上两者")};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(CoreText(labels[i]), this);
        m_choice->addButton(radio, i);
        layout->addWidget(radio);
    }
    m_choice->button(0)->setChecked(true);
    layout->addWidget(OkCancelButtons(this));
}

GpxContent CGPXTrkRteSelect::Choice() const { return static_cast<GpxContent>(std::max(0, m_choice->checkedId())); }

void CGPXTrkRteSelect::Choose(GpxContent content) { m_choice->button(static_cast<int>(content))->setChecked(true); }

// --- The window's Host side of them ---

std::optional<std::array<bool, 4>> CTolvexDlg::ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries)
{
    CStopChoice dialog(entries, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Checked();
}

std::optional<int> CTolvexDlg::ChooseSegment(const std::vector<std::string>& rows, const std::string& summary)
{
    CSelectTrack dialog(rows, summary, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.SelectedRow();
}

std::optional<GpxContent> CTolvexDlg::ChooseGpxContent(int trackCount, int routeCount)
{
    CGPXTrkRteSelect dialog(trackCount, routeCount, this);
    if (dialog.exec() != QDialog::Accepted) {
        m_loadCancelled = true;
        return std::nullopt;
    }
    return dialog.Choice();
}

}  // namespace tolvex
