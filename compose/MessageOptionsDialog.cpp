#include "compose/MessageOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace vantrel::compose {

namespace {

void identify(QWidget* control, int id)
{
    control->setObjectName(QStringLiteral("c%1").arg(id));
    control->setProperty("controlId", id);
}

// `value` when the list has it, else `fallback`.
int shown(int value, int count, int fallback)
{
    return value >= 0 && value < count ? value : fallback;
}

} // namespace

MessageOptionsDialog::MessageOptionsDialog(const MessageOptions& options, QWidget* parent)
    : QDialog(parent)
    , m_sensitivity(new QComboBox(this))
    , m_importance(new QComboBox(this))
    , m_readReceipt(new QCheckBox(tr("Request read receipt for message"), this))
{
    setWindowTitle(tr("Mail options"));
    identify(m_sensitivity, kSensitivityId);
    identify(m_importance, kImportanceId);
    identify(m_readReceipt, kReadReceiptId);
    m_sensitivity->addItems(
        {tr("Not sensitive"), tr("Personal"), tr("Private"), tr("Confidential")});
    m_importance->addItems({tr("Low"), tr("Normal"), tr("High")});
    m_sensitivity->setCurrentIndex(shown(options.sensitivity, m_sensitivity->count(), 0));
    m_importance->setCurrentIndex(shown(options.importance, m_importance->count(), 1));
    m_readReceipt->setChecked(options.readReceipt);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(tr("Sensitivity"), m_sensitivity);
    fields->addRow(tr("Importance"), m_importance);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_readReceipt);
    layout->addWidget(buttons);
}

MessageOptions MessageOptionsDialog::options() const
{
    return {m_importance->currentIndex(), m_sensitivity->currentIndex(),
            m_readReceipt->isChecked()};
}

} // namespace vantrel::compose
