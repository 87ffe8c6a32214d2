// Recipients in the whole program, offscreen, on a real Maildir store and vCard folder: names
// typed into To, Cc and Bcc and checked ("Chec&k names "), an ambiguous name chosen, an
// unknown person added as a new contact from the "Check names" dialog, a distribution list,
// and the address dialog behind "Mail Cc:...".
#include "CMainFrame.h"
#include "CRecipientBox.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "MailTestSetup.h"
#include "ScriptedPrompter.h"
#include "compose/CheckNamesDialog.h"
#include "compose/ComposeController.h"
#include "core/CommandRouter.h"
#include "core/SettingsStore.h"
#include "mail/MailController.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

namespace {

const std::pair<const char*, const char*> kCards[] = {
    {"archer", "UID:a1\nFN:Ann Archer\nN:Archer;Ann;;;\nEMAIL:ann.archer@example.com\n"},
    {"baker", "UID:a2\nFN:Ann Baker\nN:Baker;Ann;;;\nEMAIL:ann.baker@example.com\n"},
    {"team", "UID:t1\nKIND:group\nFN:Support Team\nMEMBER:mailto:ann.archer@example.com\n"},
};

// The colours of the names in a recipient box, in order: "blue", "green" or "red", with "_"
// for underlined.
QStringList nameColours(QTextEdit* box)
{
    QStringList colours;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString text = fragment.text().remove(u';').trimmed();
            if (text.isEmpty())
                continue;
            const QColor c = fragment.charFormat().foreground().color();
            const QString name = c == QColor(0, 0, 200)   ? u"blue"_s
                                 : c == QColor(0, 128, 0) ? u"green"_s
                                 : c == QColor(200, 0, 0) ? u"red"_s
                                                          : c.name();
            colours.append(text + u':' + name +
                           (fragment.charFormat().fontUnderline() ? u"_"_s : u""_s));
        }
    }
    return colours;
}

} // namespace

class TestComposeWorkspace : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSupportApp> m_app;

    CSupportView* view() const { return m_app->view(); }
    ComposeController* compose() const { return view()->compose(); }
    CRecipientBox* box(int id) const { return view()->recipientBox(id); }
    CommandRouter& router() const { return m_app->mainFrame()->router(); }

    void newMessage()
    {
        OutgoingState& state = compose()->state();
        state.StopOutgoing(true);
        QVERIFY(state.OpenOutbox());
        QVERIFY(state.CreateOutgoingMessage());
        state.setMode(OutgoingMode::Composing);
        view()->SelectTab(3);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char* part : {"cur", "new", "tmp"})
            QVERIFY(QDir().mkpath(m_dir.filePath(u"Mail/"_s + QLatin1StringView(part))));
        for (const auto& [name, body] : kCards) {
            QVERIFY(mailtest::writeFile(
                m_dir.filePath(u"Contacts/%1.vcf"_s.arg(QLatin1StringView(name))),
                "BEGIN:VCARD\nVERSION:4.0\n" + QByteArray(body) + "END:VCARD\n"));
        }
        QVERIFY(mailtest::installMailClient(
            m_dir.path(), "[Profile Support]\nDefault=true\nStores=Personal Folders\n"
                          "[Store Support/Personal Folders]\nDefault=true\n"
                          "Path=@ROOT@/Mail\nContacts=@ROOT@/Contacts\n"));
        {
            SettingsStore store(m_dir.filePath(u"settings.ini"_s));
            store.writeInt(SettingsStore::kInternalData, u"Logon to Mail at startup"_s, 1);
            QVERIFY(store.flush());
        }
        m_app = std::make_unique<CSupportApp>(QStringList{u"vantrel"_s});
        StartOptions options;
        options.programDirectory = m_dir.filePath(u"home/"_s);
        options.settingsFile = m_dir.filePath(u"settings.ini"_s);
        options.screenWidth = 1024;
        QVERIFY(m_app->InitInstance(options));
        QVERIFY(view()->mail()->isLoggedOn());
    }
    void cleanupTestCase() { m_app.reset(); }

    void typedNamesAreCheckedAgainstTheContacts()
    {
        QVERIFY(!router().state(ComposeController::kCmdCheckNames).enabled);
        newMessage();
        QVERIFY(router().state(ComposeController::kCmdCheckNames).enabled);
        QTest::keyClicks(box(1064), u"Ann; Zoe Quinn <zoe@quinn.example>"_s);
        QTest::keyClicks(box(1065), u"ann.archer@example.com"_s);
        QTest::keyClicks(box(1066), u"support"_s);
        QCOMPARE(nameColours(box(1064)), QStringList{u"Ann Zoe Quinn <zoe@quinn.example>:red"_s});

        ScriptedPrompter prompter;
        QStringList offered;
        prompter.dialogScript([&offered](QDialog& dialog) { // "Ann": two contacts
            auto* list = dialog.findChild<QTreeWidget*>(u"c1218"_s);
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                offered.append(list->topLevelItem(i)->text(1));
            list->setCurrentItem(list->topLevelItem(1));
            QTest::mouseClick(dialog.findChild<QPushButton*>(u"c1217"_s), Qt::LeftButton);
            return dialog.result();
        });
        prompter.dialogScript([](QDialog& dialog) { // Zoe: nobody, so the new-contact form
            auto* name = dialog.findChild<QLineEdit*>(u"c1203"_s);
            auto* address = dialog.findChild<QLineEdit*>(u"c1202"_s);
            if (!name || !address || address->text() != u"zoe@quinn.example"_s)
                return int(QDialog::Rejected);
            name->setText(u"Zoe Quinn"_s);
            return int(QDialog::Accepted);
        });
        prompter.dialogResult(CheckNamesDialog::UseSelected); // Cc: one match
        prompter.dialogResult(CheckNamesDialog::UseSelected); // Bcc: the group
        QVERIFY(router().execute(ComposeController::kCmdCheckNames));
        QCOMPARE(offered, (QStringList{u"Ann Archer"_s, u"Ann Baker"_s}));
        QCOMPARE(nameColours(box(1064)), (QStringList{u"Ann Baker:blue_"_s, u"Zoe Quinn:blue_"_s}));
        QCOMPARE(nameColours(box(1065)), QStringList{u"Ann Archer:blue_"_s});
        QCOMPARE(nameColours(box(1066)), QStringList{u"Support Team:green_"_s});
        QCOMPARE(prompter.notices().size(), 4); // the four dialogs, no message

        // Zoe is a card of the folder now, found by the next check without asking again.
        QCOMPARE(QDir(m_dir.filePath(u"Contacts"_s)).entryList({u"*.vcf"_s}).size(), 4);
        QTest::keyClicks(box(1064), u"Fred"_s);
        QCOMPARE(nameColours(box(1064)).last(), u"Fred:red"_s);
        box(1064)->setPlainText(u"Zoe Quinn"_s);
        box(1065)->clear();
        box(1066)->clear();
        QVERIFY(router().execute(ComposeController::kCmdCheckNames));
        QCOMPARE(nameColours(box(1064)), QStringList{u"Zoe Quinn:blue_"_s});
    }

    // "Mail Cc:..." opens the three-well dialog; a group chosen there shows green.
    void addressDialogFillsTheBoxes()
    {
        newMessage();
        QStringList wells;
        QTimer::singleShot(0, this, [&wells] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            wells.append(dialog->windowTitle());
            for (int i = 0; i < 3; ++i) {
                if (dialog->findChild<QListWidget*>(u"well%1"_s.arg(i)))
                    wells.append(u"well%1"_s.arg(i));
            }
            auto* search = dialog->findChild<QLineEdit*>(u"search"_s);
            QTest::keyClicks(search, u"Support"_s);
            QTest::mouseClick(dialog->findChild<QPushButton*>(u"wellButton1"_s), Qt::LeftButton);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QTest::mouseClick(qobject_cast<QPushButton*>(view()->control(1062)), Qt::LeftButton);
        QCOMPARE(wells, (QStringList{u"Please add your Mail recipients"_s, u"well0"_s, u"well1"_s,
                                     u"well2"_s}));
        QCOMPARE(nameColours(box(1065)), QStringList{u"Support Team:green_"_s});
        QVERIFY(box(1064)->toPlainText().isEmpty());
    }

    // Logging off releases the message; nothing is being composed afterwards.
    void logoffEndsTheMessage()
    {
        newMessage();
        ScriptedPrompter prompter;
        prompter.answerYes();
        QVERIFY(view()->mail()->OnLogoff());
        QVERIFY(!compose()->state().message());
        QVERIFY(!compose()->addressBook().isOpen());
    }
};

QTEST_MAIN(TestComposeWorkspace)
#include "tst_composeworkspace.moc"
