#include "mail/ChooseProfileDialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace vantrel::mail {

ChooseProfileDialog::ChooseProfileDialog(const QStringList& profiles, int selected, QWidget* parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
{
    setWindowTitle(tr("Choose Profile"));
    m_list->setProperty("controlId", kProfileListId);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->addItems(profiles);
    if (selected >= 0 && selected < m_list->count())
        m_list->setCurrentRow(selected);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

int ChooseProfileDialog::selectedRow() const
{
    const QList<QListWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : m_list->row(items.constFirst());
}

} // namespace vantrel::mail
