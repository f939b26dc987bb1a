#include "app/field_edit.h"
#include "app/qt_text.h"

#include <QMessageBox>
#include <QPushButton>

#include <cmath>

namespace tolvex {

NumberEdit::NumberEdit(QString label, int decimals, QWidget* parent)
    : QLineEdit(parent), m_label(std::move(label)), m_decimals(decimals)
{
    setObjectName(m_label);
}

void NumberEdit::SetValue(double value)
{
    m_value = value;
    m_shown = m_decimals < 0 ? QString::number(static_cast<long long>(std::llround(value)))
                             : QString::number(value, 'f', m_decimals);
    setText(m_shown);
}

std::optional<double> NumberEdit::Value() const
{
    if (text() == m_shown && std::isfinite(m_value)) return m_value;
    bool ok = false;
    const QString text = this->text().trimmed();
    if (m_decimals < 0) {
        const int value = text.toInt(&ok);
        if (!ok) return std::nullopt;
        return value;
    }
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

QString NotANumberText(const NumberEdit& edit)
{
    return edit.Integer() ? FromUtf8(Texts::tr("%1：请输入一个整数。")).arg(edit.Label())
                          : FromUtf8(Texts::tr("%1：请输入一个数值。")).arg(edit.Label());
}

QString OutOfRangeText(const QString& label, double min, double max, bool integer)
{
    const QString kind = integer ? FromUtf8(Texts::tr("整数")) : FromUtf8(Texts::tr("数值"));
    return FromUtf8(Texts::tr("%1：请输入介于 %2 和 %3 之间的%4。"))
        .arg(label)
        .arg(QString::number(min, 'g', 10))
        .arg(QString::number(max, 'g', 10))
        .arg(kind);
}

void WarnAboutField(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, FromUtf8(Texts::tr("警告")), text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(FromUtf8(Texts::tr("确定")));
    box.exec();
}

}  // namespace tolvex
