#include "app/quick_help_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/panel_pictures.h"
#include "app/qt_text.h"
#include "control/operator.h"
#include "control/quick_help.h"

namespace tolvex {

QStringList QuickHelpCells(const QString& line)
{
    // Three blanks or more part two columns; "1.5  2  3" keeps its own pairs of blanks.
    static const QRegularExpression Gap(QStringLiteral(" {3,}"));
    QStringList cells = line.trimmed().split(Gap, Qt::SkipEmptyParts);
    return cells;
}

namespace {

// Four columns: a line of two columns puts its second at the third column, where the four-column
// lines ("Esc", "F1", "F2", "空格") have their third; a line of one column spans them all.
constexpr int GridColumns = 4;

QWidget* MakePage(const std::array<const char*, QuickHelpLineCount>& lines,
                  std::array<std::vector<QLabel*>, QuickHelpLineCount>& cells, QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(2);
    const int lineHeight = page->fontMetrics().height();
    for (int i = 0; i < QuickHelpLineCount; ++i) {
        grid->setRowMinimumHeight(i, lineHeight);
        const QStringList texts = QuickHelpCells(CoreText(lines[i]));
        const int n = static_cast<int>(texts.size());
        for (int c = 0; c < n; ++c) {
            auto* label = new QLabel(texts[c], page);
            label->setTextFormat(Qt::PlainText);
            cells[i].push_back(label);
            if (n == 1) {
                grid->addWidget(label, i, 0, 1, GridColumns);
            } else if (n == 2) {
                grid->addWidget(label, i, 2 * c, 1, 2);
            } else {
                // Extra columns beyond four share the last one.
                grid->addWidget(label, i, std::min(c, GridColumns - 1));
            }
        }
    }
    grid->setColumnStretch(GridColumns - 1, 1);
    return page;
}

}  // namespace

CQuickHelp::CQuickHelp(Operator& op) : QDialog(nullptr), m_operator(op), m_pages(new QStackedWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The panel keeps the keyboard: driving goes on while the help is read.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setModal(false);
    setWindowTitle(tr("快速帮助"));
    auto* layout = new QVBoxLayout(this);
    for (int set = 0; set < 2; ++set) m_pages->addWidget(MakePage(QuickHelpLines(set), m_cells[set], m_pages));
    layout->addWidget(m_pages);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* switchButton = new QPushButton(CoreText(QuickHelpSwitchText), this);
    switchButton->setAutoDefault(false);
    switchButton->setFocusPolicy(Qt::ClickFocus);
    connect(switchButton, &QPushButton::clicked, this, &CQuickHelp::SwitchPage);
    row->addWidget(switchButton);
    layout->addLayout(row);
    // Both pages are laid out at once, so 切换页 never changes the window's size.
    setFixedSize(sizeHint());
    ShowPage();
}

void CQuickHelp::ShowPage()
{
    const int set = HelpSet();
    setWindowTitle(CoreText(QuickHelpTitle(set)));
    m_pages->setCurrentIndex(set);
}

void CQuickHelp::SwitchPage()
{
    m_operator.SwitchQuickHelpPage();
    ShowPage();
}

int CQuickHelp::HelpSet() const { return m_operator.QuickHelp().HelpSet == 1 ? 1 : 0; }

QStringList CQuickHelp::Cells(int line) const
{
    QStringList texts;
    for (const QLabel* label : m_cells[HelpSet()].at(line)) texts << label->text();
    return texts;
}

std::vector<int> CQuickHelp::CellLefts(int line) const
{
    std::vector<int> lefts;
    for (const QLabel* label : m_cells[HelpSet()].at(line)) lefts.push_back(label->mapTo(this, QPoint(0, 0)).x());
    return lefts;
}

void CQuickHelp::keyPressEvent(QKeyEvent* e)
{
    // Enter is the window's OK, Escape its Cancel: both close it.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void CQuickHelp::done(int result)
{
    m_operator.CloseQuickHelp();
    QDialog::done(result);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(CoreText(About::Title));
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    for (const char* text : {About::Name, About::BuildDate, About::Hint})
        texts->addWidget(new QLabel(CoreText(text), this));
    layout->addLayout(texts);
    auto* ok = new QPushButton(CoreText(About::Ok), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignTop);
}

}  // namespace tolvex
