// vantrel-db: makes, fills and reads support databases (SQLite files or .xlsx workbooks)
// through the same database interface as the program.
//
//   vantrel-db --create vntdatab.db                 empty Job and Knowledge tables
//   vantrel-db vntdatab.db --import Job --from jobs.csv
//   vantrel-db vntdatab.db --export Knowledge [--output knowledge.csv]
//   vantrel-db vntdatab.xlsx --query "SELECT * FROM [Job$] WHERE [Job$].[Status] = 1"
//
// CSV files have a header row of column names; an empty field is null, "" an empty text;
// dates are day numbers (days since 30 December 1899) or "yyyy-MM-dd[ HH:mm[:ss]]".

#include "CsvFile.h"
#include "oledb/Command.h"
#include "oledb/DataSource.h"
#include "oledb/DatabaseFiles.h"
#include "oledb/DayNumber.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>

using namespace vnt::oledb;

namespace {

constexpr DBLENGTH kLongText = 0x7FFFFFFF;

int fail(const QString& message)
{
    QTextStream(stderr) << "vantrel-db: " << message << '\n';
    return 1;
}

int fail(const ErrorInfo& object, const QString& context)
{
    ErrorRecords records;
    object.getErrorRecords(&records);
    QString message = context;
    for (quint32 i = 0; i < records.recordCount(); ++i)
        message += QLatin1Char('\n') + records.record(i).description;
    return fail(message);
}

HRESULT openRowset(Session& session, const QString& sql, bool changes,
                   std::unique_ptr<Command>* command, std::unique_ptr<Rowset>* rowset)
{
    HRESULT hr = session.createCommand(command);
    if (succeeded(hr))
        hr = (*command)->setCommandText(sql);
    DBPROPSET properties = {{DBPROP_IRowsetChange, changes}};
    if (succeeded(hr))
        hr = (*command)->setProperties(&properties);
    return succeeded(hr) ? (*command)->execute(rowset) : hr;
}

QString tableStatement(const QString& table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QStringLiteral("SELECT * FROM \"%1\"").arg(quoted);
}

int writeRows(Session& session, const QString& sql, QTextStream& out)
{
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;
    if (failed(openRowset(session, sql, false, &command, &rowset)))
        return fail(*command, QStringLiteral("The statement cannot be run."));
    QList<DBCOLUMNINFO> columns;
    rowset->getColumnInfo(&columns);
    QList<QString> texts(columns.size());
    QList<DBSTATUS> statuses(columns.size());
    QList<Binding> bindings;
    QList<QVariant> header;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        bindings.append(Binding::text(columns[i].ordinal, kLongText, &texts[i], &statuses[i]));
        header.append(columns[i].name);
    }
    Accessor accessor;
    rowset->createAccessor(bindings, &accessor);
    out << csvRecord(header);
    HRESULT hr = S_OK;
    while ((hr = rowset->moveNext()) == S_OK) {
        if (failed(rowset->getData(accessor)))
            return fail(*rowset, QStringLiteral("A row cannot be read."));
        QList<QVariant> fields;
        for (qsizetype i = 0; i < columns.size(); ++i)
            fields.append(statuses[i] == DBSTATUS_S_ISNULL ? QVariant() : QVariant(texts[i]));
        out << csvRecord(fields);
    }
    return failed(hr) ? fail(*rowset, QStringLiteral("The rows cannot be read.")) : 0;
}

// The places of one record's values, bound as the column's type when the text reads as
// one, otherwise as text.
struct RecordPlaces
{
    explicit RecordPlaces(qsizetype size)
        : integers(size)
        , reals(size)
        , texts(size)
        , statuses(size)
    {}
    QList<qint32> integers;
    QList<double> reals;
    QList<QString> texts;
    QList<DBSTATUS> statuses;

    Binding bind(qsizetype i, const DBCOLUMNINFO& column, const QVariant& field)
    {
        statuses[i] = field.isNull() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
        texts[i] = field.toString();
        bool ok = false;
        if (column.type == DBTYPE_I4 && (integers[i] = texts[i].toInt(&ok), ok))
            return Binding::int32(column.ordinal, &integers[i], &statuses[i]);
        // A column without a type takes numbers as numbers, as a spreadsheet does.
        const bool typeless = column.type == DBTYPE_VARIANT;
        if (typeless && (integers[i] = texts[i].toInt(&ok), ok))
            return Binding::int32(column.ordinal, &integers[i], &statuses[i]);
        if (typeless && (reals[i] = texts[i].toDouble(&ok), ok))
            return Binding::real(column.ordinal, &reals[i], &statuses[i]);
        if (column.type == DBTYPE_R8 || column.type == DBTYPE_DATE) {
            reals[i] = texts[i].toDouble(&ok);
            if (ok || parseIsoDayNumber(texts[i], &reals[i]))
                return column.type == DBTYPE_DATE
                           ? Binding::date(column.ordinal, &reals[i], &statuses[i])
                           : Binding::real(column.ordinal, &reals[i], &statuses[i]);
        }
        return Binding::text(column.ordinal, kLongText, &texts[i], &statuses[i]);
    }
};

int importRows(Session& session, const QString& table, const QString& csv)
{
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;
    if (failed(openRowset(session, tableStatement(table), true, &command, &rowset)))
        return fail(*command, QStringLiteral("The table %1 cannot be opened.").arg(table));
    QList<DBCOLUMNINFO> columns;
    rowset->getColumnInfo(&columns);
    CsvReader reader(csv);
    QList<QVariant> header;
    reader.readRecord(&header);
    QList<DBCOLUMNINFO> targets;
    for (const QVariant& name : header) {
        auto found = std::find_if(columns.begin(), columns.end(), [&](const DBCOLUMNINFO& c) {
            return c.name.compare(name.toString(), Qt::CaseInsensitive) == 0;
        });
        if (found == columns.end())
            return fail(QStringLiteral("%1 has no column '%2'.").arg(table, name.toString()));
        targets.append(*found);
    }
    if (failed(session.startTransaction()))
        return fail(session, QStringLiteral("The import cannot start."));
    int count = 0;
    int line = reader.line();
    QList<QVariant> fields;
    for (; reader.readRecord(&fields); line = reader.line(), ++count) {
        RecordPlaces places(targets.size());
        QList<Binding> bindings;
        for (qsizetype i = 0; i < targets.size(); ++i)
            bindings.append(places.bind(i, targets[i], fields.value(i)));
        Accessor accessor;
        if (failed(rowset->createAccessor(bindings, &accessor)) ||
            failed(rowset->insertRow(accessor))) {
            session.abort();
            return fail(*rowset,
                        QStringLiteral("Line %1 cannot be imported; nothing was.").arg(line));
        }
    }
    if (reader.hasError()) {
        session.abort();
        return fail(QStringLiteral("Line %1 has a quote that is never closed.").arg(line));
    }
    if (failed(session.commit()))
        return fail(session, QStringLiteral("The import cannot be saved."));
    QTextStream(stderr) << "Imported " << count << " rows into " << table << ".\n";
    return 0;
}

QString readInput(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = path.isEmpty() ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.readAll()) : QString();
}

int run(const QCommandLineParser& parser, const QString& database)
{
    std::unique_ptr<DataSource> dataSource;
    std::unique_ptr<Session> session;
    ErrorRecords errors;
    if (failed(openDatabaseFile(database, &dataSource, &session, &errors)))
        return fail(
            QStringLiteral("%1 cannot be opened.\n%2").arg(database, errors.joinedDescriptions()));
    if (parser.isSet(QStringLiteral("import"))) {
        bool ok = false;
        const QString csv = readInput(parser.value(QStringLiteral("from")), &ok);
        return ok ? importRows(*session, parser.value(QStringLiteral("import")), csv)
                  : fail(QStringLiteral("The CSV file cannot be read."));
    }
    QFile output;
    const QString outputPath = parser.value(QStringLiteral("output"));
    if (!(outputPath.isEmpty() ? output.open(stdout, QIODevice::WriteOnly)
                               : output.open(QIODevice::WriteOnly | QIODevice::Truncate)))
        return fail(QStringLiteral("%1 cannot be written.").arg(outputPath));
    QTextStream out(&output);
    const QString sql = parser.isSet(QStringLiteral("export"))
                            ? tableStatement(parser.value(QStringLiteral("export")))
                            : parser.value(QStringLiteral("query"));
    return writeRows(*session, sql, out);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates, imports into, exports from and queries a support database "
                       "(an SQLite file, or a workbook when the name ends in .xlsx)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("database"), QStringLiteral("The database file."));
    parser.addOptions({
        {QStringLiteral("create"), QStringLiteral("Create an empty database with the tables "
                                                  "Job and Knowledge.")},
        {QStringLiteral("import"), QStringLiteral("Add the rows of a CSV file to <table>."),
         QStringLiteral("table")},
        {QStringLiteral("from"),
         QStringLiteral("The CSV file to import (default: standard "
                        "input)."),
         QStringLiteral("file")},
        {QStringLiteral("export"), QStringLiteral("Write <table> as CSV."),
         QStringLiteral("table")},
        {QStringLiteral("query"), QStringLiteral("Write the rows of <statement> as CSV."),
         QStringLiteral("statement")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("Write to <file> instead of standard output."),
         QStringLiteral("file")},
    });
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();
    const int actions =
        int(parser.isSet(QStringLiteral("create"))) + int(parser.isSet(QStringLiteral("import"))) +
        int(parser.isSet(QStringLiteral("export"))) + int(parser.isSet(QStringLiteral("query")));
    if (arguments.size() != 1 || actions != 1)
        return fail(QStringLiteral("Give one database and one of --create, --import, --export "
                                   "and --query (see --help)."));
    if (parser.isSet(QStringLiteral("create"))) {
        ErrorRecords errors;
        return failed(createEmptyDatabase(arguments[0], &errors))
                   ? fail(errors.joinedDescriptions())
                   : 0;
    }
    return run(parser, arguments[0]);
}
