#include "oledb/DatabaseFiles.h"

#include "fileio/AtomicFile.h"
#include "oledb/DataSource.h"
#include "oledb/Session.h"
#include "oledb/provider/Sqlite.h"
#include "oledb/xlsx/XlsxReader.h"
#include "oledb/xlsx/XlsxWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sqlite3.h>

namespace vnt::oledb {

namespace {

TableColumn text(const char* name, int length)
{
    return {QLatin1String(name), QStringLiteral("TEXT(%1)").arg(length), false};
}

TableColumn integer(const char* name)
{
    return {QLatin1String(name), QStringLiteral("INTEGER"), false};
}

TableColumn date(const char* name)
{
    return {QLatin1String(name), QStringLiteral("REAL"), true};
}

QString createStatement(const TableDefinition& table)
{
    QStringList columns;
    for (const TableColumn& column : table.columns) {
        QString definition = quoteIdentifier(column.name) + QLatin1Char(' ') + column.declaredType;
        if (&column == &table.columns.first())
            definition += QLatin1String(" PRIMARY KEY");
        else if (column.declaredType.startsWith(QLatin1String("TEXT")))
            definition += QLatin1String(" COLLATE NOCASE"); // sorts and compares as users expect
        columns.append(definition);
    }
    return QStringLiteral("CREATE TABLE %1 (%2);")
        .arg(quoteIdentifier(table.name), columns.join(QLatin1String(", ")));
}

HRESULT createSqliteFile(const QString& path, ErrorRecords* errors)
{
    const QString temporary = path + QLatin1String(".new");
    QFile::remove(temporary);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(temporary.toUtf8().constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString sql = QStringLiteral("PRAGMA user_version = 1; BEGIN;");
    for (const TableDefinition& table : supportTables())
        sql += createStatement(table);
    sql += QLatin1String("COMMIT;");
    if (rc == SQLITE_OK)
        rc = execSql(db, sql.toUtf8().constData());
    HRESULT hr = S_OK;
    if (rc != SQLITE_OK)
        hr = sqliteFailure(db, rc, QStringLiteral("The database '%1' cannot be created").arg(path),
                           errors);
    sqlite3_close(db);
    if (succeeded(hr) && !QFile::rename(temporary, path)) {
        errors->add(STG_E_ACCESSDENIED,
                    QStringLiteral("The database '%1' cannot be created.").arg(path));
        hr = STG_E_ACCESSDENIED;
    }
    QFile::remove(temporary);
    return hr;
}

xlsx::FormatKind formatKind(const TableColumn& column)
{
    if (column.date)
        return xlsx::FormatKind::Date;
    if (column.declaredType == QLatin1String("INTEGER"))
        return xlsx::FormatKind::Integer;
    return column.declaredType.startsWith(QLatin1String("TEXT")) ? xlsx::FormatKind::Text
                                                                 : xlsx::FormatKind::Number;
}

HRESULT createWorkbook(const QString& path, ErrorRecords* errors)
{
    QList<xlsx::NewSheet> sheets;
    for (const TableDefinition& table : supportTables()) {
        xlsx::NewSheet sheet{table.name, {}, {}};
        for (const TableColumn& column : table.columns) {
            sheet.columns.append(column.name);
            sheet.kinds.append(formatKind(column));
        }
        sheets.append(sheet);
    }
    xlsx::Package package = xlsx::newWorkbook(sheets);
    for (int i = 0; i < sheets.size(); ++i) {
        xlsx::SheetContent content;
        for (const QString& name : sheets[i].columns)
            content.columns.append({name, 0, 0, false});
        const QString part = QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1);
        QByteArray xml;
        xlsx::replaceSheetData(package.part(part), content, &xml);
        package.setPart(part, xml);
    }
    QByteArray data;
    QString error;
    if (!xlsx::writePackage(package, &data, &error)) {
        errors->add(E_FAIL,
                    QStringLiteral("The workbook '%1' cannot be created: %2.").arg(path, error));
        return E_FAIL;
    }
    const fileio::WriteResult written = fileio::writeFileAtomically(path, data);
    if (!written.ok()) {
        const HRESULT hr = written.failure == fileio::WriteFailure::DiskFull ? STG_E_MEDIUMFULL
                                                                             : STG_E_ACCESSDENIED;
        errors->add(
            hr,
            QStringLiteral("The workbook '%1' cannot be created: %2.").arg(path, written.reason));
        return hr;
    }
    return S_OK;
}

} // namespace

const QList<TableDefinition>& supportTables()
{
    static const QList<TableDefinition> tables = {
        {QStringLiteral("Job"),
         {integer("ID"), integer("Job number"), text("Problem", 255), text("Solution", 255),
          text("Customer name", 255), text("Customer email", 255), date("Start date"),
          date("End date"), text("Notes", 255), integer("Priority"), integer("Status"),
          text("Category", 80), text("Product", 80)}},
        {QStringLiteral("Knowledge"),
         {integer("ID"), integer("Reference"), text("Type", 50), text("Fact or Problem", 255),
          text("Note 1", 255), text("Note 2", 255), text("Note 3", 255)}},
    };
    return tables;
}

bool isWorkbookPath(const QString& path)
{
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

QString providerStringFor(const QString& path)
{
    return isWorkbookPath(path) ? QStringLiteral("Excel 8.0;HDR=Yes;")
                                : QStringLiteral(";COUNTRY=0;CP=1252;LANGID=0x0409");
}

HRESULT createEmptyDatabase(const QString& path, ErrorRecords* errors)
{
    if (QFileInfo::exists(path)) {
        errors->add(STG_E_ACCESSDENIED,
                    QStringLiteral("'%1' exists already; it is not replaced.").arg(path));
        return STG_E_ACCESSDENIED;
    }
    return isWorkbookPath(path) ? createWorkbook(path, errors) : createSqliteFile(path, errors);
}

HRESULT openDatabaseFile(const QString& path, std::unique_ptr<DataSource>* dataSource,
                         std::unique_ptr<Session>* session, ErrorRecords* errors)
{
    HRESULT hr = DataSource::create(QStringLiteral("SQLite"), dataSource);
    if (failed(hr))
        return hr;
    DBPROPSET properties = {{DBPROP_INIT_DATASOURCE, path},
                            {DBPROP_INIT_PROVIDERSTRING, providerStringFor(path)}};
    hr = (*dataSource)->setProperties(&properties);
    if (succeeded(hr))
        hr = (*dataSource)->initialize();
    if (succeeded(hr))
        hr = (*dataSource)->createSession(session);
    if (failed(hr))
        (*dataSource)->getErrorRecords(errors);
    return hr;
}

} // namespace vnt::oledb
