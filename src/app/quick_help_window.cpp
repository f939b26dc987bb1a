#include "app/quick_help_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/panel_pictures.h"
#include "control/operator.h"
#include "control/quick_help.h"

namespace tolvex {

CQuickHelp::CQuickHelp(Operator& op) : QDialog(nullptr), m_operator(op)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString::fromUtf8("快速帮助"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    // The runs of blanks line up a second column where a Chinese character is two blanks wide.
    QFont lineFont = font();
    if (QFontDatabase::hasFamily("Noto Sans Mono CJK SC")) lineFont.setFamily("Noto Sans Mono CJK SC");
    for (QLabel*& line : m_lines) {
        line = new QLabel(this);
        line->setTextFormat(Qt::PlainText);
        line->setFont(lineFont);
        line->setMinimumHeight(line->fontMetrics().height());
        layout->addWidget(line);
    }
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* switchButton = new QPushButton(QString::fromUtf8(QuickHelpSwitchText), this);
    switchButton->setAutoDefault(false);
    connect(switchButton, &QPushButton::clicked, this, &CQuickHelp::SwitchPage);
    row->addWidget(switchButton);
    layout->addLayout(row);
    FillTexts();
}

void CQuickHelp::FillTexts()
{
    const int set = m_operator.QuickHelp().HelpSet;
    setWindowTitle(QString::fromUtf8(QuickHelpTitle(set)));
    const auto& lines = QuickHelpLines(set);
    for (int i = 0; i < QuickHelpLineCount; ++i) m_lines[i]->setText(QString::fromUtf8(lines[i]));
}

void CQuickHelp::SwitchPage()
{
    m_operator.SwitchQuickHelpPage();
    FillTexts();
}

int CQuickHelp::HelpSet() const { return m_operator.QuickHelp().HelpSet; }

QString CQuickHelp::Line(int index) const { return m_lines.at(index)->text(); }

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
    setWindowTitle(QString::fromUtf8(About::Title));
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    for (const char* text : {About::Name, About::BuildDate, About::Hint})
        texts->addWidget(new QLabel(QString::fromUtf8(text), this));
    layout->addLayout(texts);
    auto* ok = new QPushButton(QString::fromUtf8(About::Ok), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignTop);
}

}  // namespace tolvex
