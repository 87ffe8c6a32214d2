// Recipients in the whole program, offscreen, on a real Maildir store and vCard folder: names
// typed into To, Cc and Bcc and checked ("Chec&k names "), an ambiguous name chosen, an
// unknown person added as a new contact from the "Check names" dialog, a distribution list,
// and the address dialog behind "Mail Cc:...".
#include "ComposeWorkspace.h"
#include "ScriptedPrompter.h"
#include "compose/CheckNamesDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using namespace vantrel::compose;

class TestComposeWorkspace : public QObject
{
    Q_OBJECT

    composetest::ComposeWorkspace m_work;

    CSupportView* view() const { return m_work.view(); }
    ComposeController* compose() const { return m_work.compose(); }
    CRecipientBox* box(int id) const { return m_work.box(id); }
    CommandRouter& router() const { return m_work.router(); }
    static QStringList nameColours(QTextEdit* box)
    {
        return composetest::ComposeWorkspace::nameColours(box);
    }

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
    void initTestCase() { QVERIFY(m_work.start()); }
    void cleanupTestCase() { m_work.app.reset(); }

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
        QCOMPARE(QDir(m_work.path(u"Contacts"_s)).entryList({u"*.vcf"_s}).size(), 4);
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
        prompter.answerYes();                     // still within a message: log off
        prompter.answerNo();                      // do not save it
        prompter.dialogResult(QDialog::Rejected); // "&Trash message"
        QVERIFY(view()->mail()->OnLogoff());
        QCOMPARE(prompter.notices().size(), 3);
        QVERIFY(!compose()->state().message());
        QVERIFY(!compose()->addressBook().isOpen());
    }
};

QTEST_MAIN(TestComposeWorkspace)
#include "tst_composeworkspace.moc"
