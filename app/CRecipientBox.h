#pragma once

#include "CharFormatRecord.h"

#include <QTextEdit>

// The To, Cc and Bcc boxes of the outgoing message. Names typed here start red, the
// colour of names not yet checked against the address book.
class CRecipientBox : public QTextEdit
{
    Q_OBJECT

public:
    enum Kind { To = 1, Cc = 2, Bcc = 3 };

    explicit CRecipientBox(QWidget* parent = nullptr);

    int kind() const { return m_kind; }
    void setKind(int kind) { m_kind = kind; }

    // Applies the start format to the whole text and as the typing format.
    void ApplyStartFormat();
    const CharFormatRecord& startFormat() const { return m_startFormat; }

private:
    int m_kind = To;
    CharFormatRecord m_startFormat;
};
