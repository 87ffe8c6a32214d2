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
    // category, product.
    return {
        {1001, u"Invoice 4411 charged twice"_s,
         u"Duplicate card payment found; refund of the second charge started."_s, u"Emily Wilson"_s,
         u"ewilson@example.com"_s, daysAgo(3, 9), 0.0, u"Refund takes 3-5 working days to show."_s,
         2, 1, u"Billing"_s, u"Vantrel Pro"_s},
        {1002, u"Cannot log in after password reset"_s,
         u"Old password cached by the browser; cleared saved logins."_s, u"Raj Patel"_s,
         u"raj.patel@example.net"_s, daysAgo(2, 11), 0.0, u"Asked for the browser version."_s, 3, 1,
         u"Account"_s, u"Vantrel Cloud"_s},
        {1003, u"Error when exporting the report"_s, QString(), u"Ana Souza"_s,
         u"ana.souza@example.com.br"_s, daysAgo(1, 14), 0.0,
         u"Export fails on reports with more than 10,000 rows."_s, 2, 1, u"Troubleshooting"_s,
         u"Vantrel Pro"_s},
        {1004, u"Delivery date for order 1182"_s, u"Order dispatched; tracking link sent again."_s,
         u"Tom Becker"_s, u"tom.becker@example.de"_s, daysAgo(5, 10), daysAgo(4, 16),
         u"Carrier estimate: two working days."_s, 4, 2, u"Shipping"_s, u"Hardware kit"_s},
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
