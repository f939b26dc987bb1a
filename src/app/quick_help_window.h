#pragma once
// CQuickHelp, the modeless key and mouse summary, and CAboutDlg.

#include <QDialog>

#include <array>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace tolvex {

class Operator;

// A help line cut into its columns at its runs of blanks: the runs stand for the column stops
// of the face the lines were written for, so the columns line up in any face.
QStringList QuickHelpCells(const QString& line);

class CQuickHelp : public QDialog {
    Q_OBJECT
public:
    // The page follows the operator's quick-help state; closing the window clears it. The window
    // shows without taking the keyboard from the panel.
    explicit CQuickHelp(Operator& op);

    void SwitchPage();
    int HelpSet() const;
    // The columns of line 0..14 of the page shown; empty for an empty line.
    QStringList Cells(int line) const;
    // Where each column of that line starts, in the window's coordinates.
    std::vector<int> CellLefts(int line) const;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void done(int result) override;

private:
    void ShowPage();

    Operator& m_operator;
    QStackedWidget* m_pages;
    // Per page and line, the labels of its columns.
    std::array<std::array<std::vector<QLabel*>, 15>, 2> m_cells{};
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace tolvex
