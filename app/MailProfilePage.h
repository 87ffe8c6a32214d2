#pragma once

#include <QWidget>

class CSupportDoc;
class QRadioButton;

// The "Mail Profile" page of the Preferences sheet: whether logging on uses the default mail
// profile or asks for one.
class cproppage6 : public QWidget
{
    Q_OBJECT

public:
    explicit cproppage6(const CSupportDoc& doc, QWidget* parent = nullptr);

    QRadioButton* defaultProfileButton() const { return m_default; }
    QRadioButton* selectProfileButton() const { return m_select; }

    // Stores "Profile Option": 0 for the default profile, 1 to select one at logon.
    void apply(CSupportDoc& doc) const;

private:
    QRadioButton* m_default = nullptr;
    QRadioButton* m_select = nullptr;
};
