// Dialog 193: the warning shown at logon when the profile holds the Business Contact Manager
// add-in's store, with a box to stop it at later logons.
#pragma once

#include <QDialog>

class QCheckBox;

namespace vantrel::mail {

class AddinWarningDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 193;
    static constexpr int kDoNotShowAgainId = 1219;

    explicit AddinWarningDialog(QWidget* parent = nullptr);

    QCheckBox* doNotShowAgain() const { return m_doNotShowAgain; }

private:
    QCheckBox* m_doNotShowAgain;
};

} // namespace vantrel::mail
