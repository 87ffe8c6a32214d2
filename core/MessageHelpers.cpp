#include "MessageHelpers.h"

#include "Prompter.h"
#include "StringTable.h"

namespace {

const QString kWarningTitle = QStringLiteral("Warning!");
const QString kInformationTitle = QStringLiteral("Information");

// Titles of 129 characters or more are cut to the 127 the title buffer held.
constexpr qsizetype kLongTitle = 129;
constexpr qsizetype kTitleCut = 127;

} // namespace

QString MessageText(int messageId)
{
    QString text;
    if (!StringTable::instance().load(messageId, &text))
        text = QStringLiteral("Unknown error display %1").arg(messageId);
    return text;
}

QString TitleText(int titleId)
{
    QString text;
    if (!StringTable::instance().load(titleId, &text))
        text = QStringLiteral("Warning  %1").arg(titleId);
    return text;
}

void ShowDocWarning(int messageId, int titleId)
{
    Prompter::current().warning(nullptr, TitleText(titleId), MessageText(messageId));
}

void ShowViewWarning(QWidget* view, int messageId, int titleId)
{
    Prompter::current().warning(view, TitleText(titleId), MessageText(messageId));
}

bool AskViewYesNo(QWidget* view, int messageId, int titleId)
{
    return Prompter::current().askYesNo(view, TitleText(titleId), MessageText(messageId));
}

namespace {

QString viewTitle(int messageId, int titleKind, const QString& titleText)
{
    QString title;
    switch (titleKind) {
    case TitleInformation:
        title = kInformationTitle;
        break;
    case TitleWarning:
        title = kWarningTitle;
        break;
    default:
        title = titleText.isEmpty() ? kWarningTitle : titleText;
        if (title.size() >= kLongTitle)
            title.truncate(kTitleCut);
        break;
    }
    return StringTable::instance().contains(messageId) ? title : kWarningTitle;
}

} // namespace

void ShowViewMessage(QWidget* view, int messageId, int titleKind, const QString& titleText)
{
    Prompter::current().warning(view, viewTitle(messageId, titleKind, titleText),
                                MessageText(messageId));
}

void ShowViewMessageArg(QWidget* view, int messageId, int titleKind, const QString& argument)
{
    Prompter::current().warning(view, viewTitle(messageId, titleKind, {}),
                                MessageText(messageId).arg(argument));
}

bool AskViewYesNoArg(QWidget* view, int messageId, int titleId, const QString& argument)
{
    return Prompter::current().askYesNo(view, TitleText(titleId),
                                        MessageText(messageId).arg(argument));
}

void ShowViewText(QWidget* view, const QString& text, int titleId, const QString& fallbackTitle)
{
    QString title;
    if (!StringTable::instance().load(titleId, &title))
        title = fallbackTitle;
    Prompter::current().warning(view, title, text);
}
