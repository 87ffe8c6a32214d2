// The password prompt of the mail library (MAPI_PASSWORD_UI): asked once per session when the
// desktop keyring has no password for the mail server.
#include "UiHost.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <cstring>

namespace {

class PasswordDialog : public QDialog
{
public:
    PasswordDialog(QWidget* parent, const QString& host, const QString& user, bool offerKeyring)
        : QDialog(parent)
    {
        setObjectName(QStringLiteral("vntmapiPasswordDialog"));
        setWindowTitle(tr("Mail server password"));
        auto* layout = new QFormLayout(this);
        layout->addRow(new QLabel(tr("Enter the password for %1 on the mail server %2.")
                                      .arg(user.toHtmlEscaped(), host.toHtmlEscaped())));
        m_password = new QLineEdit(this);
        m_password->setObjectName(QStringLiteral("password"));
        m_password->setEchoMode(QLineEdit::Password);
        layout->addRow(tr("&Password:"), m_password);
        m_remember = new QCheckBox(tr("&Remember it in the desktop keyring"), this);
        m_remember->setObjectName(QStringLiteral("remember"));
        m_remember->setVisible(offerKeyring);
        layout->addRow(m_remember);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addRow(buttons);
    }

    QString password() const { return m_password->text(); }
    bool remember() const { return m_remember->isVisible() && m_remember->isChecked(); }

private:
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
};

} // namespace

VNTMAPIUI_EXPORT int vntmapiui_askPassword(ULONG_PTR parent, const char* host, const char* user,
                                           char* password, unsigned size, int offerKeyring,
                                           int* remember)
{
    if (!vnt::mapiui::canShowDialogs() || !password || size == 0) {
        return 0;
    }
    PasswordDialog dialog(vnt::mapiui::dialogParent(parent), QString::fromUtf8(host),
                          QString::fromUtf8(user), offerKeyring != 0);
    if (dialog.exec() != QDialog::Accepted) {
        return 0;
    }
    const QByteArray answer = dialog.password().toUtf8();
    if (static_cast<unsigned>(answer.size()) >= size) {
        return 0;
    }
    std::memcpy(password, answer.constData(), static_cast<std::size_t>(answer.size()) + 1);
    if (remember) {
        *remember = dialog.remember() ? 1 : 0;
    }
    return 1;
}
