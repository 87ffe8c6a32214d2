#include "mail/AddinWarningDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vantrel::mail {

AddinWarningDialog::AddinWarningDialog(QWidget* parent)
    : QDialog(parent)
    , m_doNotShowAgain(
          new QCheckBox(u"Please tick if you do not wish to see this warning again."_s, this))
{
    setWindowTitle(u"Microsoft(r)  Business Contact Manager (r) Addin  warning! "_s);
    setProperty("dialogId", kDialogId);
    m_doNotShowAgain->setProperty("controlId", kDoNotShowAgainId);
    m_doNotShowAgain->setChecked(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_doNotShowAgain);
    layout->addWidget(buttons);
}

} // namespace vantrel::mail
