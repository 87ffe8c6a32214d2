// The text side of the recipient boxes: names typed into To, Cc and Bcc, the address inside a
// typed name, the coloured rich text a box shows, and the check of an address's form.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vantrel::compose {

// One name of a recipient box.
struct RecipientEntry
{
    int recipientType = 1; // 1 To, 2 Cc, 3 Bcc
    bool resolved = false; // matches a pending entry with an entry identifier
    bool matched = false;  // found in the pending list
    bool group = false;    // the matching entry is a distribution list
    QString displayText;
    QString address;
    QString addressType = QStringLiteral("SMTP");
};

// The names of one box's text: split at ";", trimmed, empty parts skipped.
QList<RecipientEntry> ParseBoxText(const QString& text, int recipientType);

// The address inside a typed name: what stands between the first opening bracket of "([{<"
// and the next closing one, without a leading "SMTP:"; the whole text when there is none.
QString ExtractAddress(const QString& text);

// The rich text of one box: resolved names underlined (blue, or green for a distribution
// list), the others red, each followed by ";".
QByteArray RenderBoxRtf(const QList<RecipientEntry>& entries, int recipientType);

// Whether `address` is a bare address a mail server takes: local part "@" domain, the local part
// a dot-atom or a quoted string, the domain a dot-atom of letters, digits and hyphens or an
// address literal. No display name, no comments, no spaces outside quotes.
bool IsValidAddress(const QString& address);

} // namespace vantrel::compose
