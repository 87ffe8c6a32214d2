// The message list over a real logon to the mail library: a Maildir Inbox with a message of
// each kind, a vCard contacts folder and an empty store, shown in an offscreen QTreeView.
// Changes made to the Maildir from outside reach the list through the table's notifications.
#include "DialogCounter.h"
#include "MailTestSetup.h"
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/ProgressFeedback.h"
#include "core/SettingsStore.h"
#include "mail/ListImages.h"
#include "mail/MailSession.h"
#include "mail/MapiRows.h"
#include "mail/MessageFilter.h"
#include "mail/MessageList.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <ctime>
#include <utime.h>

using namespace Qt::StringLiterals;
using namespace vantrel::mail;

namespace {

using ListHost = mailtest::TestMailHost;

// Delivered 2024-01-15 20:04 UTC, which the list shows in the test's zone (UTC-5).
const QDateTime kDelivered(QDate(2024, 1, 15), QTime(20, 4), Qt::UTC);
const QString kDeliveredText = u"Mon 01/15/2024 03:04 PM"_s;
const QString kSentText = u"Mon 01/15/2024 03:30 AM"_s;

QByteArray message(const QByteArray& subject, const QByteArray& headers = {},
                   bool attachment = false)
{
    QByteArray text =
        "From: Ann Lee <ann@example.org>\r\nTo: help@example.com\r\nSubject: " + subject + "\r\n" +
        headers + "MIME-Version: 1.0\r\n";
    if (!attachment)
        return text + "Content-Type: text/plain\r\n\r\nHello.\r\n";
    return text + "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                  "Content-Type: text/plain\r\n\r\nSee attached.\r\n--b\r\n"
                  "Content-Type: application/pdf\r\nContent-Disposition: attachment; "
                  "filename=a.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\nAAAA\r\n--b--\r\n";
}

const QByteArray kDate = "Date: Mon, 15 Jan 2024 08:30:00 +0000\r\n";

QByteArray vcard(const QByteArray& uid, const QByteArray& given, const QByteArray& surname)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + given + " " + surname +
           "\r\nN:" + surname + ";" + given + ";;;\r\nEMAIL:" + uid +
           "@example.com\r\nEND:VCARD\r\n";
}

// Columns: Importance, Sensitivity, Attachment, Read, Subject, Recieved, Size, Sent,
// Receipt requested.
constexpr ColumnMask kCellsMask = 0x8F3F;
constexpr ColumnMask kSubjectMask = 0x100;
// Mail type, Full name, Email Address 1, last name.
constexpr ColumnMask kContactsMask = 0x1054;

} // namespace

class TestMessageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void filterRestriction_data();
    void filterRestriction();
    void columns_data();
    void columns();
    void cells_data();
    void cells();
    void sortTwice();
    void filterOnUnread();
    void filterOnSurname_data();
    void filterOnSurname();
    void emptyFolderIsNotAdvised();
    void dragStartsOnMessagesOnly();
    void changesFromOutside();
    void bigFolderShowsProgress();

private:
    QString writeMessage(const QString& sub, const QString& name, const QByteArray& content);
    bool openInbox(ColumnMask mask);
    bool openContacts(ColumnMask mask, bool contactProperties = true);
    int rowOf(const QString& subject, int column) const;
    QStringList column(int column) const;
    QStringList headers() const;

    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSupportDoc> m_doc;
    std::unique_ptr<MailSession> m_session;
    ListHost m_host;
    std::unique_ptr<QTreeView> m_view;
    std::unique_ptr<MessageList> m_list;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    Qt::KeyboardModifiers m_modifiers;
};

void TestMessageList::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("TZ", "EST5");
    tzset();
    for (const char* folder :
         {"mail/cur", "mail/new", "mail/tmp", "empty/cur", "empty/new", "empty/tmp", "contacts"})
        QVERIFY(QDir().mkpath(m_dir.filePath(QLatin1StringView(folder))));
    QVERIFY(mailtest::installMailClient(m_dir.path(),
                                        "[Profile Test]\nDefault=true\nStores=Mail;Empty\n"
                                        "[Store Test/Mail]\nDefault=true\nPath=@ROOT@/mail\n"
                                        "Contacts=@ROOT@/contacts\n"
                                        "[Store Test/Empty]\nPath=@ROOT@/empty\n"));

    writeMessage(u"cur"_s, u"1.alpha:2,S"_s,
                 message("Alpha high", kDate + "X-Priority: 1\r\nSensitivity: Personal\r\n"
                                               "Disposition-Notification-To: ann@example.org\r\n"));
    writeMessage(u"new"_s, u"2.bravo"_s,
                 message("Bravo low", kDate + "X-Priority: 5\r\nSensitivity: Private\r\n"));
    writeMessage(u"cur"_s, u"3.charlie:2,S"_s,
                 message("Charlie attach", kDate + "Sensitivity: Company-Confidential\r\n", true));
    writeMessage(u"new"_s, u"4.delta"_s, message("Delta plain"));
    writeMessage(u"new"_s, u"5.echo"_s, message("Echo unread attach", kDate, true));
    for (const auto& [uid, given, surname] : {std::tuple{"smith", "John", "Smith"},
                                              {"smythe", "Jane", "Smythe"},
                                              {"sanders", "Sam", "Sanders"},
                                              {"jones", "Jo", "Jones"}}) {
        QFile card(m_dir.filePath(u"contacts/%1.vcf"_s.arg(QLatin1StringView(uid))));
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write(vcard(uid, given, surname));
    }

    m_store = std::make_unique<SettingsStore>(m_dir.filePath(u"settings.ini"_s));
    m_doc = std::make_unique<CSupportDoc>(*m_store, m_dir.path() + u'/');
    m_session = std::make_unique<MailSession>(nullptr, QCoreApplication::applicationFilePath());
    LogonSettings settings;
    QVERIFY(m_session->logon(settings));
    QCOMPARE(m_session->storeCount(), 2);
}

void TestMessageList::init()
{
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_view = std::make_unique<QTreeView>();
    m_view->resize(900, 400);
    m_view->show();
    m_modifiers = {};
    m_list = std::make_unique<MessageList>(*m_session, *m_doc, m_host, m_view.get(),
                                           [] { return true; });
    m_list->setModifierQuery([this] { return m_modifiers; });
    m_list->buildColumnTable();
}

void TestMessageList::cleanup()
{
    m_list.reset();
    m_view.reset();
    if (m_prompter && !QTest::currentTestFailed())
        QCOMPARE(m_prompter->notices().size(), 0);
    m_prompter.reset();
}

QString TestMessageList::writeMessage(const QString& sub, const QString& name,
                                      const QByteArray& content)
{
    // Written aside and renamed in, as a delivery agent does.
    const QString temporary = m_dir.filePath(u"mail/tmp/"_s + name);
    const QString path = m_dir.filePath(u"mail/%1/%2"_s.arg(sub, name));
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    file.close();
    const utimbuf times{kDelivered.toSecsSinceEpoch(), kDelivered.toSecsSinceEpoch()};
    utime(QFile::encodeName(temporary).constData(), &times);
    return QFile::rename(temporary, path) ? path : QString();
}

bool TestMessageList::openInbox(ColumnMask mask)
{
    m_doc->setColumnMask(MaskKind::Inbox, mask);
    FolderRecord inbox;
    inbox.folderClass = FolderClass::Inbox;
    ULONG size = 0;
    MapiBuffer<ENTRYID> id(m_session->api());
    if (FAILED(m_session->store(0)->GetReceiveFolder("IPM.Note", 0, &size, id.put(), nullptr)))
        return false;
    inbox.entryId = QByteArray(reinterpret_cast<const char*>(id.get()), size);
    return m_list->openContents(inbox, m_session->store(0), true);
}

bool TestMessageList::openContacts(ColumnMask mask, bool contactProperties)
{
    m_doc->setColumnMask(MaskKind::Contacts, mask);
    FolderRecord contacts;
    contacts.folderClass = FolderClass::Contacts;
    contacts.sequence = 1;
    // The store's Inbox names its contacts folder.
    if (!openInbox(kSubjectMask))
        return false;
    MapiBuffer<SPropValue> value(m_session->api());
    TagArray tag{PR_IPM_CONTACT_ENTRYID};
    ULONG count = 0;
    if (FAILED(m_list->folder()->GetProps(tag.get(), 0, &count, value.put())) || count != 1)
        return false;
    contacts.entryId = BinaryOf(value.get());
    return m_list->openContents(contacts, m_session->store(0), contactProperties);
}

QStringList TestMessageList::column(int column) const
{
    QStringList texts;
    for (int row = 0; row < m_list->rowCount(); ++row)
        texts.append(m_list->model().cellText(row, column));
    return texts;
}

int TestMessageList::rowOf(const QString& subject, int column) const
{
    return static_cast<int>(this->column(column).indexOf(subject));
}

// Header texts; an icon column shows as "<image>".
QStringList TestMessageList::headers() const
{
    QStringList texts;
    const auto& model = m_list->model();
    for (int i = 0; i < model.columnCount(); ++i) {
        const int image = model.headerData(i, Qt::Horizontal, ImageRole).toInt();
        texts.append(image ? u"<%1>"_s.arg(image) : model.headerData(i, Qt::Horizontal).toString());
    }
    return texts;
}

namespace {

// A restriction in words, to compare with the expected one.
QString describe(const SRestriction* r)
{
    static const char* const kRelations[] = {"<", "<=", ">", ">=", "==", "!="};
    const auto value = [](const SPropValue* v) {
        switch (PROP_TYPE(v->ulPropTag)) {
        case PT_LONG:
            return QString::number(v->Value.l);
        case PT_BOOLEAN:
            return QString::fromLatin1(v->Value.b ? "true" : "false");
        case PT_SYSTIME:
            return u"%1:%2"_s.arg(v->Value.ft.dwHighDateTime).arg(v->Value.ft.dwLowDateTime);
        default:
            return u"'%1'"_s.arg(QString::fromUtf8(v->Value.lpszA));
        }
    };
    switch (r->rt) {
    case RES_AND:
        return describe(&r->res.resAnd.lpRes[0]) + u" and "_s + describe(&r->res.resAnd.lpRes[1]);
    case RES_PROPERTY:
        return u"%1 %2 %3"_s.arg(r->res.resProperty.ulPropTag, 8, 16, QChar(u'0'))
            .arg(QLatin1StringView(kRelations[r->res.resProperty.relop]),
                 value(r->res.resProperty.lpProp));
    case RES_CONTENT: {
        const ULONG fuzzy = r->res.resContent.ulFuzzyLevel;
        return u"%1 %2%3 %4"_s.arg(r->res.resContent.ulPropTag, 8, 16, QChar(u'0'))
            .arg(QLatin1StringView((fuzzy & 0xFFFF) == FL_PREFIX ? "starts" : "contains"),
                 QLatin1StringView(fuzzy & FL_IGNORECASE ? "/i" : ""),
                 value(r->res.resContent.lpProp));
    }
    default:
        return u"?"_s;
    }
}

} // namespace

void TestMessageList::filterRestriction_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("contacts");
    QTest::addColumn<int>("image");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("expected"); // empty: the filter is reset

    const auto add = [](const char* name, int column, bool contacts, int image, const QString& text,
                        bool shift, const QString& expected) {
        QTest::newRow(name) << column << contacts << image << text << shift << expected;
    };
    add("importance high", 2, false, 1, {}, false, u"00170003 == 2"_s);
    add("importance low", 2, false, 2, {}, false, u"00170003 == 0"_s);
    add("importance normal", 2, false, 0, {}, false, u"00170003 == 1"_s);
    add("unread", 5, false, 4, {}, false, u"0e070003 == 0"_s);
    add("read", 5, false, 5, {}, false, u"0e070003 == 1"_s);
    add("read, no image", 5, false, 0, {}, false, QString());
    add("sensitivity private", 3, false, 0, u"Private"_s, false, u"00360003 == 2"_s);
    add("sensitivity blank", 3, false, 0, u" "_s, false, u"00360003 == 0"_s);
    add("sensitivity unknown", 3, false, 0, u"Unknown"_s, false, u"00360003 == 0"_s);
    add("size shown", 10, false, 0, u"1234"_s, false, u"0e080003 == 1234"_s);
    add("attachment shown", 4, false, 3, {}, false, u"0e1b000b == true"_s);
    add("attachment empty", 4, false, 0, {}, false, u"0e1b000b == false"_s);
    add("receipt yes", 15, false, 0, u"yes"_s, false, u"0029000b == true"_s);
    add("receipt no", 15, false, 0, u"No"_s, false, u"0029000b == false"_s);
    add("receipt other", 15, false, 0, u"T"_s, false, QString());
    add("subject", 8, false, 0, u"Invoice 12"_s, false, u"0037001e contains/i 'Invoice 12'"_s);
    add("no row selected", 8, false, 0, {}, false, u"0037001e contains/i ''"_s);
    add("received", 9, false, 0, {}, false, u"0e060040 >= 1:100 and 0e060040 <= 7:100"_s);
    add("sent", 11, false, 0, {}, false, u"00390040 >= 2:200 and 00390040 <= 8:200"_s);
    add("placeholder binary", 23, false, 0, u"x"_s, false, QString());
    add("surname", 12, true, 0, u"Smith"_s, false, u"3a11001e starts/i 'S'"_s);
    add("surname, shift", 12, true, 0, u"Smith"_s, true, u"3a11001e starts/i 'Sm'"_s);
    add("surname of one letter", 12, true, 0, u"Q"_s, true, u"3a11001e starts/i 'Q'"_s);
    add("surname, surrogate pair", 12, true, 0, u"\U0001D11Ex"_s, false,
        u"3a11001e starts/i '\U0001D11E'"_s);
    add("full name", 4, true, 0, u"John Smith"_s, false, u"3001001e starts/i 'J'"_s);
    add("title is no name", 13, true, 0, u"Dr"_s, false, u"3a17001e contains/i 'Dr'"_s);
    add("contact", 2, true, 6, {}, false, u"001a001e contains/i 'IPM.Contact'"_s);
    add("distribution list", 2, true, 7, {}, false, u"001a001e contains/i 'IPM.DistList'"_s);
    add("unresolved named column", 5, true, 0, u"Jo"_s, false, QString());
}

void TestMessageList::filterRestriction()
{
    QFETCH(int, column);
    QFETCH(bool, contacts);
    QFETCH(int, image);
    QFETCH(QString, text);
    QFETCH(bool, shift);
    QFETCH(QString, expected);

    FilterCell cell{DefaultColumns()[static_cast<size_t>(column)].mail, contacts, image, text,
                    shift};
    if (contacts)
        cell.column = DefaultColumns()[static_cast<size_t>(column)].contacts;
    // Times of the message read last: delivered 4:100, sent 5:200, created 6:300.
    ReadState read;
    read.deliveryTime = (std::uint64_t{4} << 32) | 100;
    read.submitTime = (std::uint64_t{5} << 32) | 200;
    read.creationTime = (std::uint64_t{6} << 32) | 300;
    FilterRestriction restriction;
    const bool built = BuildFilterRestriction(cell, read, &restriction);
    QCOMPARE(built ? describe(restriction.get()) : QString(), expected);
}

void TestMessageList::columns_data()
{
    QTest::addColumn<bool>("contacts");
    QTest::addColumn<ColumnMask>("mask");
    QTest::addColumn<bool>("contactProperties");
    QTest::addColumn<QStringList>("headers");

    QTest::newRow("inbox default")
        << false << defaultColumnMask(MaskKind::Inbox) << true
        << QStringList{u"<1>"_s,  u"Sensitivity"_s, u"<3>"_s,     u"<4>"_s,
                       u"From"_s, u"Subject"_s,     u"Recieved"_s};
    QTest::newRow("keys only") << false << ColumnMask{0x3} << true << QStringList{u"No columns"_s};
    QTest::newRow("one key") << false << ColumnMask{0x1} << true << QStringList{u"No columns"_s};
    QTest::newRow("nothing") << false << ColumnMask{0} << true << QStringList();
    QTest::newRow("contacts") << true << ColumnMask{0x2FC} << true
                              << QStringList{
                                     u"<6>"_s,         u"File As"_s,         u"Full name"_s,
                                     u"Display As"_s,  u"Email Address 1"_s, u"Display As 2"_s,
                                     u"Display As 3"_s};
    QTest::newRow("contacts without their named e-mail properties")
        << true << ColumnMask{0x2FC} << false
        << QStringList{u"<6>"_s, u"File As"_s, u"Full name"_s, u"Email Address 1"_s};
}

void TestMessageList::columns()
{
    QFETCH(bool, contacts);
    QFETCH(ColumnMask, mask);
    QFETCH(bool, contactProperties);
    QFETCH(QStringList, headers);

    m_doc->setColumnWidth(3, 123, WidthList::Contacts);
    m_doc->setColumnWidth(3, 95, WidthList::Messages);
    m_list->buildColumnTable();
    QVERIFY(openInbox(kSubjectMask));
    const bool opened = contacts ? openContacts(mask, contactProperties) : openInbox(mask);
    QCOMPARE(opened, !headers.isEmpty());
    // A folder that cannot be shown leaves no rows of the one before.
    QCOMPARE(m_list->rowCount() == 0, !opened);
    if (!opened)
        return;
    QCOMPARE(this->headers(), headers);
    if (headers.size() < 2)
        return;
    // Saved widths replace the defaults; a width the user sets is saved for this form only.
    QHeaderView* header = m_view->header();
    QCOMPARE(header->sectionSize(0), contacts ? 28 : 24);
    QCOMPARE(header->sectionSize(1), contacts ? 123 : 95);
    header->resizeSection(1, 77);
    QCOMPARE(m_doc->columnWidth(3, contacts ? WidthList::Contacts : WidthList::Messages), 77);
    QCOMPARE(m_doc->columnWidth(3, contacts ? WidthList::Messages : WidthList::Contacts),
             contacts ? 95 : 123);
}

void TestMessageList::cells_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QStringList>("cells"); // images as "<n>", texts as shown

    const QString size = u"<size>"_s;
    QTest::newRow("high, personal, read, receipt")
        << u"Alpha high"_s << QStringList{u"<1>"_s,       u"Personal"_s, u"<0>"_s,  u"<5>"_s,
                                          kDeliveredText, size,          kSentText, u"Yes"_s};
    QTest::newRow("low, private, unread")
        << u"Bravo low"_s << QStringList{u"<2>"_s,       u"Private"_s, u"<0>"_s,  u"<4>"_s,
                                         kDeliveredText, size,         kSentText, u"No"_s};
    QTest::newRow("normal, confidential, attachment")
        << u"Charlie attach"_s
        << QStringList{u"<0>"_s, u"Confidential"_s, u"<3>"_s, u"<5>"_s, kDeliveredText,
                       size,     kSentText,         u"No"_s};
    QTest::newRow("no sensitivity, no date")
        << u"Delta plain"_s
        << QStringList{u"<0>"_s, u" "_s, u"<0>"_s, u"<4>"_s, kDeliveredText, size, u" "_s, u"No"_s};
}

void TestMessageList::cells()
{
    QFETCH(QString, subject);
    QFETCH(QStringList, cells);
    QVERIFY(openInbox(kCellsMask));
    const int subjectColumn = 4;
    const int row = rowOf(subject, subjectColumn);
    QVERIFY(row >= 0);
    QStringList shown;
    for (int column = 0; column < m_list->model().columnCount(); ++column) {
        if (column == subjectColumn)
            continue;
        const bool icon =
            m_list->model().data(m_list->model().index(row, column), IconColumnRole).toBool();
        shown.append(icon ? u"<%1>"_s.arg(m_list->model().cellImage(row, column))
                          : m_list->model().cellText(row, column));
    }
    // The size is the file's, in unsigned decimal.
    QVERIFY(shown[5].toInt() > 100);
    shown[5] = u"<size>"_s;
    QCOMPARE(shown, cells);
}

void TestMessageList::sortTwice()
{
    QVERIFY(openInbox(kSubjectMask));
    QVERIFY(m_list->isAdvised());
    QStringList ascending = column(0);
    std::sort(ascending.begin(), ascending.end());
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());

    QSignalSpy reads(m_list.get(), &MessageList::readRequested);
    const auto selectFirst = [this] {
        m_view->selectionModel()->setCurrentIndex(m_list->model().index(0, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    };
    selectFirst();
    QCOMPARE(reads.size(), 1);

    QHeaderView* header = m_view->header();
    const QPoint onSubject(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QVERIFY(m_list->sortsAscendingNext(8));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onSubject);
    QVERIFY(!m_list->sortsAscendingNext(8));
    QTRY_COMPARE(column(0), ascending);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onSubject);
    QTRY_COMPARE(column(0), descending);
    QVERIFY(m_list->sortsAscendingNext(8));
    // The first row is another message now: selecting it reads it.
    selectFirst();
    QCOMPARE(reads.size(), 2);
    QCOMPARE(reads.last().at(0).toInt(), 0);
}

void TestMessageList::filterOnUnread()
{
    QVERIFY(openInbox(kCellsMask));
    const int readColumn = 3;
    const int row = rowOf(u"Bravo low"_s, 4);
    m_view->selectionModel()->setCurrentIndex(m_list->model().index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    // A right click names the column to filter on and brings up the menu.
    QMenu menu;
    menu.addAction(u"Filter on this column"_s);
    m_list->setPopupMenu(&menu);
    const QRect cell = m_view->visualRect(m_list->model().index(row, readColumn));
    QContextMenuEvent click(QContextMenuEvent::Mouse, cell.center(),
                            m_view->viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(m_view->viewport(), &click);
    QCOMPARE(m_list->filterColumn(), readColumn);
    QVERIFY(menu.isVisible());
    menu.hide();

    m_list->filterOnColumn(ReadState());
    QCOMPARE(m_list->filterColumn(), -1);
    // Unread messages with an attachment have flags 0x10, not 0.
    QTRY_COMPARE(m_list->rowCount(), 2);
    QStringList unread = column(4);
    unread.sort();
    QCOMPARE(unread, (QStringList{u"Bravo low"_s, u"Delta plain"_s}));
    m_list->resetFilter();
    QTRY_COMPARE(m_list->rowCount(), 5);
}

void TestMessageList::filterOnSurname_data()
{
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QStringList>("surnames");
    QTest::newRow("first letter") << false << QStringList{u"Sanders"_s, u"Smith"_s, u"Smythe"_s};
    QTest::newRow("two letters with Shift") << true << QStringList{u"Smith"_s, u"Smythe"_s};
}

void TestMessageList::filterOnSurname()
{
    QFETCH(bool, shift);
    QFETCH(QStringList, surnames);
    QVERIFY(openContacts(kContactsMask));
    QCOMPARE(headers(),
             (QStringList{u"<6>"_s, u"Full name"_s, u"Email Address 1"_s, u"last name"_s}));
    const int surname = 3;
    const int row = rowOf(u"Smith"_s, surname);
    QVERIFY(row >= 0);
    QCOMPARE(m_list->model().cellImage(row, 0), int(kListImageContact));
    QCOMPARE(m_list->model().cellText(row, 2), u"smith@example.com"_s);
    m_view->selectionModel()->setCurrentIndex(m_list->model().index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    m_modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    m_list->setFilterColumn(surname);
    m_list->filterOnColumn(ReadState());
    QTRY_COMPARE(column(surname).size(), surnames.size());
    QStringList shown = column(surname);
    shown.sort();
    QCOMPARE(shown, surnames);
    m_list->resetFilter();
    QTRY_COMPARE(m_list->rowCount(), 4);
}

void TestMessageList::emptyFolderIsNotAdvised()
{
    FolderRecord inbox;
    ULONG size = 0;
    MapiBuffer<ENTRYID> id(m_session->api());
    QCOMPARE(m_session->store(1)->GetReceiveFolder("IPM.Note", 0, &size, id.put(), nullptr), S_OK);
    inbox.entryId = QByteArray(reinterpret_cast<const char*>(id.get()), size);
    m_doc->setColumnMask(MaskKind::Inbox, kSubjectMask);
    QVERIFY(m_list->openContents(inbox, m_session->store(1), true));
    QCOMPARE(m_list->rowCount(), 0);
    QVERIFY(!m_list->isAdvised());
    QVERIFY(m_list->contents());
    // Sorting it still works: nothing but the list would tell.
    m_list->sortOnColumn(0);
    QCOMPARE(m_list->rowCount(), 0);
}

void TestMessageList::dragStartsOnMessagesOnly()
{
    QSignalSpy started(m_list.get(), &MessageList::dragStarted);
    QSignalSpy finished(m_list.get(), &MessageList::dragFinished);
    const auto drag = [this] {
        QWidget* viewport = m_view->viewport();
        const QPoint from = m_view->visualRect(m_list->model().index(1, 0)).center();
        const QPoint to = from + QPoint(40, 30);
        QMouseEvent press(QEvent::MouseButtonPress, from, viewport->mapToGlobal(from),
                          Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, to, viewport->mapToGlobal(to),
                            Qt::LeftButton, Qt::NoButton, {});
        QCoreApplication::sendEvent(viewport, &press);
        QCoreApplication::sendEvent(viewport, &move);
        const bool dragging = m_list->dragInProgress();
        QCoreApplication::sendEvent(viewport, &release);
        return dragging;
    };
    QVERIFY(openInbox(kSubjectMask));
    QVERIFY(drag());
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().at(0).toInt(), 1);
    QVERIFY(!started.first().at(1).value<QPixmap>().isNull());
    QCOMPARE(finished.size(), 1);
    QVERIFY(!m_list->dragInProgress());
    QVERIFY(openContacts(kContactsMask));
    QVERIFY(!drag());
    QCOMPARE(started.size(), 1);
}

void TestMessageList::changesFromOutside()
{
    QVERIFY(openInbox(kCellsMask));
    QVERIFY(m_list->isAdvised());
    QSignalSpy reads(m_list.get(), &MessageList::readRequested);

    // Delivered by another program: listed after the row before it, and the last row selected.
    QVERIFY(!writeMessage(u"new"_s, u"6.foxtrot"_s, message("Foxtrot new")).isEmpty());
    QTRY_COMPARE(m_list->rowCount(), 6);
    const int added = rowOf(u"Foxtrot new"_s, 4);
    QCOMPARE(added, 5);
    QVERIFY(m_view->selectionModel()->isRowSelected(5, QModelIndex()));
    QCOMPARE(m_list->focusedSelectedRow(), -1);
    QCOMPARE(reads.size(), 1);
    QCOMPARE(reads.first().at(0).toInt(), 5);

    // Read elsewhere: the row changes in place and keeps its selection.
    const QString delta = m_dir.filePath(u"mail/new/4.delta"_s);
    const int deltaRow = rowOf(u"Delta plain"_s, 4);
    QCOMPARE(m_list->model().cellImage(deltaRow, 3), int(kListImageUnread));
    QVERIFY(QFile::rename(delta, m_dir.filePath(u"mail/cur/4.delta:2,S"_s)));
    QTRY_COMPARE(m_list->model().cellImage(deltaRow, 3), int(kListImageRead));
    QCOMPARE(m_list->rowCount(), 6);

    // Deleted elsewhere while selected and focused: the row after it takes the selection.
    const int echoRow = rowOf(u"Echo unread attach"_s, 4);
    m_view->selectionModel()->setCurrentIndex(m_list->model().index(echoRow, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    const QString next = column(4).value(echoRow + 1, column(4).value(echoRow - 1));
    QVERIFY(QFile::remove(m_dir.filePath(u"mail/new/5.echo"_s)));
    QTRY_COMPARE(m_list->rowCount(), 5);
    QCOMPARE(rowOf(u"Echo unread attach"_s, 4), -1);
    const int selected = m_list->focusedSelectedRow();
    QCOMPARE(selected, std::min(echoRow, 4));
    QCOMPARE(m_list->model().cellText(selected, 4), next);
    // The message now in that place has not been read yet.
    QCOMPARE(reads.last().at(0).toInt(), selected);

    // Put back as it was for the other tests.
    QFile::rename(m_dir.filePath(u"mail/cur/4.delta:2,S"_s), delta);
    QFile::remove(m_dir.filePath(u"mail/new/6.foxtrot"_s));
    writeMessage(u"new"_s, u"5.echo"_s, message("Echo unread attach", kDate, true));
}

// The first opening of a big folder parses every message: a progress dialog shows meanwhile
// and the list ends complete. Opened again from its index, it is quick and shows none.
void TestMessageList::bigFolderShowsProgress()
{
    constexpr int kMessages = 2000;
    const QString cur = m_dir.filePath(u"empty/cur/"_s);
    for (int n = 0; n < kMessages; ++n) {
        QFile file(cur + u"%1.big%1:2,S"_s.arg(n));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(message("Case " + QByteArray::number(n), kDate));
    }
    FolderRecord inbox;
    ULONG size = 0;
    MapiBuffer<ENTRYID> id(m_session->api());
    QCOMPARE(m_session->store(1)->GetReceiveFolder("IPM.Note", 0, &size, id.put(), nullptr), S_OK);
    inbox.entryId = QByteArray(reinterpret_cast<const char*>(id.get()), size);
    m_doc->setColumnMask(MaskKind::Inbox, kSubjectMask);
    const ProgressFeedback::Timing timing = ProgressFeedback::setTiming({0, 0});
    DialogCounter first;
    const bool opened = m_list->openContents(inbox, m_session->store(1), true);
    ProgressFeedback::setTiming(timing);
    QVERIFY(opened);
    QCOMPARE(first.shown, 1);
    QCOMPARE(m_list->rowCount(), kMessages);
    QVERIFY(m_list->isAdvised());

    DialogCounter again;
    QVERIFY(m_list->openContents(inbox, m_session->store(1), true));
    QCOMPARE(again.shown, 0);
    QCOMPARE(m_list->rowCount(), kMessages);
    m_list->close();
    for (int n = 0; n < kMessages; ++n)
        QFile::remove(cur + u"%1.big%1:2,S"_s.arg(n));
}

QTEST_MAIN(TestMessageList)
#include "tst_messagelist.moc"
