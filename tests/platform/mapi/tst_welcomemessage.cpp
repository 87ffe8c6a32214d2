// The welcome message of a new local mail store: one, in new/, only in a store the library
// made itself, readable through the library, and never at the cost of the profile.
#include "../fileio/FaultTestUtil.h"
#include "MapiFixture.h"

#include <QtTest>
#include <optional>

using namespace mapitest;

namespace {

// The first use without a profile file: the library writes the default profile and, with
// VANTREL_HOME pointing at `program`, its store there.
HRESULT makeDefaultProfile(const QString& profiles, const QString& program)
{
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(profiles));
    qputenv("VANTREL_HOME", QFile::encodeName(program));
    MapiPtr<IProfAdmin> admin;
    MapiPtr<IMAPITable> table;
    HRESULT hr = api().MAPIAdminProfiles(0, admin.put());
    if (SUCCEEDED(hr)) {
        hr = admin->GetProfileTable(0, table.put());
    }
    qunsetenv("VANTREL_HOME");
    return hr;
}

// Files bigger than the limit cannot be written (a full disk, as far as a write can tell); the
// profile file is smaller than that, the welcome message is not.
using faulttest::FileSizeLimit;

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files);
}

} // namespace

class TestWelcomeMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(library().isLoaded(), VNTMAPI_LIBRARY_PATH);
        QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
    }
    void cleanupTestCase() { api().MAPIUninitialize(); }

    void writtenOnlyIntoANewStore_data()
    {
        QTest::addColumn<bool>("storeThere");
        QTest::addColumn<int>("profilesMade");
        QTest::addColumn<int>("sizeLimit"); // 0: none
        QTest::addColumn<int>("welcomes");

        QTest::newRow("new store") << false << 1 << 0 << 1;
        QTest::newRow("profile made again") << false << 2 << 0 << 1;
        QTest::newRow("store already there") << true << 1 << 0 << 0;
        QTest::newRow("message cannot be written") << false << 1 << 600 << 0;
    }

    void writtenOnlyIntoANewStore()
    {
        QFETCH(bool, storeThere);
        QFETCH(int, profilesMade);
        QFETCH(int, sizeLimit);
        QFETCH(int, welcomes);
        QTemporaryDir home;
        const QString profiles = home.filePath(QStringLiteral("config/profiles.ini"));
        const QString store = home.filePath(QStringLiteral("program/Mail"));
        if (storeThere) {
            MaildirBuilder(store).addMessage(
                QString(), QStringLiteral("cur"), QStringLiteral("1.own:2,S"),
                email("Subject: Mine\r\n"), QDateTime::currentDateTime());
        }
        for (int made = 0; made < profilesMade; ++made) {
            QFile::remove(profiles);
            std::optional<FileSizeLimit> limit;
            if (sizeLimit > 0) {
                limit.emplace(rlim_t(sizeLimit));
            }
            QCOMPARE(makeDefaultProfile(profiles, home.filePath(QStringLiteral("program"))), S_OK);
            QVERIFY(QFile::exists(profiles));
        }
        QCOMPARE(filesIn(store + QStringLiteral("/new")).size(), welcomes);
        QCOMPARE(filesIn(store + QStringLiteral("/cur")).size(), storeThere ? 1 : 0);
        QVERIFY(filesIn(store + QStringLiteral("/tmp")).isEmpty());
    }

    void readsAsAPlainMessage()
    {
        QTemporaryDir home;
        const QString profiles = home.filePath(QStringLiteral("profiles.ini"));
        QCOMPARE(makeDefaultProfile(profiles, home.filePath(QStringLiteral("program"))), S_OK);
        const QString newDir = home.filePath(QStringLiteral("program/Mail/new"));
        const QStringList files = filesIn(newDir);
        QCOMPARE(files.size(), 1);
        const QByteArray raw = fileContent(newDir + u'/' + files.first());
        for (const char* header : {"\nDate: ", "\nMessage-ID: <welcome.", "\nMIME-Version: 1.0\n",
                                   "\nContent-Type: text/plain; charset=utf-8\n"}) {
            QVERIFY2(raw.contains(header), header);
        }

        qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(profiles));
        MapiPtr<IMAPISession> session;
        QCOMPARE(
            api().MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED, session.put()),
            S_OK);
        MapiPtr<IMsgStore> store = openStore(session.get());
        MapiPtr<IMAPIFolder> inbox = openInbox(store.get());
        QVERIFY(inbox);
        RowSet rows;
        QCOMPARE(
            contents(inbox.get(),
                     {PR_SUBJECT, PR_SENDER_EMAIL_ADDRESS, PR_MESSAGE_FLAGS, PR_CLIENT_SUBMIT_TIME},
                     &rows),
            S_OK);
        QCOMPARE(texts(rows), QStringList{QStringLiteral("Welcome to Vantrel")});
        QCOMPARE(text(findValue(rows.row(0), PR_SENDER_EMAIL_ADDRESS)),
                 QStringLiteral("welcome@vantrel.invalid"));
        QVERIFY(!(findValue(rows.row(0), PR_MESSAGE_FLAGS)->Value.l & MSGFLAG_READ));
        const QDateTime sent = QDateTime::fromSecsSinceEpoch(qint64(
            fileTime(findValue(rows.row(0), PR_CLIENT_SUBMIT_TIME)) / 10000000 - 11644473600LL));
        QVERIFY(qAbs(sent.secsTo(QDateTime::currentDateTime())) < 60);
        const QString body = QString::fromUtf8(raw.mid(raw.indexOf("\n\n") + 2));
        for (const char* said :
             {"vantrel --demo DIR", "F1", "Help Topics", "vntmapi-profiles", "Preferences"}) {
            QVERIFY2(body.contains(QLatin1String(said)), said);
        }
        endSession(&session, &inbox, &store);
    }
};

QTEST_GUILESS_MAIN(TestWelcomeMessage)
#include "tst_welcomemessage.moc"
