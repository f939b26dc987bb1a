#include "app/favorite_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/host_dialogs.h"
#include "app/qt_text.h"
#include "control/operator.h"

namespace tolvex {

CAddFavoPoint::CAddFavoPoint(Operator& op, QWidget* parent)
    : QDialog(parent), m_operator(op), m_draft(op.BeginSaveFavorite()), m_slots(new QComboBox(this)),
      m_name(new QLineEdit(this))
{
    setWindowTitle(tr("当前位置设为收藏点"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("当前位置："), this));
    layout->addWidget(new QLabel(FromUtf8(m_draft.Description), this));
    layout->addWidget(new QLabel(tr("选择待替换的收藏点"), this));
    for (const std::string& row : m_draft.Rows) m_slots->addItem(FromUtf8(row));
    m_slots->setCurrentIndex(m_draft.Selected);
    layout->addWidget(m_slots);
    layout->addWidget(new QLabel(tr("收藏点名称"), this));
    m_name->setMaxLength(static_cast<int>(MaxFavoriteNameLength));
    m_name->setText(FromUtf8(m_draft.Name));
    layout->addWidget(m_name);
    layout->addWidget(OkCancelButtons(this));
    // A new slot brings its own name into the box.
    connect(m_slots, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) m_name->setText(FromUtf8(m_operator.FavoriteName(index)));
    });
}

void CAddFavoPoint::accept()
{
    m_operator.SaveFavorite(m_draft, m_slots->currentIndex(), ToUtf8(m_name->text()));
    QDialog::accept();
}

}  // namespace tolvex
