#include "ProviderPicker.h"

#include "core/MessageHelpers.h"
#include "core/Prompter.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kMsgSaveDefault = 20221;
constexpr int kTitleSaveDefault = 20222;
constexpr int kMsgSaveChosen = 20223;
constexpr int kTitleSaveChosen = 20224;

} // namespace

ProviderPicker::ProviderPicker(const QStringList& providers, const QString& current,
                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ProviderPicker"));
    setWindowTitle(QStringLiteral("Enumerators"));
    // The blanks inside both texts are the program's own spacing.
    auto* caption = new QLabel(
        QStringLiteral("Please select a Provider.    ( See recommendation below )"), this);
    caption->setObjectName(QStringLiteral("caption"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("providers"));
    m_list->addItems(providers);
    caption->setBuddy(m_list);
    auto* hint = new QLabel(
        QStringLiteral(
            "Data source provider for Microsoft Access(tm)  is Microsoft.Jet.OLEDB.4.0   "),
        this);
    hint->setObjectName(QStringLiteral("hint"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &ProviderPicker::updateOk);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_list->setCurrentItem(item);
        accept();
    });

    // Provider identifiers are not case sensitive.
    const QList<QListWidgetItem*> listed = m_list->findItems(current, Qt::MatchFixedString);
    if (!current.isEmpty() && !listed.isEmpty())
        m_list->setCurrentItem(listed.first());
    updateOk();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_list);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    m_list->setFocus();
}

QString ProviderPicker::selectedProvider() const
{
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void ProviderPicker::updateOk()
{
    m_ok->setEnabled(!m_list->selectedItems().isEmpty());
}

bool ProviderPicker::choose(QWidget* parent, const QStringList& providers, const QString& current,
                            QString* chosen)
{
    ProviderPicker picker(providers, current, parent);
    if (Prompter::current().runDialog(picker) != QDialog::Accepted)
        return false;
    const QString provider = picker.selectedProvider();
    if (provider.isEmpty())
        return false;
    if (chosen)
        *chosen = provider;
    return true;
}

bool AskSaveInternalDefault(QWidget* owner)
{
    return AskViewYesNo(owner, kMsgSaveDefault, kTitleSaveDefault);
}

bool AskSaveChosenProvider(QWidget* owner)
{
    return AskViewYesNo(owner, kMsgSaveChosen, kTitleSaveChosen);
}
