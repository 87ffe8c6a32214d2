#include "mail/ContactDetails.h"
#include "mail/HeaderBlock.h"

#include <QTest>
#include <QTimeZone>

Q_DECLARE_METATYPE(OriginalMessageHeader)
Q_DECLARE_METATYPE(HeaderBlockMode)
Q_DECLARE_METATYPE(ContactProperties)
Q_DECLARE_METATYPE(ContactItemKind)

namespace {

const QString emily = QStringLiteral("Emily Wilson");
const QString emilyAddress = QStringLiteral("ewilson@example.com");

// A reply-ready message with every value present; rows take away what they test.
OriginalMessageHeader fullMessage()
{
    OriginalMessageHeader m;
    m.senderName = emily;
    m.representingName = emily;
    m.senderAddress = emilyAddress;
    m.submitTime = QDateTime(QDate(2024, 3, 5), QTime(9, 7, 59));
    m.displayTo = QStringLiteral("Support; Sales");
    m.displayCc = QStringLiteral("Tom Baker");
    m.normalizedSubject = QStringLiteral("Order 5");
    m.subject = QStringLiteral("RE: Order 5");
    m.conversationTopic = QStringLiteral("Order 5");
    return m;
}

const QString fullFrom = QStringLiteral("From: Emily Wilson [mailto:ewilson@example.com]  \r\n");
const QString fullSent = QStringLiteral("Sent: 2024/03/05 09:07 \r\n");
const QString fullTo = QStringLiteral("To: Support; Sales \r\n");
const QString fullCc = QStringLiteral("Cc: Tom Baker \r\n");
const QString fullSubject = QStringLiteral("Subject: Order 5 \r\n");
const QString blockEnd = QStringLiteral(" \r\n");

QString manyNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("Recipient Number %1").arg(i);
    return names.join(QStringLiteral("; "));
}

// A contact with every value filled, each telling where it came from.
ContactProperties fullContact()
{
    ContactProperties c;
    c.messageClass = QStringLiteral("IPM.Contact");
    c.displayName = QStringLiteral("Zoë Ångström");
    c.emailEntries = 0x7;
    for (int i = 0; i < 3; ++i) {
        c.emailDisplayName[i] = QStringLiteral("name%1").arg(i + 1);
        c.emailAddress[i] = QStringLiteral("mail%1@example.com").arg(i + 1);
        c.addressType[i] = QStringLiteral("SMTP");
    }
    c.businessAddress = QStringLiteral("1 Quay St\r\nLeith");
    c.homeAddress = QStringLiteral("2 Hill Rd");
    c.otherAddress = QStringLiteral("3 Mill Ln");
    c.businessTelephone = QStringLiteral("b1");
    c.business2Telephone = QStringLiteral("b2");
    c.mobileTelephone = QStringLiteral("mob");
    c.companyName = QStringLiteral("Korvane");
    c.homeTelephone = QStringLiteral("home");
    c.assistant = QStringLiteral("Ann");
    c.assistantTelephone = QStringLiteral("annTel");
    c.title = QStringLiteral("Engineer");
    c.departmentName = QStringLiteral("Dept");
    c.officeLocation = QStringLiteral("Room 4");
    c.otherTelephone = QStringLiteral("other");
    c.businessHomePage = QStringLiteral("https://korvane.example");
    c.personalHomePage = QStringLiteral("https://zoe.example");
    c.managerName = QStringLiteral("Boss");
    c.businessFax = QStringLiteral("fax");
    return c;
}

// The text of a contact without any field: the fixed headings and blank lines only.
const QString skeleton = QStringLiteral("\r\nContact information:\r\n"
                                        "Company and address information:\r\n\r\n"
                                        "\r\n\r\n"
                                        "Home information:\r\n\r\n");

ContactProperties bareContact()
{
    ContactProperties c;
    c.messageClass = QStringLiteral("IPM.Contact");
    c.displayName = QStringLiteral("Zoë");
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
    const QString order = QStringLiteral("Order 5");
    const QString unknown = QStringLiteral("Unknown");
    OriginalMessageHeader m;

    QTest::newRow("reply, representing equals sender")
        << fullMessage() << reply << fullFrom + rest << emily << emilyAddress << order;

    m = fullMessage();
    m.representingName = QStringLiteral("emily wilson");
    QTest::newRow("representing differs in case only")
        << m << reply
        << QStringLiteral("From: Emily Wilson representing emily wilson"
                          " [mailto:ewilson@example.com]  \r\n") +
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
        << m << forward << QStringLiteral("From:  [mailto:ewilson@example.com]  \r\n") + rest
        << unknown << emilyAddress << order;

    m = fullMessage();
    m.senderName.reset();
    m.representingName = QStringLiteral("Sales Desk");
    QTest::newRow("reply, no sender, representing")
        << m << reply
        << QStringLiteral("From:  Represented by Sales Desk [mailto:ewilson@example.com]  \r\n") +
               rest
        << QStringLiteral("Sales Desk") << emilyAddress << order;
    QTest::newRow("forward, no sender, representing")
        << m << forward
        << QStringLiteral("From:  representing Sales Desk [mailto:ewilson@example.com]  \r\n") +
               rest
        << unknown << emilyAddress << order;

    m.representingName = QString();
    QTest::newRow("reply, no sender, empty representing")
        << m << reply << QStringLiteral("From:  [mailto:ewilson@example.com]  \r\n") + rest
        << QString() << emilyAddress << order;

    m = fullMessage();
    m.senderAddress = QString();
    QTest::newRow("empty address")
        << m << reply << QStringLiteral("From: Emily Wilson [mailto:   ]  \r\n") + rest << emily
        << unknown << order;
    m.senderAddress.reset();
    QTest::newRow("no address") << m << reply << QStringLiteral("From: Emily Wilson \r\n") + rest
                                << emily << unknown << order;

    m = fullMessage();
    m.submitTime.reset();
    QTest::newRow("no submit time")
        << m << reply << fullFrom + fullTo + fullCc + fullSubject + blockEnd << emily
        << emilyAddress << order;

    m = fullMessage();
    m.displayTo = QString();
    m.displayCc = QString();
    QTest::newRow("empty To kept, empty Cc dropped")
        << m << reply << fullFrom + fullSent + QStringLiteral("To:  \r\n") + fullSubject + blockEnd
        << emily << emilyAddress << order;
    m.displayTo.reset();
    m.displayCc.reset();
    QTest::newRow("no To, no Cc") << m << reply << fullFrom + fullSent + fullSubject + blockEnd
                                  << emily << emilyAddress << order;

    const QString head = fullFrom + fullSent + fullTo + fullCc;
    m = fullMessage();
    m.conversationTopic = QStringLiteral("Order 5 (shipping)");
    QTest::newRow("topic differs from subject")
        << m << reply
        << head + fullSubject + QStringLiteral("Conversation: Order 5 (shipping) \r\n") + blockEnd
        << emily << emilyAddress << order;
    m.conversationTopic = QString();
    QTest::newRow("empty topic") << m << reply << head + fullSubject + blockEnd + blockEnd << emily
                                 << emilyAddress << order;
    m.conversationTopic.reset();
    QTest::newRow("no topic") << m << reply << head + fullSubject + blockEnd + blockEnd << emily
                              << emilyAddress << order;

    m = fullMessage();
    m.normalizedSubject = QString();
    m.subject = QStringLiteral("RE:");
    QTest::newRow("empty normalized subject wins over subject")
        << m << reply << head + QStringLiteral("Subject:  \r\n") + blockEnd << emily << emilyAddress
        << QStringLiteral(" ");

    m.normalizedSubject.reset();
    m.subject = QStringLiteral("Hello");
    m.conversationTopic = QStringLiteral("Something else");
    QTest::newRow("subject alone is not compared with the topic")
        << m << reply << head + QStringLiteral("Subject: Hello \r\n") + blockEnd << emily
        << emilyAddress << QStringLiteral("Hello");

    m.subject.reset();
    m.conversationTopic.reset();
    QTest::newRow("no subject at all")
        << m << reply << head + QStringLiteral("Subject:  \r\n") + blockEnd + blockEnd << emily
        << emilyAddress << QStringLiteral(" ");

    m = fullMessage();
    m.senderName = QStringLiteral("山田 太郎");
    m.representingName = QStringLiteral("Zoë Ångström");
    m.senderAddress = QStringLiteral("taro@例え.jp");
    m.normalizedSubject = QStringLiteral("Ärger mit der Lieferung 📦");
    m.conversationTopic = m.normalizedSubject;
    QTest::newRow("non-ASCII")
        << m << reply
        << QStringLiteral("From: 山田 太郎 representing Zoë Ångström [mailto:taro@例え.jp]  \r\n") +
               fullSent + fullTo + fullCc +
               QStringLiteral("Subject: Ärger mit der Lieferung 📦 \r\n") + blockEnd
        << QStringLiteral("山田 太郎") << QStringLiteral("taro@例え.jp")
        << QStringLiteral("Ärger mit der Lieferung 📦");

    m = fullMessage();
    m.displayTo = manyNames(500);
    m.displayCc = manyNames(300);
    QTest::newRow("many recipients")
        << m << reply
        << fullFrom + fullSent + QStringLiteral("To: ") + manyNames(500) +
               QStringLiteral(" \r\nCc: ") + manyNames(300) + QStringLiteral(" \r\n") +
               fullSubject + blockEnd
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
                              << QStringLiteral("Sent: 2024/01/01 00:00 \r\n");
    QTest::newRow("seconds dropped, not rounded")
        << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999))
        << QStringLiteral("Sent: 1999/12/31 23:59 \r\n");
    QTest::newRow("year padded to four digits") << QDateTime(QDate(987, 6, 7), QTime(8, 9))
                                                << QStringLiteral("Sent: 0987/06/07 08:09 \r\n");
    QTest::newRow("leap day") << QDateTime(QDate(2028, 2, 29), QTime(12, 30))
                              << QStringLiteral("Sent: 2028/02/29 12:30 \r\n");
    // The caller has already moved the time into the user's zone; it is not converted again.
    QTest::newRow("zone kept as given")
        << QDateTime(QDate(2024, 7, 1), QTime(23, 45), QTimeZone(14 * 3600))
        << QStringLiteral("Sent: 2024/07/01 23:45 \r\n");
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
    QTest::newRow("contact") << std::optional(QStringLiteral("IPM.Contact")) << contact;
    QTest::newRow("not a string") << std::optional<QString>() << contact;
    QTest::newRow("custom contact form")
        << std::optional(QStringLiteral("IPM.Contact.Customer")) << contact;
    QTest::newRow("letter case") << std::optional(QStringLiteral("ipm.contact")) << contact;
    QTest::newRow("list") << std::optional(QStringLiteral("IPM.DistList")) << list;
    QTest::newRow("custom list form") << std::optional(QStringLiteral("IPM.DistList.Team")) << list;
    QTest::newRow("empty") << std::optional(QString()) << other;
    QTest::newRow("note") << std::optional(QStringLiteral("IPM.Note")) << other;
    QTest::newRow("longer name, no dot") << std::optional(QStringLiteral("IPM.ContactX")) << other;
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
                                 << QStringLiteral("Selected contact details for  Zoë Ångström\r\n"
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
                                                   "Your home page: https://zoe.example\r\n");

    const QString heading = QStringLiteral("Selected contact details for  Zoë\r\n");
    ContactProperties c = bareContact();
    QTest::newRow("no values") << c << heading + skeleton;

    c.emailEntries = 0x2;
    for (int i = 0; i < 3; ++i) {
        c.emailDisplayName[i] = QStringLiteral("n%1").arg(i + 1);
        c.emailAddress[i] = QStringLiteral("a%1").arg(i + 1);
        c.addressType[i] = QStringLiteral("t%1").arg(i + 1);
    }
    QTest::newRow("second entry only")
        << c
        << heading +
               QStringLiteral("Display Name 2:\t\t\tn2 \r\nEmail Address 2:\t\t\ta2 \r\n"
                              "Address 2 type:\t\t\tt2 \r\n") +
               skeleton;

    c.emailEntries = 0x5 | 0x100;
    c.emailDisplayName[0] = QString();
    c.addressType[2].reset();
    QTest::newRow("first and third, some values empty or missing")
        << c
        << heading +
               QStringLiteral("Email Address 1:\t\t\ta1 \r\nAddress 1 type:\t\t\tt1 \r\n"
                              "Display name 3:\t\t\tn3 \r\nEmail address 3:\t\t\ta3 \r\n") +
               skeleton;

    c.emailEntries.reset();
    QTest::newRow("entries not an integer") << c << heading + skeleton;

    c = bareContact();
    c.displayName.reset();
    QTest::newRow("name not a string")
        << c << QStringLiteral("Selected contact details for  unknown name\r\n") + skeleton;
    c.displayName = QString();
    QTest::newRow("empty name ends its line")
        << c << QStringLiteral("Selected contact details for \r\n") + skeleton;

    c = bareContact();
    c.messageClass.reset();
    c.businessAddress = QString();
    c.homeAddress = QString();
    c.managerName = QString();
    c.companyName = QStringLiteral("株式会社 例");
    c.otherAddress = QStringLiteral("Straße 5\r\n80331 München");
    QTest::newRow("class not a string, empty values, non-ASCII")
        << c
        << heading + QStringLiteral("\r\nContact information:\r\n"
                                    "Company and address information:\r\n"
                                    "Company name :  株式会社 例\r\n\r\n"
                                    "\r\n"
                                    "Other address:\r\nStraße 5\r\n80331 München\r\n\r\n"
                                    "Home information:\r\n\r\n");

    c = fullContact();
    c.messageClass = QStringLiteral("IPM.DistList");
    QTest::newRow("distribution list") << c << QStringLiteral("This item is a distribution list");
    c.messageClass = QString();
    QTest::newRow("empty class") << c
                                 << QStringLiteral(
                                        "This item is not a contact or distribution list!");
}

void TestHeaderBlock::contactText()
{
    QFETCH(ContactProperties, contact);
    QFETCH(QString, text);
    QCOMPARE(contactDetailsText(contact), text);
}

QTEST_GUILESS_MAIN(TestHeaderBlock)
#include "tst_headerblock.moc"
