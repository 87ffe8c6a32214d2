#include "compose/CheckNamesDialog.h"

#include "compose/AdrList.h"
#include "core/MessageHelpers.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrel::compose {

namespace {
constexpr int kMsgNoRecipientChosen = 25722;
}

CheckNamesDialog::CheckNamesDialog(const AdrList& candidates, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Check names"));
    auto* prompt = new QLabel(QStringLiteral("&Select the address to use:"), this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("c1218"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Display name"),
                             QStringLiteral("Email Address"), QStringLiteral("Email type")});
    prompt->setBuddy(m_list);
    for (ULONG i = 0; i < candidates.count(); ++i) {
        const RecipientRow row = candidates.row(i);
        const QString name = (row.givenName + u' ' + row.surname).trimmed();
        new QTreeWidgetItem(m_list, {name.isEmpty() ? row.displayName : name, row.displayName,
                                     row.address, row.addressType});
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));

    auto* use = new QPushButton(QStringLiteral("&Use selected  recipient"), this);
    use->setObjectName(QStringLiteral("c1217"));
    use->setDefault(true);
    auto* newContact = new QPushButton(QStringLiteral("&New  Contact..."), this);
    newContact->setObjectName(QStringLiteral("c1216"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(use, &QPushButton::clicked, this, &CheckNamesDialog::useSelected);
    connect(m_list, &QTreeWidget::itemActivated, this, &CheckNamesDialog::useSelected);
    connect(newContact, &QPushButton::clicked, this, [this] { done(NewContact); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(use);
    buttons->addWidget(newContact);
    buttons->addStretch();
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(560, 260);
}

int CheckNamesDialog::selectedIndex() const
{
    QTreeWidgetItem* item = m_list->currentItem();
    return item && item->isSelected() ? m_list->indexOfTopLevelItem(item) : -1;
}

void CheckNamesDialog::useSelected()
{
    if (selectedIndex() < 0) {
        ShowViewMessage(this, kMsgNoRecipientChosen, TitleInformation);
        return;
    }
    done(UseSelected);
}

} // namespace vantrel::compose
