#include "CommandIcons.h"

#include "EmbeddedResources.h"

#include <QHash>
#include <QString>

namespace {

const QHash<int, QString>& themeNames()
{
    static const QHash<int, QString> names = {
        {1238, QStringLiteral("folder-new")},
        {57601, QStringLiteral("document-open")},
        {57603, QStringLiteral("document-save")},
        {32828, QStringLiteral("preferences-system")},
        {57635, QStringLiteral("edit-cut")},
        {57634, QStringLiteral("edit-copy")},
        {57637, QStringLiteral("edit-paste")},
        {57607, QStringLiteral("document-print")},
        {32783, QStringLiteral("edit-delete")},
        {32785, QStringLiteral("list-add")},
        {32789, QStringLiteral("edit-clear")},
        {59648, QStringLiteral("go-first")},
        {59651, QStringLiteral("go-previous")},
        {59650, QStringLiteral("go-next")},
        {59649, QStringLiteral("go-last")},
        {32845, QStringLiteral("preferences-desktop-font")},
        {32846, QStringLiteral("format-text-bold")},
        {32848, QStringLiteral("format-text-italic")},
        {32847, QStringLiteral("format-text-underline")},
        {32850, QStringLiteral("format-justify-left")},
        {32851, QStringLiteral("format-justify-center")},
        {32852, QStringLiteral("format-justify-right")},
        {32853, QStringLiteral("format-list-unordered")},
        {57667, QStringLiteral("help-contents")},
        {57669, QStringLiteral("help-whatsthis")},
        {1200, QStringLiteral("mail-message-new")},
        {1203, QStringLiteral("process-stop")},
        {1204, QStringLiteral("mail-reply-sender")},
        {1205, QStringLiteral("mail-reply-all")},
        {1202, QStringLiteral("mail-forward")},
        {1207, QStringLiteral("mail-send")},
        {32795, QStringLiteral("x-office-address-book")},
        {32892, QStringLiteral("contact-new")},
    };
    return names;
}

} // namespace

QIcon commandIcon(int commandId)
{
    const QIcon bundled(EmbeddedResources::iconRoot() + QStringLiteral("/%1.svg").arg(commandId));
    const QString themeName = themeNames().value(commandId);
    return themeName.isEmpty() ? bundled : QIcon::fromTheme(themeName, bundled);
}

QIcon applicationIcon()
{
    return QIcon(EmbeddedResources::iconRoot() + QStringLiteral("/vantrel.svg"));
}
