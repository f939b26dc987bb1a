#pragma once
// CCurrentD, CCurrentDM and CCurrentDMS: one dialog class that lays out the fields of its format.
// OK stays open while a field is out of range; what passes goes to the Operator.

#include <QDialog>

#include "control/position_dialog.h"

class QGridLayout;
class QRadioButton;

namespace tolvex {

class NumberEdit;
class Operator;

class CCurrentPosition : public QDialog {
    Q_OBJECT
public:
    CCurrentPosition(Operator& op, LatLonFormat format, QWidget* parent);

    // The fields read back; nothing (after the message) when a text is not a number.
    std::optional<PositionForm> ReadForm();
    NumberEdit* Field(const QString& label) const;
    QRadioButton* SouthOrWest(bool longitude) const { return longitude ? m_west : m_south; }

    void accept() override;
    void reject() override;

private:
    struct AngleEdits {
        NumberEdit* Degrees = nullptr;
        NumberEdit* Minutes = nullptr;
        NumberEdit* Seconds = nullptr;
    };
    void AddAngleRow(QGridLayout* grid, int row, const char* label, const QString& plus, const QString& minus,
                     AngleEdits& edits, QRadioButton*& negative, const AngleFields& fields);
    bool ReadAngle(const AngleEdits& edits, const QRadioButton* negative, AngleFields& fields);
    bool Read(NumberEdit* edit, double& value);

    Operator& m_operator;
    PositionForm m_form;
    AngleEdits m_latitude, m_longitude;
    QRadioButton* m_south = nullptr;
    QRadioButton* m_west = nullptr;
    NumberEdit* m_altitude = nullptr;
    NumberEdit* m_course = nullptr;
    NumberEdit* m_speed = nullptr;
    bool m_finished = false;
};

}  // namespace tolvex
