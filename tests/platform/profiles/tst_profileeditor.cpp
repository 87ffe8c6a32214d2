// The profile editor: what it writes is what the mail library reads, it keeps what it does
// not know, it never overwrites another program's change, and its window reports bad input.
#include "../mapi/MapiFixture.h"
#include "ProfileEditor.h"
#include "ProfileFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

using namespace mapitest;
using namespace vntprofiles;

namespace {

// Answers the window's questions from a script and keeps what it showed.
struct ScriptedPrompts
{
    QStringList answers; // for each name asked, in turn; none left: cancelled
    QStringList errors;
    bool confirmAnswer = true;

    EditorPrompts prompts()
    {
        EditorPrompts p;
        p.askText = [this](QWidget*, const QString&, const QString&, QString* text) {
            if (answers.isEmpty()) {
                return false;
            }
            *text = answers.takeFirst();
            return true;
        };
        p.showError = [this](QWidget*, const QString& message) {
            errors << message;
        };
        p.confirm = [this](QWidget*, const QString&) {
            return confirmAnswer;
        };
        p.chooseFolder = [](QWidget*, const QString&, const QString&) {
            return QString();
        };
        return p;
    }
};

const QByteArray kOneProfile = "[Profile Work]\n"
                               "Default=true\n"
                               "Stores=Mail\n"
                               "Name=Help Desk\n"
                               "Address=help@example.com\n"
                               "[Store Work/Mail]\n"
                               "Path=@ROOT@/mail1\n";

// The window over the profile file at `path`, shown, its questions answered by `script`.
struct OpenEditor
{
    explicit OpenEditor(const QString& path)
        : loaded(file.load(path))
        , editor(std::make_unique<ProfileEditor>(&file))
    {
        editor->setPrompts(script.prompts());
        editor->show();
    }

    ProfileFile file;
    bool loaded;
    ScriptedPrompts script;
    std::unique_ptr<ProfileEditor> editor;
};

template<typename T>
T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

} // namespace

class TestProfileEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void writtenProfilesLogOnThroughLibrary();
    void keepsWhatItDoesNotKnow();
    void refusesFileChangedByAnotherProgram_data();
    void refusesFileChangedByAnotherProgram();
    void profileNames_data();
    void profileNames();
    void validation_data();
    void validation();

    void windowManagesProfiles();
    void windowEditsTransport();
    void windowReportsBadInput_data();
    void windowReportsBadInput();
    void windowMnemonicsAreUniquePerTab();

private:
    QString path() const { return m_dir->filePath(u"profiles.ini"_s); }
    void writeProfiles(QByteArray ini);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestProfileEditor::initTestCase()
{
    QVERIFY2(library().isLoaded(), VNTMAPI_LIBRARY_PATH);
    QCOMPARE(api().MAPIInitialize(nullptr), S_OK);
}

void TestProfileEditor::cleanupTestCase()
{
    api().MAPIUninitialize();
}

void TestProfileEditor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    MaildirBuilder(m_dir->filePath(u"mail1"_s));
    MaildirBuilder(m_dir->filePath(u"mail2"_s));
    QVERIFY(QDir().mkpath(m_dir->filePath(u"contacts"_s)));
    QVERIFY(writeFile(m_dir->filePath(u"afile"_s), "not a folder"));
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(path()));
}

void TestProfileEditor::writeProfiles(QByteArray ini)
{
    ini.replace("@ROOT@", QFile::encodeName(m_dir->path()));
    QVERIFY(writeFile(path(), ini));
}

void TestProfileEditor::writtenProfilesLogOnThroughLibrary()
{
    ProfileFile file;
    QVERIFY(file.load(path()));
    QVERIFY(file.profiles().isEmpty());
    // Names and values that need the key file's escapes: list separators, leading spaces,
    // comment and assignment characters, non-ASCII text.
    QCOMPARE(file.addProfile(u"Büro Zwei"_s), QString());
    QCOMPARE(file.addStore(0, u"Inbox; Archive"_s), QString());
    QCOMPARE(file.addStore(0, u"Old = #mail"_s), QString());
    ProfileSettings details = file.profiles()[0];
    details.identityName = u" Jo #1; Bloggs"_s;
    details.identityAddress = u"jo@example.com"_s;
    details.stores[0].path = m_dir->filePath(u"mail1"_s);
    details.stores[0].contacts = m_dir->filePath(u"contacts"_s);
    details.stores[0].sentItems = u".Sent"_s;
    details.stores[1].path = m_dir->filePath(u"mail2"_s);
    details.stores[1].isDefault = true;
    details.stores[0].isDefault = false;
    details.transport.kind = TransportSettings::Smtp;
    details.transport.host = u"mail.example.com"_s;
    details.transport.port = 2525;
    details.transport.security = TransportSettings::Plain;
    details.transport.user = u"jo"_s;
    file.setDetails(0, details);
    QCOMPARE(file.addProfile(u"Home"_s), QString());
    QCOMPARE(file.addStore(1, u"Personal Folders"_s), QString());
    details = file.profiles()[1];
    details.stores[0].path = m_dir->filePath(u"mail1"_s);
    file.setDetails(1, details);
    file.setDefaultProfile(1);
    QString error;
    QVERIFY2(file.save(&error), qPrintable(error));
    QVERIFY(!fileContent(path()).contains("Password"));

    // The library lists the profiles with the chosen default ...
    MapiPtr<IProfAdmin> admin;
    QCOMPARE(api().MAPIAdminProfiles(0, admin.put()), S_OK);
    MapiPtr<IMAPITable> table;
    QCOMPARE(admin->GetProfileTable(0, table.put()), S_OK);
    RowSet rows;
    QCOMPARE(queryAll(table.get(), {PR_DISPLAY_NAME, PR_DEFAULT_PROFILE}, &rows), S_OK);
    QCOMPARE(texts(rows, PR_DISPLAY_NAME), (QStringList{u"Büro Zwei"_s, "Home"}));
    QVERIFY(!findValue(rows.row(0), PR_DEFAULT_PROFILE)->Value.b);
    QVERIFY(findValue(rows.row(1), PR_DEFAULT_PROFILE)->Value.b);

    // ... and logs on to one with its stores in order, the chosen store the default.
    MapiPtr<IMAPISession> session;
    QCOMPARE(newSession("Büro Zwei", &session), S_OK);
    MapiPtr<IMAPITable> stores;
    QCOMPARE(session->GetMsgStoresTable(0, stores.put()), S_OK);
    QCOMPARE(queryAll(stores.get(), {PR_DISPLAY_NAME, PR_DEFAULT_STORE}, &rows), S_OK);
    QCOMPARE(texts(rows, PR_DISPLAY_NAME), (QStringList{u"Inbox; Archive"_s, u"Old = #mail"_s}));
    QVERIFY(!findValue(rows.row(0), PR_DEFAULT_STORE)->Value.b);
    QVERIFY(findValue(rows.row(1), PR_DEFAULT_STORE)->Value.b);
    QVERIFY(openStore(session.get(), 1));
    rows.reset();
    endSession(&session, &stores);

    // Read back, every field is as written; a second save after the first is not refused.
    ProfileFile again;
    QVERIFY(again.load(path()));
    const ProfileSettings& read = again.profiles()[0];
    QCOMPARE(read.identityName, u" Jo #1; Bloggs"_s);
    QCOMPARE(read.stores[0].contacts, m_dir->filePath(u"contacts"_s));
    QCOMPARE(read.stores[0].sentItems, u".Sent"_s);
    QCOMPARE(read.transport.kind, TransportSettings::Smtp);
    QCOMPARE(read.transport.port, 2525);
    QCOMPARE(read.transport.security, TransportSettings::Plain);
    QCOMPARE(read.transport.user, u"jo"_s);
    QCOMPARE(file.renameProfile(1, u"Home 2"_s), QString());
    QVERIFY2(file.save(&error), qPrintable(error));
}

void TestProfileEditor::keepsWhatItDoesNotKnow()
{
    writeProfiles("# written by hand\n"
                  "[General]\n"
                  "Theme=dark;light\n"
                  "[Profile Old]\n"
                  "# the colour of the profile\n"
                  "Color=blue\n"
                  "Stores=S\n"
                  "[Store Old/S]\n"
                  "Path=@ROOT@/mail1\n"
                  "Extra=1\n"
                  "[Transport Old]\n"
                  "Kind=smtp\n"
                  "Host=mail.example.com\n"
                  "CaFile=/etc/ssl/extra.pem\n"
                  "RetrySeconds=30\n"
                  "[Profile Gone]\n"
                  "Stores=G\n"
                  "[Store Gone/G]\n"
                  "Path=@ROOT@/mail2\n");
    ProfileFile file;
    QVERIFY(file.load(path()));
    QCOMPARE(file.renameProfile(0, u"New"_s), QString());
    file.removeProfile(1);
    QString error;
    QVERIFY2(file.save(&error), qPrintable(error));

    const QByteArray written = fileContent(path());
    for (const char* kept : {"# written by hand", "[General]\nTheme=dark;light", "[Profile New]",
                             "# the colour of the profile\nColor=blue", "[Store New/S]", "Extra=1",
                             "[Transport New]", "CaFile=/etc/ssl/extra.pem", "RetrySeconds=30"}) {
        QVERIFY2(written.contains(kept), kept);
    }
    for (const char* gone : {"[Profile Old]", "[Store Old/", "[Transport Old]", "Gone"}) {
        QVERIFY2(!written.contains(gone), gone);
    }
}

void TestProfileEditor::refusesFileChangedByAnotherProgram_data()
{
    QTest::addColumn<bool>("existsAtLoad");
    QTest::addColumn<QByteArray>("change"); // what the other program leaves; empty: removed

    QTest::newRow("rewritten in place") << true << QByteArray("[Profile Other]\nStores=\n");
    QTest::newRow("replaced by rename") << true << QByteArray("[Profile X]\n");
    QTest::newRow("removed") << true << QByteArray();
    QTest::newRow("created after the editor found none") << false << QByteArray("[Profile Y]\n");
}

void TestProfileEditor::refusesFileChangedByAnotherProgram()
{
    QFETCH(bool, existsAtLoad);
    QFETCH(QByteArray, change);
    if (existsAtLoad) {
        writeProfiles(kOneProfile);
    }
    ProfileFile file;
    QVERIFY(file.load(path()));
    QCOMPARE(file.addProfile(u"Mine"_s), QString());
    const int mine = file.indexOf(u"Mine"_s);
    QCOMPARE(file.addStore(mine, u"Mail"_s), QString());
    ProfileSettings details = file.profiles()[mine];
    details.stores[0].path = m_dir->filePath(u"mail2"_s);
    file.setDetails(mine, details);

    if (change.isEmpty()) {
        QVERIFY(QFile::remove(path()));
    } else if (QByteArray(QTest::currentDataTag()).contains("rename")) {
        const QString other = path() + u".other"_s;
        QVERIFY(writeFile(other, change));
        QVERIFY(::rename(QFile::encodeName(other), QFile::encodeName(path())) == 0);
    } else {
        QVERIFY(writeFile(path(), change));
    }

    QString error;
    QVERIFY(!file.save(&error));
    QVERIFY2(error.contains(QLatin1String("changed by another program")), qPrintable(error));
    QCOMPARE(QFile::exists(path()), !change.isEmpty());
    if (!change.isEmpty()) {
        QCOMPARE(fileContent(path()), change);
    }
}

void TestProfileEditor::profileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem"); // a part of the message; empty: accepted

    QTest::newRow("empty") << QString() << "Enter a name";
    QTest::newRow("only spaces") << u"   "_s << u"Enter a name"_s;
    QTest::newRow("leading space") << u" Work2"_s << u"begin or end with a space"_s;
    QTest::newRow("slash") << u"Home/Work"_s << u"cannot contain"_s;
    QTest::newRow("bracket") << u"Home]"_s << u"cannot contain"_s;
    QTest::newRow("control character") << u"Ho\tme"_s << u"cannot contain"_s;
    QTest::newRow("same name") << u"Work"_s << u"already a profile named 'Work'"_s;
    QTest::newRow("same name, other case") << u"WORK"_s << u"already a profile named 'Work'"_s;
    QTest::newRow("non-ASCII") << u"Büro"_s << QString();
    QTest::newRow("separator and equals") << "a;b = c" << QString();
}

void TestProfileEditor::profileNames()
{
    QFETCH(QString, name);
    QFETCH(QString, problem);
    writeProfiles(kOneProfile);
    ProfileFile file;
    QVERIFY(file.load(path()));
    const QString added = file.addProfile(name);
    QVERIFY2(problem.isEmpty() ? added.isEmpty() : added.contains(problem), qPrintable(added));
    QCOMPARE(file.profiles().size(), problem.isEmpty() ? 2 : 1);
    // Renaming checks the same way, but a profile may keep its own name in another case.
    QCOMPARE(file.renameProfile(0, u"work"_s), QString());
}

void TestProfileEditor::validation_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("problem");

    const QByteArray good = kOneProfile;
    QTest::newRow("valid") << good << -1 << QString();
    QTest::newRow("no profile") << QByteArray("[General]\nX=1\n") << -1 << "at least one profile";
    QTest::newRow("names differing in case")
        << good + "[Profile work]\nStores=M\n[Store work/M]\nPath=@ROOT@/mail2\n"
        << 1 << "already a profile named";
    QTest::newRow("address without @")
        << QByteArray(good).replace("help@", "help.") << 0 << "not an e-mail address";
    QTest::newRow("no store") << QByteArray(good).replace("Stores=Mail", "Stores=") << 0
                              << "has no message store";
    QTest::newRow("store without path")
        << QByteArray(good).replace("@ROOT@/mail1", "") << 0 << "choose the folder";
    QTest::newRow("store path is a file")
        << QByteArray(good).replace("@ROOT@/mail1", "@ROOT@/afile") << 0 << "is not a folder";
    QTest::newRow("store path relative")
        << QByteArray(good).replace("@ROOT@/mail1", "mail1") << 0 << "not a full path";
    QTest::newRow("store folder missing")
        << QByteArray(good).replace("@ROOT@/mail1", "@ROOT@/nowhere") << 0 << "does not exist";
    QTest::newRow("contacts is a file") << good + "Contacts=@ROOT@/afile\n"
                                        << 0 << "is not a folder";
    QTest::newRow("contacts not made yet") << good + "Contacts=@ROOT@/new-contacts\n"
                                           << -1 << QString();
    QTest::newRow("special folder with a slash") << good + "SentItems=.Sent/x\n"
                                                 << 0 << "not a folder name";
    QTest::newRow("smtp without host") << good + "[Transport Work]\nKind=smtp\n"
                                       << 0 << "name of the SMTP server";
    QTest::newRow("smtp host with a space") << good + "[Transport Work]\nKind=smtp\nHost=a b\n"
                                            << 0 << "is not a server name";
    QTest::newRow("relative sendmail") << good + "[Transport Work]\nSendmail=sendmail\n"
                                       << 0 << "full path of the sendmail";
}

void TestProfileEditor::validation()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, profile);
    QFETCH(QString, problem);
    writeProfiles(ini);
    ProfileFile file;
    QVERIFY(file.load(path()));
    const ProfileProblem found = file.validate();
    QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.message.contains(problem),
             qPrintable(found.message));
    QCOMPARE(found.profile, profile);
    // Nothing is written while a problem remains.
    const QByteArray before = fileContent(path());
    QString error;
    QCOMPARE(file.save(&error), problem.isEmpty());
    if (!problem.isEmpty()) {
        QCOMPARE(error, found.message);
        QCOMPARE(fileContent(path()), before);
    }
}

void TestProfileEditor::windowManagesProfiles()
{
    OpenEditor open(path());
    QVERIFY(open.loaded);
    ProfileEditor& editor = *open.editor;
    ScriptedPrompts& script = open.script;
    auto* list = child<QListWidget>(&editor, "profileList");
    auto* storePath = child<QLineEdit>(&editor, "storePath");

    const QString mail1 = m_dir->filePath(u"mail1"_s);
    for (const QString& name : {u"First"_s, u"Second"_s}) {
        script.answers = QStringList{name, u"Mail"_s};
        QTest::mouseClick(child<QPushButton>(&editor, "newButton"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(&editor, "addStoreButton"), Qt::LeftButton);
        QTest::keyClicks(storePath, mail1);
    }
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), u"First (default)"_s);
    QCOMPARE(list->currentRow(), 1);

    script.answers = QStringList{u"Zweite"_s};
    QTest::mouseClick(child<QPushButton>(&editor, "renameButton"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&editor, "defaultButton"), Qt::LeftButton);
    QCOMPARE(list->item(1)->text(), u"Zweite (default)"_s);
    QVERIFY(!child<QPushButton>(&editor, "defaultButton")->isEnabled());

    list->setCurrentRow(0);
    script.confirmAnswer = false;
    QTest::mouseClick(child<QPushButton>(&editor, "deleteButton"), Qt::LeftButton);
    QCOMPARE(list->count(), 2);
    script.confirmAnswer = true;
    QTest::mouseClick(child<QPushButton>(&editor, "deleteButton"), Qt::LeftButton);
    QCOMPARE(list->count(), 1);

    auto* apply = child<QDialogButtonBox>(&editor, "buttons")->button(QDialogButtonBox::Apply);
    QVERIFY(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    QVERIFY2(script.errors.isEmpty(), qPrintable(script.errors.join(QLatin1Char('\n'))));
    QVERIFY(!apply->isEnabled());

    ProfileFile read;
    QVERIFY(read.load(path()));
    QCOMPARE(read.profiles().size(), 1);
    QCOMPARE(read.profiles()[0].name, u"Zweite"_s);
    QVERIFY(read.profiles()[0].isDefault);
    QCOMPARE(read.profiles()[0].stores[0].path, mail1);
}

void TestProfileEditor::windowEditsTransport()
{
    writeProfiles(kOneProfile);
    OpenEditor open(path());
    QVERIFY(open.loaded);
    ProfileEditor& editor = *open.editor;
    ScriptedPrompts& script = open.script;
    auto* host = child<QLineEdit>(&editor, "host");
    auto* port = child<QLineEdit>(&editor, "port");
    QVERIFY(!host->isEnabled()); // sendmail: no server to name

    auto* kind = child<QComboBox>(&editor, "transportKind");
    kind->setCurrentIndex(kind->findData(TransportSettings::Smtp));
    QVERIFY(host->isEnabled());
    QTest::keyClicks(host, u"smtp.example.com"_s);
    auto* security = child<QComboBox>(&editor, "security");
    security->setCurrentIndex(security->findData(TransportSettings::ImplicitTls));
    QCOMPARE(port->text(), u"465"_s); // the usual port follows
    port->selectAll();
    QTest::keyClicks(port, u"2465"_s);
    security->setCurrentIndex(security->findData(TransportSettings::Plain));
    QCOMPARE(port->text(), u"2465"_s); // a port of the user's own stays
    QTest::keyClicks(child<QLineEdit>(&editor, "user"), u"help@example.com"_s);
    QVERIFY(child<QLabel>(&editor, "passwordNote")->text().contains(QLatin1String("keyring")));

    QTest::mouseClick(child<QDialogButtonBox>(&editor, "buttons")->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    QVERIFY2(script.errors.isEmpty(), qPrintable(script.errors.join(QLatin1Char('\n'))));
    QCOMPARE(editor.result(), int(QDialog::Accepted));

    ProfileFile read;
    QVERIFY(read.load(path()));
    const TransportSettings& transport = read.profiles()[0].transport;
    QCOMPARE(transport.kind, TransportSettings::Smtp);
    QCOMPARE(transport.host, u"smtp.example.com"_s);
    QCOMPARE(transport.port, 2465);
    QCOMPARE(transport.security, TransportSettings::Plain);
    QCOMPARE(transport.user, u"help@example.com"_s);
}

void TestProfileEditor::windowReportsBadInput_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("problem");

    QTest::newRow("empty new name") << u"new:"_s << u"Enter a name for the profile"_s;
    QTest::newRow("duplicate new name") << u"new:work"_s << u"already a profile named 'Work'"_s;
    QTest::newRow("duplicate store") << u"store:MAIL"_s << u"already has a store named"_s;
    QTest::newRow("port out of range") << u"port:70000"_s << u"from 1 to 65535"_s;
    QTest::newRow("port not a number") << u"port:smtp"_s << u"from 1 to 65535"_s;
    QTest::newRow("store path not a folder") << u"path:afile"_s << u"is not a folder"_s;
    QTest::newRow("bad address") << u"address:help"_s << u"not an e-mail address"_s;
}

void TestProfileEditor::windowReportsBadInput()
{
    QFETCH(QString, action);
    QFETCH(QString, problem);
    writeProfiles(kOneProfile);
    const QByteArray before = fileContent(path());
    OpenEditor open(path());
    QVERIFY(open.loaded);
    ProfileEditor& editor = *open.editor;
    ScriptedPrompts& script = open.script;

    const QString verb = action.section(QLatin1Char(':'), 0, 0);
    const QString value = action.section(QLatin1Char(':'), 1);
    if (verb == QLatin1String("new") || verb == QLatin1String("store")) {
        script.answers = QStringList{value}; // then cancelled when asked again
        QTest::mouseClick(child<QPushButton>(&editor, verb == QLatin1String("new")
                                                          ? "newButton"
                                                          : "addStoreButton"),
                          Qt::LeftButton);
    } else {
        auto* kind = child<QComboBox>(&editor, "transportKind");
        kind->setCurrentIndex(kind->findData(TransportSettings::Smtp));
        QTest::keyClicks(child<QLineEdit>(&editor, "host"), u"mail.example.com"_s);
        const char* field = verb == QLatin1String("port")   ? "port"
                            : verb == QLatin1String("path") ? "storePath"
                                                            : "identityAddress";
        auto* edit = child<QLineEdit>(&editor, field);
        edit->selectAll();
        QTest::keyClicks(edit, verb == QLatin1String("path") ? m_dir->filePath(value) : value);
        QVERIFY(!editor.apply());
    }
    QCOMPARE(script.errors.size(), 1);
    QVERIFY2(script.errors[0].contains(problem), qPrintable(script.errors[0]));
    QCOMPARE(child<QListWidget>(&editor, "profileList")->count(), 1);
    QCOMPARE(fileContent(path()), before);
}

void TestProfileEditor::windowMnemonicsAreUniquePerTab()
{
    writeProfiles(kOneProfile);
    OpenEditor open(path());
    QVERIFY(open.loaded);
    ProfileEditor& editor = *open.editor;
    auto* tabs = editor.findChild<QTabWidget*>();
    const auto mnemonic = [](const QString& text) {
        const int at = text.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
    };
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QSet<QChar> seen;
        QStringList texts;
        for (int t = 0; t < tabs->count(); ++t) {
            texts << tabs->tabText(t);
        }
        for (QLabel* label : editor.findChildren<QLabel*>()) {
            if (label->isVisible() && !mnemonic(label->text()).isNull()) {
                QVERIFY2(label->buddy(), qPrintable(label->text()));
                texts << label->text();
            }
        }
        for (QAbstractButton* button : editor.findChildren<QAbstractButton*>()) {
            if (button->isVisible() && !button->text().isEmpty()) {
                QVERIFY2(!mnemonic(button->text()).isNull(), qPrintable(button->text()));
                texts << button->text();
            }
        }
        for (const QString& text : texts) {
            const QChar key = mnemonic(text);
            QVERIFY2(!seen.contains(key), qPrintable(text));
            seen.insert(key);
        }
    }
}

QTEST_MAIN(TestProfileEditor)
#include "tst_profileeditor.moc"
