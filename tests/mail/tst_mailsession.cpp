// Logon and logoff against the real mail library, a registry file and a profile file: which
// client is chosen, which library loads, and what the user is told on every way it fails.
#include "ScriptedPrompter.h"
#include "mail/AddinWarningDialog.h"
#include "mail/ChooseProfileDialog.h"
#include "mail/DesktopClient.h"
#include "mail/MailSession.h"
#include "registry/RegistryKey.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantrel::mail;

namespace {

const QByteArray kClientsRoot = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail]\n";
const QByteArray kMessaging = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Messaging "
                              "Subsystem]\n";
const QByteArray kMapiApps = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Messaging "
                             "Subsystem\\MSMapiApps]\n";

QByteArray client(const QByteArray& name, const QByteArray& library = {})
{
    QByteArray text = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\" + name + "]\n";
    if (!library.isNull())
        text += "\"DLLPathEx\"=\"" + library + "\"\n";
    return text;
}

const QByteArray kOneStore = "[Profile Test]\nDefault=true\nStores=Mail\n"
                             "[Store Test/Mail]\nPath=@ROOT@/store0\n";

QByteArray manyStores(int count)
{
    QByteArray text = "[Profile Test]\nDefault=true\nStores=";
    QByteArray sections;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "S" + QByteArray::number(i);
        text += (i ? ";" : "") + name;
        sections += "[Store Test/" + name + "]\nPath=@ROOT@/store" + QByteArray::number(i) + "\n";
        if (i == 0)
            sections += "Default=true\n";
    }
    return text + "\n" + sections;
}

QString warning(const QString& text)
{
    return u"Warning!: "_s + text;
}

QString information(const QString& text)
{
    return u"Information: "_s + text;
}

const QString kOpenKeyFailed = warning(u"Failed to open outlook registry key"_s);
const QString kNoClient = information(u"Sorry!  Outlook does not appear to be on your computer"_s);
const QString kLibraryFailed =
    warning(u"Failed to Initialize the message API - cannot not use mail program"_s);
const QString kNoProfile = information(u"Unable to find profile(s)"_s);

} // namespace

class TestMailSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void logon_data();
    void logon();
    void chooseProfile_data();
    void chooseProfile();
    void addinWarning_data();
    void addinWarning();
    void openDesktopClient_data();
    void openDesktopClient();
    void desktopClientGetsThisProgramRegistered();
    void secondLogonKeepsTheLibrary();

private:
    void install(QByteArray registry, QByteArray profiles);
    QStringList noticesOf(const ScriptedPrompter& prompter) const;

    QTemporaryDir m_dir;
};

void TestMailSession::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(m_dir.filePath(u"cache"_s)));
    for (int i = 0; i < 25; ++i) {
        for (const char* sub : {"cur", "new", "tmp"})
            QVERIFY(
                QDir().mkpath(m_dir.filePath(u"store%1/%2"_s.arg(i).arg(QLatin1StringView(sub)))));
    }
}

void TestMailSession::install(QByteArray registry, QByteArray profiles)
{
    registry.replace("@LIB@", VNTMAPI_LIBRARY_PATH).replace("@UI@", VNTMAPIUI_LIBRARY_PATH);
    profiles.replace("@ROOT@", QFile::encodeName(m_dir.path()));
    const QString registryPath = m_dir.filePath(u"registry.ini"_s);
    const QString profilesPath = m_dir.filePath(u"profiles.ini"_s);
    for (const auto& [path, text] : {std::pair{registryPath, registry}, {profilesPath, profiles}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(text), text.size());
    }
    qputenv("VANTREL_REGISTRY", QFile::encodeName(registryPath));
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(profilesPath));
}

QStringList TestMailSession::noticesOf(const ScriptedPrompter& prompter) const
{
    QStringList notices;
    for (const ScriptedPrompter::Notice& notice : prompter.notices())
        notices.append(notice.title + u": "_s + notice.text);
    return notices;
}

void TestMailSession::logon_data()
{
    QTest::addColumn<QByteArray>("registry");
    QTest::addColumn<QByteArray>("profiles");
    QTest::addColumn<QStringList>("notices");
    QTest::addColumn<int>("stores");
    QTest::addColumn<QString>("loadedPath");

    const QByteArray registered =
        kClientsRoot + "@=\"Vantrel Mail\"\n" + client("Vantrel Mail", "@LIB@");
    const QString lib = QStringLiteral(VNTMAPI_LIBRARY_PATH);

    QTest::newRow("registered client") << registered << kOneStore << QStringList() << 1 << lib;
    QTest::newRow("default client chosen over the first listed")
        << kClientsRoot + "@=\"Zeta\"\n" + client("Alpha", "@LIB@") +
               client("Zeta", "/nonexistent/libmail.so")
        << kOneStore << QStringList{kLibraryFailed} << 0 << QString();
    QTest::newRow("client without a library")
        << kClientsRoot + "@=\"Vantrel Mail\"\n" + client("Vantrel Mail") + kMessaging +
               "\"MAPIX\"=\"1\"\n"
        << kOneStore << QStringList{kNoClient} << 0 << QString();
    QTest::newRow("no clients key, MAPIX set")
        << kMessaging + "\"MAPIX\"=\"1\"\n"
        << kOneStore << QStringList() << 1 << u"mapi32.dll"_s;
    QTest::newRow("no clients key, MAPIX clear")
        << kMessaging + "\"MAPIX\"=\"0\"\n"
        << kOneStore << QStringList{kNoClient} << 0 << QString();
    QTest::newRow("nothing registered")
        << QByteArray() << kOneStore << QStringList{kOpenKeyFailed, kNoClient} << 0 << QString();
    QTest::newRow("desktop client without library, no MSMapiApps key")
        << kClientsRoot + client("Microsoft Outlook") << kOneStore
        << QStringList{kOpenKeyFailed, kNoClient} << 0 << QString();
    QTest::newRow("library without the entry points")
        << kClientsRoot + client("Vantrel Mail", "@UI@") << kOneStore << QStringList{kLibraryFailed}
        << 0 << QString();
    QTest::newRow("no profile") << registered << QByteArray() << QStringList{kNoProfile, kNoProfile}
                                << 0 << QString();
    QTest::newRow("profile without stores")
        << registered << QByteArray("[Profile Test]\nDefault=true\nStores=\n")
        << QStringList{information(u"No message stores under this profile"_s)} << 0 << QString();
    QTest::newRow("25 stores") << registered << manyStores(25)
                               << QStringList{information(
                                      u"Can only handle 20 stores per profile"_s)}
                               << 20 << lib;
}

void TestMailSession::logon()
{
    QFETCH(QByteArray, registry);
    QFETCH(QByteArray, profiles);
    QFETCH(QStringList, notices);
    QFETCH(int, stores);
    QFETCH(QString, loadedPath);
    install(registry, profiles);

    ScriptedPrompter prompter;
    MailSession session(nullptr, QCoreApplication::applicationFilePath());
    LogonSettings settings;
    QCOMPARE(session.logon(settings), stores > 0);
    QCOMPARE(noticesOf(prompter), notices);
    QCOMPARE(session.isLoggedOn(), stores > 0);
    QCOMPARE(session.storeCount(), stores);
    for (int slot = 0; slot < MailSession::kMaxStores; ++slot)
        QCOMPARE(session.store(slot) != nullptr, slot < stores);
    if (stores == 0)
        return;
    QCOMPARE(session.loadedPath(), loadedPath);
    // Slot 0 holds the default store, and the rows say which slot each store went to.
    const auto& rows = session.profileStores();
    const auto defaultRow = std::find_if(rows.cbegin(), rows.cend(),
                                         [](const auto& row) { return row.storeSlot == 1; });
    QVERIFY(defaultRow != rows.cend());
    QVERIFY(defaultRow->storeName == u"Mail"_s || defaultRow->storeName == u"S0"_s);
    QCOMPARE(std::count_if(rows.cbegin(), rows.cend(), [](const auto& row) { return row.opened; }),
             stores);
    QVERIFY(session.capabilities().richText || session.capabilities().html);

    prompter.clear();
    QVERIFY(session.logoff());
    QVERIFY(prompter.notices().isEmpty());
    QVERIFY(!session.isLoggedOn());
    QVERIFY(!session.store(0));
    QVERIFY(session.profileStores().isEmpty());
}

void TestMailSession::chooseProfile_data()
{
    QTest::addColumn<QString>("pick"); // empty: no selection
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("openedStore");

    QTest::newRow("OK on the other profile") << u"B"_s << int(QDialog::Accepted) << u"Work"_s;
    QTest::newRow("OK on the profile in use") << u"A"_s << int(QDialog::Accepted) << u"Mail"_s;
    QTest::newRow("OK without a selection") << QString() << int(QDialog::Accepted) << u"Mail"_s;
    QTest::newRow("Cancel") << u"B"_s << int(QDialog::Rejected) << u"Mail"_s;
}

void TestMailSession::chooseProfile()
{
    QFETCH(QString, pick);
    QFETCH(int, result);
    QFETCH(QString, openedStore);
    install(kClientsRoot + client("Vantrel Mail", "@LIB@"),
            "[Profile A]\nDefault=true\nStores=Mail\n[Store A/Mail]\nPath=@ROOT@/store0\n"
            "[Profile B]\nStores=Work\n[Store B/Work]\nPath=@ROOT@/store1\n");
    ScriptedPrompter prompter;
    QStringList shown;
    QString selectedAtFirst;
    prompter.dialogScript([&](QDialog& dialog) {
        auto* list = static_cast<ChooseProfileDialog&>(dialog).profileList();
        for (int i = 0; i < list->count(); ++i)
            shown.append(list->item(i)->text());
        selectedAtFirst = list->currentItem() ? list->currentItem()->text() : QString();
        list->clearSelection();
        const auto items = list->findItems(pick, Qt::MatchExactly);
        if (!pick.isEmpty() && !items.isEmpty())
            items.constFirst()->setSelected(true);
        return result;
    });
    MailSession session(nullptr, QCoreApplication::applicationFilePath());
    LogonSettings settings{true, 1};
    QVERIFY(session.logon(settings));
    QCOMPARE(prompter.notices().size(), 1);
    QCOMPARE(prompter.notices().constFirst().title, u"Choose Profile"_s);
    // Profile rows are listed as the enumeration left them: the default profile last.
    QCOMPARE(shown, (QStringList{u"B"_s, u"A"_s}));
    QCOMPARE(selectedAtFirst, u"A"_s);
    QCOMPARE(session.storeCount(), 1);
    const auto& rows = session.profileStores();
    const auto opened = std::find_if(rows.cbegin(), rows.cend(),
                                     [](const auto& row) { return row.storeSlot == 1; });
    QVERIFY(opened != rows.cend());
    QCOMPARE(opened->storeName, openedStore);
}

void TestMailSession::addinWarning_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<int>("settingAfter");

    QTest::newRow("ticked stops the warning") << 1 << true << 1 << 0;
    QTest::newRow("unticked keeps it") << 1 << false << 1 << 1;
    QTest::newRow("already stopped") << 0 << true << 0 << 0;
}

void TestMailSession::addinWarning()
{
    QFETCH(int, setting);
    QFETCH(bool, tick);
    QFETCH(int, dialogs);
    QFETCH(int, settingAfter);
    install(kClientsRoot + client("Vantrel Mail", "@LIB@"),
            "[Profile Test]\nDefault=true\nStores=Mail;Business Contact Manager\n"
            "[Store Test/Mail]\nPath=@ROOT@/store0\nDefault=true\n"
            "[Store Test/Business Contact Manager]\nPath=@ROOT@/store1\n");
    ScriptedPrompter prompter;
    bool startedUnticked = false;
    prompter.dialogScript([&](QDialog& dialog) {
        QCheckBox* box = static_cast<AddinWarningDialog&>(dialog).doNotShowAgain();
        startedUnticked = !box->isChecked();
        box->setChecked(tick);
        return int(QDialog::Accepted);
    });
    MailSession session(nullptr, QCoreApplication::applicationFilePath());
    LogonSettings settings{false, setting};
    QVERIFY(session.logon(settings));
    QVERIFY(session.hasAddinStore());
    session.warnAboutAddin(settings);
    QCOMPARE(prompter.notices().size(), dialogs);
    QCOMPARE(startedUnticked, dialogs == 1);
    QCOMPARE(settings.addinWarning, settingAfter);
    // The add-in's store is never opened as a mail store.
    QCOMPARE(session.storeCount(), 1);
    QVERIFY(!session.store(1));
}

void TestMailSession::openDesktopClient_data()
{
    QTest::addColumn<QByteArray>("appPath");
    QTest::addColumn<QString>("problem"); // empty: started

    QTest::newRow("started") << QByteArray("@=\"/bin/true\"") << QString();
    QTest::newRow("no such program")
        << QByteArray("@=\"@ROOT@/outlook\"") << u"Outlook not found."_s;
    QTest::newRow("no such folder") << QByteArray("@=\"@ROOT@/missing/outlook\"")
                                    << u"Outlook's program  path was not found."_s;
    QTest::newRow("no handler for the type")
        << QByteArray("\"MimeType\"=\"x-scheme-handler/x-vantrel-none\"")
        << u"This file does not have a program associated with it "_s;
}

void TestMailSession::openDesktopClient()
{
    QFETCH(QByteArray, appPath);
    QFETCH(QString, problem);
    // No desktop handlers but those of an empty folder.
    const QByteArray empty = QFile::encodeName(m_dir.filePath(u"xdg"_s));
    QVERIFY(QDir().mkpath(m_dir.filePath(u"xdg"_s)));
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
        qputenv(name, empty);
    appPath.replace("@ROOT@", QFile::encodeName(m_dir.path()));
    install("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
            "Paths\\outlook.exe]\n" +
                appPath + "\n",
            kOneStore);
    ScriptedPrompter prompter;
    QCOMPARE(OpenDesktopClient(nullptr), problem.isEmpty());
    QCOMPARE(noticesOf(prompter), problem.isEmpty()
                                      ? QStringList()
                                      : QStringList{u"Problem finding Outlook: "_s + problem});
}

void TestMailSession::desktopClientGetsThisProgramRegistered()
{
    install(kClientsRoot + client("Microsoft Outlook") + kMapiApps, kOneStore);
    ScriptedPrompter prompter;
    MailSession session(nullptr, u"C:\\Program Files\\Vantrel/bin:vantrel.exe"_s);
    LogonSettings settings;
    QVERIFY(session.logon(settings));
    QVERIFY(prompter.notices().isEmpty());
    QCOMPARE(session.clients(),
             (QList<MailClientEntry>{{u"Microsoft Outlook"_s, u"mapi32.dll"_s}}));

    vnt::registry::RegistryKey apps;
    QCOMPARE(apps.open(vnt::registry::HKEY_LOCAL_MACHINE,
                       u"SOFTWARE\\Microsoft\\Windows Messaging Subsystem\\MSMapiApps"_s,
                       vnt::registry::KEY_READ),
             vnt::registry::ERROR_SUCCESS);
    vnt::registry::RegistryValue value;
    QCOMPARE(apps.queryValue(u"vantrel.exe"_s, &value), vnt::registry::ERROR_SUCCESS);
    QCOMPARE(value.toString(), u"Microsoft Outlook"_s);
}

void TestMailSession::secondLogonKeepsTheLibrary()
{
    install(kClientsRoot + client("Vantrel Mail", "@LIB@"), kOneStore);
    ScriptedPrompter prompter;
    MailSession session(nullptr, QCoreApplication::applicationFilePath());
    LogonSettings settings;
    QVERIFY(session.logon(settings));
    QVERIFY(session.logoff());
    QVERIFY(session.logon(settings));
    QCOMPARE(session.libraryLoads(), 1);
    QVERIFY(session.store(0));
    QVERIFY(prompter.notices().isEmpty());
}

QTEST_MAIN(TestMailSession)
#include "tst_mailsession.moc"
