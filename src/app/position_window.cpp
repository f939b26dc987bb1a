#include "app/position_window.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/field_edit.h"
#include "app/host_dialogs.h"
#include "app/qt_text.h"
#include "control/operator.h"

namespace tolvex {

CCurrentPosition::CCurrentPosition(Operator& op, LatLonFormat format, QWidget* parent)
    : QDialog(parent), m_operator(op), m_form(op.OpenPositionDialog(format))
{
    const PositionDialogLook look = PositionDialogOf(format);
    setWindowTitle(CoreText(look.Title));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    AddAngleRow(grid, 0, look.LatitudeLabel, tr("北"), tr("南"), m_latitude, m_south, m_form.Latitude);
    AddAngleRow(grid, 1, look.LongitudeLabel, tr("东"), tr("西"), m_longitude, m_west, m_form.Longitude);
    struct Extra {
        const char* Label;
        int Decimals;
        double Value;
        bool Enabled;
        NumberEdit** Edit;
    };
    const Extra extras[] = {{Texts::Mark("高度(米)"), 2, m_form.Altitude, m_form.AltitudeEnabled, &m_altitude},
                            {Texts::Mark("方位角(度)"), 4, m_form.Course, m_form.CourseEnabled, &m_course},
                            {Texts::Mark("速度(千米/小时)"), 2, m_form.SpeedKmh, m_form.SpeedEnabled, &m_speed}};
    int row = 2;
    for (const Extra& extra : extras) {
        grid->addWidget(new QLabel(CoreText(extra.Label), this), row, 0);
        auto* edit = new NumberEdit(CoreText(extra.Label), extra.Decimals, this);
        edit->SetValue(extra.Value);
        edit->setEnabled(extra.Enabled);
        grid->addWidget(edit, row, 1);
        *extra.Edit = edit;
        ++row;
    }
    layout->addLayout(grid);
    layout->addWidget(OkCancelButtons(this));
}

void CCurrentPosition::AddAngleRow(QGridLayout* grid, int row, const char* label, const QString& plus,
                                   const QString& minus, AngleEdits& edits, QRadioButton*& negative,
                                   const AngleFields& fields)
{
    const QString name = CoreText(label);
    grid->addWidget(new QLabel(name, this), row, 0);
    if (m_form.Format == LatLonFormat::D) {
        edits.Degrees = new NumberEdit(name, 6, this);
        edits.Degrees->SetValue(fields.SignedDegrees);
        grid->addWidget(edits.Degrees, row, 1);
        return;
    }
    auto* fieldsRow = new QHBoxLayout;
    edits.Degrees = new NumberEdit(name + tr("(度)"), -1, this);
    edits.Degrees->SetValue(fields.Degrees);
    fieldsRow->addWidget(edits.Degrees);
    fieldsRow->addWidget(new QLabel(QString::fromUtf8("°"), this));
    if (m_form.Format == LatLonFormat::DM) {
        edits.Minutes = new NumberEdit(name + tr("(分)"), 4, this);
        edits.Minutes->SetValue(fields.Minutes);
        fieldsRow->addWidget(edits.Minutes);
        fieldsRow->addWidget(new QLabel("'", this));
    } else {
        edits.Minutes = new NumberEdit(name + tr("(分)"), -1, this);
        edits.Minutes->SetValue(fields.WholeMinutes);
        fieldsRow->addWidget(edits.Minutes);
        fieldsRow->addWidget(new QLabel("'", this));
        edits.Seconds = new NumberEdit(name + tr("(秒)"), 2, this);
        edits.Seconds->SetValue(fields.Seconds);
        fieldsRow->addWidget(edits.Seconds);
        fieldsRow->addWidget(new QLabel("\"", this));
    }
    auto* group = new QButtonGroup(this);
    auto* positive = new QRadioButton(plus, this);
    negative = new QRadioButton(minus, this);
    group->addButton(positive);
    group->addButton(negative);
    (fields.Negative ? negative : positive)->setChecked(true);
    fieldsRow->addWidget(positive);
    fieldsRow->addWidget(negative);
    grid->addLayout(fieldsRow, row, 1);
}

NumberEdit* CCurrentPosition::Field(const QString& label) const { return findChild<NumberEdit*>(label); }

bool CCurrentPosition::Read(NumberEdit* edit, double& value)
{
    const std::optional<double> read = edit->Value();
    if (!read) {
        WarnAboutField(this, NotANumberText(*edit));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = *read;
    return true;
}

bool CCurrentPosition::ReadAngle(const AngleEdits& edits, const QRadioButton* negative, AngleFields& fields)
{
    double degrees = 0;
    if (!Read(edits.Degrees, degrees)) return false;
    if (m_form.Format == LatLonFormat::D) {
        fields.SignedDegrees = degrees;
        return true;
    }
    fields.Degrees = static_cast<int>(degrees);
    fields.Negative = negative && negative->isChecked();
    double minutes = 0;
    if (!Read(edits.Minutes, minutes)) return false;
    if (m_form.Format == LatLonFormat::DM) {
        fields.Minutes = minutes;
        return true;
    }
    fields.WholeMinutes = static_cast<int>(minutes);
    return Read(edits.Seconds, fields.Seconds);
}

std::optional<PositionForm> CCurrentPosition::ReadForm()
{
    PositionForm form = m_form;
    if (!ReadAngle(m_latitude, m_south, form.Latitude) || !ReadAngle(m_longitude, m_west, form.Longitude) ||
        !Read(m_altitude, form.Altitude) || !Read(m_course, form.Course) || !Read(m_speed, form.SpeedKmh))
        return std::nullopt;
    return form;
}

void CCurrentPosition::accept()
{
    const std::optional<PositionForm> form = ReadForm();
    if (!form) return;
    if (const std::optional<FieldRangeError> error = m_operator.ConfirmPositionDialog(*form)) {
        WarnAboutField(this, OutOfRangeText(FromUtf8(error->Field), error->Min, error->Max, false));
        return;
    }
    m_finished = true;
    QDialog::accept();
}

void CCurrentPosition::reject()
{
    if (!m_finished) m_operator.CancelPositionDialog();
    m_finished = true;
    QDialog::reject();
}

}  // namespace tolvex
