#include "mail/ContactDetails.h"
#include "mail/HeaderBlock.h"

#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(OriginalMessageHeader)
Q_DECLARE_METATYPE(HeaderBlockMode)
Q_DECLARE_METATYPE(ContactProperties)
Q_DECLARE_METATYPE(ContactItemKind)

namespace {

const QString emily = u"Emily Wilson"_s;
const QString emilyAddress = u"ewilson@example.com"_s;

// A reply-ready message with every value present; rows take away what they test.
OriginalMessageHeader fullMessage()
{
    OriginalMessageHeader m;
    m.senderName = emily;
    m.representingName = emily;
    m.senderAddress = emilyAddress;
    m.submitTime = QDateTime(QDate(2024, 3, 5), QTime(9, 7, 59));
    m.displayTo = u"Support; Sales"_s;
    m.displayCc = u"Tom Baker"_s;
    m.normalizedSubject = u"Order 5"_s;
    m.subject = u"RE: Order 5"_s;
    m.conversationTopic = u"Order 5"_s;
    return m;
}

const QString fullFrom = u"From: Emily Wilson [mailto:ewilson@example.com]  \r\n"_s;
const QString fullSent = u"Sent: 2024/03/05 09:07 \r\n"_s;
const QString fullTo = u"To: Support; Sales \r\n"_s;
const QString fullCc = u"Cc: Tom Baker \r\n"_s;
const QString fullSubject = u"Subject: Order 5 \r\n"_s;
const QString blockEnd = u" \r\n"_s;

QString manyNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << u"Recipient Number %1"_s.arg(i);
    return names.join(u"; "_s);
}

// A contact with every value filled, each telling where it came from.
ContactProperties fullContact()
{
    ContactProperties c;
    c.messageClass = u"IPM.Contact"_s;
    c.displayName = u"Zoë Ångström"_s;
    c.emailEntries = 0x7;
    for (int i = 0; i < 3; ++i) {
        c.emailDisplayName[i] = u"name%1"_s.arg(i + 1);
        c.emailAddress[i] = u"mail%1@example.com"_s.arg(i + 1);
        c.addressType[i] = u"SMTP"_s;
    }
    c.businessAddress = u"1 Quay St\r\nLeith"_s;
    c.homeAddress = u"2 Hill Rd"_s;
    c.otherAddress = u"3 Mill Ln"_s;
    c.businessTelephone = u"b1"_s;
    c.business2Telephone = u"b2"_s;
    c.mobileTelephone = u"mob"_s;
    c.companyName = u"Korvane"_s;
    c.homeTelephone = u"home"_s;
    c.assistant = u"Ann"_s;
    c.assistantTelephone = u"annTel"_s;
    c.title = u"Engineer"_s;
    c.departmentName = u"Dept"_s;
    c.officeLocation = u"Room 4"_s;
    c.otherTelephone = u"other"_s;
    c.businessHomePage = u"https://korvane.example"_s;
    c.personalHomePage = u"https://zoe.example"_s;
    c.managerName = u"Boss"_s;
    c.businessFax = u"fax"_s;
    return c;
}

// The text of a contact without any field: the fixed headings and blank lines only.
const QString skeleton = u"\r\nContact information:\r\n"
                         "Company and address information:\r\n\r\n"
                         "\r\n\r\n"
                         "Home information:\r\n\r\n"_s;

ContactProperties bareContact()
{
    ContactProperties c;
    c.messageClass = u"IPM.Contact"_s;
    c.displayName = u"Zoë"_s;
    return c;
}

} // namespace

class TestHeaderBlock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headerBlock_data();
    void headerBlock();
    void refusedReply_data();
    void refusedReply();
    void sentTime_data();
    void sentTime();
    void itemKind_data();
    void itemKind();
    void contactText_data();
    void contactText();
};

void TestHeaderBlock::headerBlock_data()
{
    QTest::addColumn<OriginalMessageHeader>("message");
    QTest::addColumn<HeaderBlockMode>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("senderName");
    QTest::addColumn<QString>("senderAddress");
    QTest::addColumn<QString>("subject");

    const auto reply = HeaderBlockMode::Reply;
    const auto forward = HeaderBlockMode::Forward;
    const QString rest = fullSent + fullTo + fullCc + fullSubject + blockEnd;
    const QString order = u"Order 5"_s;
    const QString unknown = u"Unknown"_s;
    OriginalMessageHeader m;

    QTest::newRow("reply, representing equals sender")
        << fullMessage() << reply << fullFrom + rest << emily << emilyAddress << order;

    m = fullMessage();
    m.representingName = u"emily wilson"_s;
    QTest::newRow("representing differs in case only")
        << m << reply
        << u"From: Emily Wilson representing emily wilson"
           " [mailto:ewilson@example.com]  \r\n"_s +
               rest
        << emily << emilyAddress << order;

    m = fullMessage();
    m.representingName = QString();
    QTest::newRow("empty representing name")
        << m << reply << fullFrom + rest << emily << emilyAddress << order;

    m = fullMessage();
    m.senderName.reset();
    m.representingName.reset();
    QTest::newRow("forward, no sender, no representing")
        << m << forward << u"From:  [mailto:ewilson@example.com]  \r\n"_s + rest << unknown
        << emilyAddress << order;

    m = fullMessage();
    m.senderName.reset();
    m.representingName = u"Sales Desk"_s;
    QTest::newRow("reply, no sender, representing")
        << m << reply
        << u"From:  Represented by Sales Desk [mailto:ewilson@example.com]  \r\n"_s + rest
        << u"Sales Desk"_s << emilyAddress << order;
    QTest::newRow("forward, no sender, representing")
        << m << forward
        << u"From:  representing Sales Desk [mailto:ewilson@example.com]  \r\n"_s + rest << unknown
        << emilyAddress << order;

    m.representingName = QString();
    QTest::newRow("reply, no sender, empty representing")
        << m << reply << u"From:  [mailto:ewilson@example.com]  \r\n"_s + rest << QString()
        << emilyAddress << order;

    m = fullMessage();
    m.senderAddress = QString();
    QTest::newRow("empty address")
        << m << reply << u"From: Emily Wilson [mailto:   ]  \r\n"_s + rest << emily << unknown
        << order;
    m.senderAddress.reset();
    QTest::newRow("no address") << m << reply << u"From: Emily Wilson \r\n"_s + rest << emily
                                << unknown << order;

    m = fullMessage();
    m.submitTime.reset();
    QTest::newRow("no submit time")
        << m << reply << fullFrom + fullTo + fullCc + fullSubject + blockEnd << emily
        << emilyAddress << order;

    m = fullMessage();
    m.displayTo = QString();
    m.displayCc = QString();
    QTest::newRow("empty To kept, empty Cc dropped")
        << m << reply << fullFrom + fullSent + u"To:  \r\n"_s + fullSubject + blockEnd << emily
        << emilyAddress << order;
    m.displayTo.reset();
    m.displayCc.reset();
    QTest::newRow("no To, no Cc") << m << reply << fullFrom + fullSent + fullSubject + blockEnd
                                  << emily << emilyAddress << order;

    const QString head = fullFrom + fullSent + fullTo + fullCc;
    m = fullMessage();
    m.conversationTopic = u"Order 5 (shipping)"_s;
    QTest::newRow("topic differs from subject")
        << m << reply << head + fullSubject + u"Conversation: Order 5 (shipping) \r\n"_s + blockEnd
        << emily << emilyAddress << order;
    m.conversationTopic = QString();
    QTest::newRow("empty topic") << m << reply << head + fullSubject + blockEnd + blockEnd << emily
                                 << emilyAddress << order;
    m.conversationTopic.reset();
    QTest::newRow("no topic") << m << reply << head + fullSubject + blockEnd + blockEnd << emily
                              << emilyAddress << order;

    m = fullMessage();
    m.normalizedSubject = QString();
    m.subject = u"RE:"_s;
    QTest::newRow("empty normalized subject wins over subject")
        << m << reply << head + u"Subject:  \r\n"_s + blockEnd << emily << emilyAddress << u" "_s;

    m.normalizedSubject.reset();
    m.subject = u"Hello"_s;
    m.conversationTopic = u"Something else"_s;
    QTest::newRow("subject alone is not compared with the topic")
        << m << reply << head + u"Subject: Hello \r\n"_s + blockEnd << emily << emilyAddress
        << u"Hello"_s;

    m.subject.reset();
    m.conversationTopic.reset();
    QTest::newRow("no subject at all")
        << m << reply << head + u"Subject:  \r\n"_s + blockEnd + blockEnd << emily << emilyAddress
        << u" "_s;

    m = fullMessage();
    m.senderName = u"山田 太郎"_s;
    m.representingName = u"Zoë Ångström"_s;
    m.senderAddress = u"taro@例え.jp"_s;
    m.normalizedSubject = u"Ärger mit der Lieferung 📦"_s;
    m.conversationTopic = m.normalizedSubject;
    QTest::newRow("non-ASCII")
        << m << reply
        << u"From: 山田 太郎 representing Zoë Ångström [mailto:taro@例え.jp]  \r\n"_s + fullSent +
               fullTo + fullCc + u"Subject: Ärger mit der Lieferung 📦 \r\n"_s + blockEnd
        << u"山田 太郎"_s << u"taro@例え.jp"_s << u"Ärger mit der Lieferung 📦"_s;

    m = fullMessage();
    m.displayTo = manyNames(500);
    m.displayCc = manyNames(300);
    QTest::newRow("many recipients")
        << m << reply
        << fullFrom + fullSent + u"To: "_s + manyNames(500) + u" \r\nCc: "_s + manyNames(300) +
               u" \r\n"_s + fullSubject + blockEnd
        << emily << emilyAddress << order;
}

void TestHeaderBlock::headerBlock()
{
    QFETCH(OriginalMessageHeader, message);
    QFETCH(HeaderBlockMode, mode);
    QFETCH(QString, text);
    QFETCH(QString, senderName);
    QFETCH(QString, senderAddress);
    QFETCH(QString, subject);

    const std::optional<HeaderBlock> block = buildHeaderBlock(message, mode);
    QVERIFY(block);
    QCOMPARE(block->text, text);
    QCOMPARE(block->senderName, senderName);
    QCOMPARE(block->senderAddress, senderAddress);
    QCOMPARE(block->subject, subject);
}

void TestHeaderBlock::refusedReply_data()
{
    QTest::addColumn<OriginalMessageHeader>("message");

    OriginalMessageHeader m = fullMessage();
    m.senderName.reset();
    m.representingName.reset();
    QTest::newRow("full message without either name") << m;
    QTest::newRow("nothing at all") << OriginalMessageHeader();
}

void TestHeaderBlock::refusedReply()
{
    QFETCH(OriginalMessageHeader, message);
    QVERIFY(!buildHeaderBlock(message, HeaderBlockMode::Reply));
}

void TestHeaderBlock::sentTime_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("line");

    QTest::newRow("midnight") << QDateTime(QDate(2024, 1, 1), QTime(0, 0))
                              << u"Sent: 2024/01/01 00:00 \r\n"_s;
    QTest::newRow("seconds dropped, not rounded")
        << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999))
        << u"Sent: 1999/12/31 23:59 \r\n"_s;
    QTest::newRow("year padded to four digits")
        << QDateTime(QDate(987, 6, 7), QTime(8, 9)) << u"Sent: 0987/06/07 08:09 \r\n"_s;
    QTest::newRow("leap day") << QDateTime(QDate(2028, 2, 29), QTime(12, 30))
                              << u"Sent: 2028/02/29 12:30 \r\n"_s;
    // The caller has already moved the time into the user's zone; it is not converted again.
    QTest::newRow("zone kept as given")
        << QDateTime(QDate(2024, 7, 1), QTime(23, 45), QTimeZone(14 * 3600))
        << u"Sent: 2024/07/01 23:45 \r\n"_s;
}

void TestHeaderBlock::sentTime()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, line);

    OriginalMessageHeader m = fullMessage();
    m.submitTime = time;
    const std::optional<HeaderBlock> block = buildHeaderBlock(m, HeaderBlockMode::Forward);
    QVERIFY(block);
    QCOMPARE(block->text, fullFrom + line + fullTo + fullCc + fullSubject + blockEnd);
}

void TestHeaderBlock::itemKind_data()
{
    QTest::addColumn<std::optional<QString>>("messageClass");
    QTest::addColumn<ContactItemKind>("kind");

    const auto contact = ContactItemKind::Contact;
    const auto list = ContactItemKind::DistributionList;
    const auto other = ContactItemKind::Other;
    QTest::newRow("contact") << std::optional(u"IPM.Contact"_s) << contact;
    QTest::newRow("not a string") << std::optional<QString>() << contact;
    QTest::newRow("custom contact form") << std::optional(u"IPM.Contact.Customer"_s) << contact;
    QTest::newRow("letter case") << std::optional(u"ipm.contact"_s) << contact;
    QTest::newRow("list") << std::optional(u"IPM.DistList"_s) << list;
    QTest::newRow("custom list form") << std::optional(u"IPM.DistList.Team"_s) << list;
    QTest::newRow("empty") << std::optional(QString()) << other;
    QTest::newRow("note") << std::optional(u"IPM.Note"_s) << other;
    QTest::newRow("longer name, no dot") << std::optional(u"IPM.ContactX"_s) << other;
}

void TestHeaderBlock::itemKind()
{
    QFETCH(std::optional<QString>, messageClass);
    QFETCH(ContactItemKind, kind);
    QCOMPARE(contactItemKind(messageClass), kind);
}

void TestHeaderBlock::contactText_data()
{
    QTest::addColumn<ContactProperties>("contact");
    QTest::addColumn<QString>("text");

    QTest::newRow("every value") << fullContact()
                                 << u"Selected contact details for  Zoë Ångström\r\n"
                                    "Display name 1:\t\t\tname1 \r\n"
                                    "Email Address 1:\t\t\tmail1@example.com \r\n"
                                    "Address 1 type:\t\t\tSMTP \r\n"
                                    "Display Name 2:\t\t\tname2 \r\n"
                                    "Email Address 2:\t\t\tmail2@example.com \r\n"
                                    "Address 2 type:\t\t\tSMTP \r\n"
                                    "Display name 3:\t\t\tname3 \r\n"
                                    "Email address 3:\t\t\tmail3@example.com \r\n"
                                    "Address 3 type:\t\t\tSMTP \r\n"
                                    "\r\n"
                                    "Contact information:\r\n"
                                    "Manager's name: Boss\r\n"
                                    "Business telephone: b1\r\n"
                                    "Business fax: fax\r\n"
                                    "Second business telephone: b2\r\n"
                                    "Mobile telephone: mob\r\n"
                                    "Assistant name: Ann\r\n"
                                    "Assistant telephone: annTel\r\n"
                                    "Other telephone: other\r\n"
                                    "Company and address information:\r\n"
                                    "Job title: Engineer\r\n"
                                    "Company name :  Korvane\r\n"
                                    "Department:  Dept\r\n"
                                    "Office:  Room 4\r\n"
                                    "\r\n"
                                    "Business address:\r\n"
                                    "1 Quay St\r\nLeith\r\n"
                                    "\r\n"
                                    "Other address:\r\n"
                                    "3 Mill Ln\r\n"
                                    "\r\n"
                                    "Home information:\r\n"
                                    "Telephone: home\r\n"
                                    "Address:\r\n"
                                    "2 Hill Rd\r\n"
                                    "\r\n"
                                    "Business home page: https://korvane.example\r\n"
                                    "Your home page: https://zoe.example\r\n"_s;

    const QString heading = u"Selected contact details for  Zoë\r\n"_s;
    ContactProperties c = bareContact();
    QTest::newRow("no values") << c << heading + skeleton;

    c.emailEntries = 0x2;
    for (int i = 0; i < 3; ++i) {
        c.emailDisplayName[i] = u"n%1"_s.arg(i + 1);
        c.emailAddress[i] = u"a%1"_s.arg(i + 1);
        c.addressType[i] = u"t%1"_s.arg(i + 1);
    }
    QTest::newRow("second entry only")
        << c
        << heading +
               u"Display Name 2:\t\t\tn2 \r\nEmail Address 2:\t\t\ta2 \r\n"
               "Address 2 type:\t\t\tt2 \r\n"_s +
               skeleton;

    c.emailEntries = 0x5 | 0x100;
    c.emailDisplayName[0] = QString();
    c.addressType[2].reset();
    QTest::newRow("first and third, some values empty or missing")
        << c
        << heading +
               u"Email Address 1:\t\t\ta1 \r\nAddress 1 type:\t\t\tt1 \r\n"
               "Display name 3:\t\t\tn3 \r\nEmail address 3:\t\t\ta3 \r\n"_s +
               skeleton;

    c.emailEntries.reset();
    QTest::newRow("entries not an integer") << c << heading + skeleton;

    c = bareContact();
    c.displayName.reset();
    QTest::newRow("name not a string")
        << c << u"Selected contact details for  unknown name\r\n"_s + skeleton;
    c.displayName = QString();
    QTest::newRow("empty name ends its line")
        << c << u"Selected contact details for \r\n"_s + skeleton;

    c = bareContact();
    c.messageClass.reset();
    c.businessAddress = QString();
    c.homeAddress = QString();
    c.managerName = QString();
    c.companyName = u"株式会社 例"_s;
    c.otherAddress = u"Straße 5\r\n80331 München"_s;
    QTest::newRow("class not a string, empty values, non-ASCII")
        << c
        << heading + u"\r\nContact information:\r\n"
                     "Company and address information:\r\n"
                     "Company name :  株式会社 例\r\n\r\n"
                     "\r\n"
                     "Other address:\r\nStraße 5\r\n80331 München\r\n\r\n"
                     "Home information:\r\n\r\n"_s;

    c = fullContact();
    c.messageClass = u"IPM.DistList"_s;
    QTest::newRow("distribution list") << c << u"This item is a distribution list"_s;
    c.messageClass = QString();
    QTest::newRow("empty class") << c << u"This item is not a contact or distribution list!"_s;
}

void TestHeaderBlock::contactText()
{
    QFETCH(ContactProperties, contact);
    QFETCH(QString, text);
    QCOMPARE(contactDetailsText(contact), text);
}

QTEST_GUILESS_MAIN(TestHeaderBlock)
#include "tst_headerblock.moc"
