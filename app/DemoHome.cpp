#include "DemoHome.h"

#include "DemoMailStore.h"
#include "core/ProgramDirectory.h"
#include "core/SettingsStore.h"
#include "oledb/Command.h"
#include "oledb/DataSource.h"
#include "oledb/DatabaseFiles.h"
#include "oledb/DayNumber.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vnt::oledb;

namespace {

using Row = QList<QVariant>;

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

// Resource files are read-only; the Maildir copy must be able to touch its files' times.
bool extractResourceTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(path, target) ||
            !QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner))
            return false;
    }
    return true;
}

bool installMailStore(const QString& target)
{
    const QString profiles = target + u"/profiles.ini"_s;
    if (QFile::exists(profiles)) {
        qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(profiles));
        qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(target + u"/cache"_s));
        return true;
    }
    QTemporaryDir scratch(target + u"-XXXXXX"_s);
    const QString source = scratch.filePath(u"store"_s);
    return scratch.isValid() && extractResourceTree(u":/demo"_s, source) &&
           InstallDemoMailStore(source, target);
}

double daysAgo(int days, int hour)
{
    return toDayNumber(QDate::currentDate().addDays(-days), QTime(hour, 0));
}

QList<Row> demoJobs()
{
    // Number, problem, solution, name, e-mail, start, end, notes, priority, status,
    // category, product. The customers and days match the demonstration mail.
    return {
        {1001, u"Invoice 4411 charged twice"_s,
         u"Duplicate card payment found; refund of the second charge started."_s, u"Emily Wilson"_s,
         u"ewilson@example.com"_s, daysAgo(4, 9), 0.0, u"Refund takes 3-5 working days to show."_s,
         2, 1, u"Billing"_s, u"Vantrel Pro"_s},
        {1002, u"Cannot log in after password reset"_s,
         u"Old password cached by the browser; cleared saved logins."_s, u"Raj Patel"_s,
         u"raj.patel@example.net"_s, daysAgo(3, 14), 0.0, u"Asked for the browser version."_s, 3, 1,
         u"Account"_s, u"Vantrel Cloud"_s},
        {1003, u"Error when exporting the report"_s, QString(), u"Ana Souza"_s,
         u"ana.souza@example.com"_s, daysAgo(2, 10), 0.0,
         u"Export fails on reports with more than 10,000 rows."_s, 2, 1, u"Troubleshooting"_s,
         u"Vantrel Pro"_s},
        {1004, u"Delivery date for order 1182"_s, u"Order dispatched; tracking link sent again."_s,
         u"Tom Becker"_s, u"tom.becker@example.net"_s, daysAgo(2, 16), daysAgo(1, 8),
         u"Carrier estimate: two working days."_s, 4, 2, u"Shipping"_s, u"Hardware kit"_s},
        {1005, u"Moving Vantrel Pro to a new PC"_s,
         u"Deactivate on the old PC (Help > Deactivate licence), install, same key."_s,
         u"Marco Rossi"_s, u"marco.rossi@example.net"_s, daysAgo(28, 10), daysAgo(28, 11),
         QString(), 3, 2, u"Licensing"_s, u"Vantrel Pro"_s},
        {1006, u"Refund for unused Cloud subscription"_s,
         u"Subscription cancelled; invoice 5120 refunded in full."_s, u"Sophie Martin"_s,
         u"sophie.martin@example.org"_s, daysAgo(27, 14), daysAgo(27, 16), QString(), 3, 2,
         u"Billing"_s, u"Vantrel Cloud"_s},
        {1007, u"Licence key not accepted"_s,
         u"Key pasted with a space at its end (error 0x1F04)."_s, u"Kenji Sato"_s,
         u"kenji.sato@example.com"_s, daysAgo(26, 1), daysAgo(26, 9), u"Order 30418."_s, 2, 2,
         u"Licensing"_s, u"Vantrel Pro"_s},
        {1008, u"Crash on startup after update to 5.2"_s, QString(), u"Oliver Grant"_s,
         u"oliver.grant@example.com"_s, daysAgo(24, 13), 0.0,
         u"Log: plug-in \"Invoice layouts\" 1.4 was built for 5.1."_s, 1, 1, u"Troubleshooting"_s,
         u"Vantrel Pro"_s},
        {1009, u"Password reset e-mail never arrives"_s,
         u"The reset e-mails were in the spam folder."_s, u"Chlo\u00e9 Dubois"_s,
         u"chloe.dubois@example.com"_s, daysAgo(17, 7), daysAgo(17, 10), QString(), 3, 2,
         u"Account"_s, u"Vantrel Cloud"_s},
        {1010, u"Charged after cancelling"_s, u"Invoice 5377 refunded in full."_s,
         u"Mehmet Y\u0131lmaz"_s, u"mehmet.yilmaz@example.com"_s, daysAgo(7, 10), daysAgo(7, 12),
         u"Cancellation came after the billing run."_s, 3, 2, u"Billing"_s, u"Vantrel Cloud"_s},
        {1011, u"Transfer my licence to a colleague"_s, QString(), u"Ingrid Berg"_s,
         u"ingrid.berg@example.org"_s, daysAgo(3, 16), 0.0,
         u"New user: Jonas Ek, jonas.ek@example.org. Order 27765."_s, 3, 1, u"Licensing"_s,
         u"Vantrel Pro"_s},
        {1012, u"Cloud sync stuck at 87%"_s, QString(), u"Lena Fischer"_s,
         u"lena.fischer@example.net"_s, daysAgo(12, 17), 0.0,
         u"Waits on a 3 GB file; the limit is 2 GB."_s, 2, 1, u"Cloud"_s, u"Vantrel Cloud"_s},
        {1013, u"Installing on a new laptop"_s,
         u"Old laptop broken: licence freed on our side, installed from the Downloads page."_s,
         u"David Kim"_s, u"david.kim@example.net"_s, daysAgo(13, 14), daysAgo(13, 15), QString(), 3,
         2, u"Installation"_s, u"Vantrel Pro"_s},
    };
}

QList<Row> demoKnowledge()
{
    // Reference, type, fact, three notes.
    return {
        {501, u"Billing"_s, u"Duplicate charges are refunded to the card that paid."_s,
         u"Refunds take 3-5 working days."_s, u"Quote the invoice number."_s, QString()},
        {502, u"Account"_s, u"A password reset signs out every open session."_s,
         u"Clear saved logins in the browser."_s, u"Reset links expire after one hour."_s,
         QString()},
        {503, u"Troubleshooting"_s, u"Large report exports need the CSV format."_s,
         u"Excel export stops at 10,000 rows."_s, u"Fixed in version 4.2."_s, QString()},
        {504, u"Shipping"_s, u"Orders leave the warehouse within one working day."_s,
         u"Tracking starts the day after dispatch."_s, QString(), QString()},
        {505, u"Licensing"_s, u"A licence runs on one computer at a time."_s,
         u"Deactivate it first: Help > Deactivate licence."_s,
         u"Support can free a licence when the old computer is broken."_s,
         u"The same key works on the new computer."_s},
        {506, u"Billing"_s, u"Unused subscription renewals are refunded in full within 30 days."_s,
         u"Cancel the subscription first."_s, u"The refund goes to the card that paid."_s,
         QString()},
        {507, u"Account"_s, u"Password reset e-mails come from no-reply@example.org."_s,
         u"They often land in the spam folder."_s,
         u"Only the newest link works; each expires after one hour."_s, QString()},
        {508, u"Installation"_s, u"A full offline installer is on the Downloads page."_s,
         u"Activation by phone needs no connection: Help > Activate by phone."_s, QString(),
         QString()},
        {509, u"Troubleshooting"_s,
         u"Version 5.2 closes at start when the \"Invoice layouts\" plug-in 1.4 is installed."_s,
         u"Update the plug-in to 1.5 or remove it."_s, u"The log names the plug-in."_s, QString()},
        {510, u"Cloud"_s, u"Cloud sync waits on files larger than 2 GB."_s,
         u"Exclude large archives from sync."_s, u"Business plans allow 10 GB files."_s, QString()},
        {511, u"Troubleshooting"_s, u"CSV exports are UTF-8."_s,
         u"Open them in Excel with Data > From Text and choose UTF-8 to keep accents."_s, QString(),
         QString()},
    };
}

bool addRows(Session& session, const QString& table, const QList<Row>& rows)
{
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;
    DBPROPSET properties = {{DBPROP_IRowsetChange, true},
                            {DBPROP_UPDATABILITY, DBPROPVAL_UP_INSERT}};
    if (failed(session.createCommand(&command)) ||
        failed(command->setCommandText(u"SELECT * FROM "_s + table)) ||
        failed(command->setProperties(&properties)) || failed(command->execute(&rowset)))
        return false;
    for (const Row& row : rows) {
        const auto count = size_t(row.size());
        std::vector<QString> texts(count);
        std::vector<qint32> integers(count);
        std::vector<double> reals(count);
        std::vector<DBSTATUS> statuses(count, DBSTATUS_S_OK);
        QList<Binding> bindings;
        for (size_t i = 0; i < count; ++i) {
            const QVariant& value = row.at(qsizetype(i));
            const auto ordinal = DBORDINAL(i + 2); // column 1 is the key
            if (value.typeId() == QMetaType::Int) {
                integers[i] = value.toInt();
                bindings.append(Binding::int32(ordinal, &integers[i], &statuses[i]));
            } else if (value.typeId() == QMetaType::Double) {
                reals[i] = value.toDouble();
                statuses[i] = reals[i] == 0.0 ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
                bindings.append(Binding::date(ordinal, &reals[i], &statuses[i]));
            } else {
                texts[i] = value.toString();
                statuses[i] = texts[i].isEmpty() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
                bindings.append(Binding::text(ordinal, 0x7FFFFFFF, &texts[i], &statuses[i]));
            }
        }
        Accessor accessor;
        if (failed(rowset->createAccessor(bindings, &accessor)) ||
            failed(rowset->insertRow(accessor)))
            return false;
    }
    return true;
}

bool isEmptyTable(Session& session, const QString& table)
{
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;
    return succeeded(session.createCommand(&command)) &&
           succeeded(command->setCommandText(u"SELECT * FROM "_s + table)) &&
           succeeded(command->execute(&rowset)) && rowset->moveNext() != S_OK;
}

// The template's database starts empty; only an empty one is filled, so building the home
// again adds nothing and keeps what the user changed.
bool fillDatabase(const QString& path)
{
    ErrorRecords errors;
    if (!QFile::exists(path) && failed(createEmptyDatabase(path, &errors)))
        return false;
    std::unique_ptr<DataSource> source;
    std::unique_ptr<Session> session;
    if (failed(openDatabaseFile(path, &source, &session, &errors)))
        return false;
    if (!isEmptyTable(*session, u"Job"_s) || !isEmptyTable(*session, u"Knowledge"_s))
        return true;
    session->startTransaction();
    return addRows(*session, u"Job"_s, demoJobs()) &&
           addRows(*session, u"Knowledge"_s, demoKnowledge()) && succeeded(session->commit());
}

struct TopicFile
{
    QString path;
    QString text;
};

bool writeTopicFiles(const QString& home)
{
    const QList<TopicFile> topics = {
        {u"support1/Account/Cannot log in after a password reset.txt"_s,
         u"A password reset signs you out everywhere, and browsers often keep offering the old "
         "password. Please remove the saved login for our site in your browser, then sign in "
         "with the new password.\n\nIf the reset link has expired (they last one hour), ask for "
         "a new one from the sign-in page.\n"_s},
        {u"support1/Troubleshooting/Error when exporting a report.txt"_s,
         u"The Excel export stops at 10,000 rows, which is what causes the error you saw. "
         "Please choose CSV as the export format for larger reports; the file opens in any "
         "spreadsheet program.\n\nVersion 4.2, out next month, lifts the limit.\n"_s},
        {u"support1/Shipping/Delivery date of an order.txt"_s,
         u"Your order left our warehouse and the carrier expects to deliver it within two "
         "working days. The tracking link in the dispatch e-mail shows its progress; it starts "
         "updating the day after dispatch.\n"_s},
        {u"support1/Account/Password reset e-mail not received.txt"_s,
         u"Our password reset e-mails come from no-reply@example.org and are often sorted into "
         "the spam or junk folder, so please look there first. Only the newest link works, and "
         "each link expires after one hour.\n\nIf no e-mail has arrived after ten minutes, reply "
         "with your customer number and we will send the link to another address.\n"_s},
        {u"support1/Billing/Refund of an unused subscription.txt"_s,
         u"A renewal that has not been used is refunded in full within 30 days. I have cancelled "
         "the subscription and refunded the renewal to the card that paid it; the refund shows "
         "on your statement within 3 to 5 working days.\n\nNo further charges will be made.\n"_s},
        {u"support1/Licensing/Licence on a new computer.txt"_s,
         u"You do not need a second licence. A licence runs on one computer at a time:\n\n"
         "1. On the old computer choose Help > Deactivate licence.\n"
         "2. Install the program on the new computer from the Downloads page of your customer "
         "account.\n3. Enter the same licence key when you are asked for it.\n\nIf the old "
         "computer no longer starts, reply with your order number and we will free the licence "
         "for you.\n"_s},
        {u"support1/Troubleshooting/Program closes after an update.txt"_s,
         u"Thank you for the log file. Version 5.2 closes at start when the \"Invoice layouts\" "
         "plug-in 1.4 is installed, as it was built for 5.1. Please download version 1.5 of the "
         "plug-in from the Downloads page and install it over the old one; the program then "
         "starts as before.\n"_s},
        {u"support1/Cloud/Sync stops before finishing.txt"_s,
         u"Cloud sync waits on files larger than 2 GB, which is why it stops before it finishes. "
         "Please move large archives out of the synced folder or exclude them in Settings > "
         "Sync > Exclusions; the sync then completes. Business plans allow files of up to "
         "10 GB.\n"_s},
    };
    for (const TopicFile& topic : topics) {
        const QString path = home + topic.path;
        if (QFile::exists(path))
            continue;
        QFile file(path);
        const QByteArray data = topic.text.toUtf8();
        if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) ||
            file.write(data) != data.size())
            return false;
    }
    return true;
}

} // namespace

bool BuildDemoHome(const QString& directory, QString* error)
{
    const QString root = QDir(directory).absolutePath();
    const QString home = root + u"/home/"_s;
    if (!ProgramDirectory::prepare(home, error))
        return false;
    if (!installMailStore(root + u"/mail"_s))
        return fail(error, u"The demonstration mail store cannot be copied to '%1'."_s.arg(root));
    if (!fillDatabase(home + u"vntdatab.db"_s))
        return fail(error, u"The demonstration database cannot be made in '%1'."_s.arg(home));
    if (!writeTopicFiles(home))
        return fail(error, u"The demonstration topic files cannot be written in '%1'."_s.arg(home));
    SettingsStore settings(root + u"/settings.ini"_s);
    settings.writeInt(SettingsStore::kInternalData, u"Logon to Mail at startup"_s, 1);
    settings.writeInt(SettingsStore::kInternalData, u"Open Database at Start"_s, 1);
    if (!settings.flush())
        return fail(error, u"The demonstration settings cannot be written."_s);
    return true;
}
