// The whole program, offscreen, logged on to a real Maildir store with a vCard contacts
// folder, for the tests of writing, checking and sending messages in the workspace.
#pragma once

#include "CMainFrame.h"
#include "CRecipientBox.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "MailTestSetup.h"
#include "ProgramStart.h"
#include "compose/ComposeController.h"
#include "core/CommandRouter.h"
#include "core/SettingsStore.h"
#include "mail/MailController.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

namespace composetest {

inline const std::pair<const char*, const char*> kWorkspaceCards[] = {
    {"archer", "UID:a1\nFN:Ann Archer\nN:Archer;Ann;;;\nEMAIL:ann.archer@example.com\n"},
    {"baker", "UID:a2\nFN:Ann Baker\nN:Baker;Ann;;;\nEMAIL:ann.baker@example.com\n"},
    {"team", "UID:t1\nKIND:group\nFN:Support Team\nMEMBER:mailto:ann.archer@example.com\n"},
};

class ComposeWorkspace
{
public:
    // `storeLines` and `profileLines` go into the store's and the profile's groups (a transport
    // group can follow in `profileLines`).
    bool start(const QByteArray& storeLines = {}, const QByteArray& extraGroups = {})
    {
        if (!dir.isValid())
            return false;
        for (const char* folder : {"", ".Drafts", ".Projects"}) {
            for (const char* part : {"cur", "new", "tmp"})
                QDir().mkpath(
                    dir.filePath(QStringLiteral("Mail/%1/%2")
                                     .arg(QLatin1StringView(folder), QLatin1StringView(part))));
        }
        for (const auto& [name, body] : kWorkspaceCards) {
            if (!mailtest::writeFile(
                    dir.filePath(QStringLiteral("Contacts/%1.vcf").arg(QLatin1StringView(name))),
                    "BEGIN:VCARD\nVERSION:4.0\n" + QByteArray(body) + "END:VCARD\n"))
                return false;
        }
        if (!mailtest::installMailClient(
                dir.path(), "[Profile Support]\nDefault=true\nStores=Personal Folders\n"
                            "Name=Sam Support\nAddress=sam@example.com\n"
                            "[Store Support/Personal Folders]\nDefault=true\n"
                            "Path=@ROOT@/Mail\nContacts=@ROOT@/Contacts\n" +
                                storeLines + extraGroups))
            return false;
        {
            SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
            store.writeInt(SettingsStore::kInternalData, QStringLiteral("Logon to Mail at startup"),
                           1);
            if (!store.flush())
                return false;
        }
        return startProgram(app, dir.filePath(QStringLiteral("home/")),
                            dir.filePath(QStringLiteral("settings.ini"))) &&
               view()->mail()->isLoggedOn();
    }

    CSupportView* view() const { return app->view(); }
    vantrel::compose::ComposeController* compose() const { return view()->compose(); }
    CRecipientBox* box(int id) const { return view()->recipientBox(id); }
    CommandRouter& router() const { return app->mainFrame()->router(); }
    QString path(const QString& relative) const { return dir.filePath(relative); }
    // Message files of a Maildir folder ("" the Inbox, ".Drafts", ...).
    QStringList messagesIn(const QString& folder) const
    {
        QStringList files;
        for (const char* part : {"cur", "new"}) {
            const QString sub =
                dir.filePath(QStringLiteral("Mail/%1/%2").arg(folder, QLatin1StringView(part)));
            for (const QString& name : QDir(sub).entryList(QDir::Files))
                files.append(sub + u'/' + name);
        }
        return files;
    }

    // The names in a recipient box with their colours: "Name:blue", "Name:green_" (underlined).
    static QStringList nameColours(QTextEdit* box)
    {
        QStringList colours;
        for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QString text = fragment.text().remove(u';').trimmed();
                if (text.isEmpty())
                    continue;
                const QColor c = fragment.charFormat().foreground().color();
                const QString name = c == QColor(0, 0, 200)   ? QStringLiteral("blue")
                                     : c == QColor(0, 128, 0) ? QStringLiteral("green")
                                     : c == QColor(200, 0, 0) ? QStringLiteral("red")
                                                              : c.name();
                colours.append(
                    text + u':' + name +
                    (fragment.charFormat().fontUnderline() ? QStringLiteral("_") : QString()));
            }
        }
        return colours;
    }

    QTemporaryDir dir;
    std::unique_ptr<CSupportApp> app;
};

} // namespace composetest
