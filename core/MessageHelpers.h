#pragma once

#include <QString>

class QWidget;

// The program's notices. Every text and title is a string-table entry shown by its
// number; a missing entry still tells the user which one it was.

// Title kinds of ShowViewMessage.
enum MessageTitleKind {
    TitleGiven = 0,       // the given title text, or "Warning!" when it is empty
    TitleInformation = 1, // "Information"
    TitleWarning = 2,     // "Warning!"
};

// Without owner, exclamation icon, OK.
void ShowDocWarning(int messageId, int titleId);
// Owned by the view, exclamation icon, OK.
void ShowViewWarning(QWidget* view, int messageId, int titleId);
// Yes/No owned by the view; true for Yes.
bool AskViewYesNo(QWidget* view, int messageId, int titleId);
void ShowViewMessage(QWidget* view, int messageId, int titleKind, const QString& titleText = {});
// As ShowViewMessage, the text's %1 replaced by `argument`.
void ShowViewMessageArg(QWidget* view, int messageId, int titleKind, const QString& argument);

// The texts the helpers show, exposed for the few callers that compose their own box.
QString MessageText(int messageId);
QString TitleText(int titleId);
