#pragma once
// CAddFavoPoint, "当前位置设为收藏点": the pose taken when the command ran goes into a chosen slot.

#include <QDialog>

#include "control/favorites.h"

class QComboBox;
class QLineEdit;

namespace tolvex {

class Operator;

class CAddFavoPoint : public QDialog {
    Q_OBJECT
public:
    CAddFavoPoint(Operator& op, QWidget* parent);

    QComboBox* Slots() const { return m_slots; }
    QLineEdit* Name() const { return m_name; }
    void accept() override;

private:
    Operator& m_operator;
    FavoriteDraft m_draft;
    QComboBox* m_slots;
    QLineEdit* m_name;
};

}  // namespace tolvex
