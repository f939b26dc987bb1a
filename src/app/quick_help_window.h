#pragma once
// CQuickHelp, the modeless key and mouse summary, and CAboutDlg.

#include <QDialog>

#include <array>

class QLabel;
class QPushButton;

namespace tolvex {

class Operator;

class CQuickHelp : public QDialog {
    Q_OBJECT
public:
    // The page follows the operator's quick-help state; closing the window clears it.
    explicit CQuickHelp(Operator& op);

    void SwitchPage();
    int HelpSet() const;
    QString Line(int index) const;  // 0..14

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void done(int result) override;

private:
    void FillTexts();

    Operator& m_operator;
    std::array<QLabel*, 15> m_lines{};
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace tolvex
