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
// As AskViewYesNo, the text's %1 replaced by `argument`.
bool AskViewYesNoArg(QWidget* view, int messageId, int titleId, const QString& argument);
// A text that is not in the string table (a report put together at run time) under the
// title `titleId`, or `fallbackTitle` when that entry is missing.
void ShowViewText(QWidget* view, const QString& text, int titleId, const QString& fallbackTitle);

// The texts the helpers show, exposed for the few callers that compose their own box.
QString MessageText(int messageId);
QString TitleText(int titleId);
