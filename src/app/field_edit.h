#pragma once
// Number fields of the dialogs: shown with a fixed number of decimals, read back with a check that
// names the field, so a typo is told to the user instead of becoming 0.

#include <QLineEdit>

#include <optional>
#include <string>

namespace tolvex {

class NumberEdit : public QLineEdit {
    Q_OBJECT
public:
    // decimals < 0: an integer field.
    NumberEdit(QString label, int decimals, QWidget* parent);

    void SetValue(double value);
    // The value, or nothing when the text is not a number of the field's kind. A text left as
    // SetValue showed it gives back the exact value, not the one rounded to the decimals shown.
    std::optional<double> Value() const;
    const QString& Label() const { return m_label; }
    bool Integer() const { return m_decimals < 0; }

private:
    QString m_label;
    int m_decimals;
    double m_value = 0;
    QString m_shown;
};

// The message for a text that is not a number, and for a value out of its range.
QString NotANumberText(const NumberEdit& edit);
QString OutOfRangeText(const QString& label, double min, double max, bool integer);
// The refusal of a field: a "警告" box over the dialog.
void WarnAboutField(QWidget* parent, const QString& text);

}  // namespace tolvex
