#include "oledb/provider/WorkbookProvider.h"

#include "fileio/AtomicFile.h"
#include "fileio/FileLock.h"
#include "oledb/DayNumber.h"
#include "oledb/provider/Connection.h"
#include "oledb/provider/Sqlite.h"
#include "oledb/provider/WorkbookTable.h"
#include "oledb/xlsx/PackageReader.h"
#include "oledb/xlsx/SheetReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <sqlite3.h>

namespace vnt::oledb {

namespace {

// How long a change waits for another writer of the workbook to finish.
constexpr int kLockTimeoutMs = 5000;

// What identifies the file as last read or written, to notice another program's save:
// a program that rewrites the file in place and keeps its size and time still changes
// its content, which is kept to compare (cheaper than hashing it).
struct FileStamp
{
    fileio::FileIdentity identity;
    QByteArray content;
};

// The whole content of an open file, read from its start.
bool readWhole(int fd, QByteArray* data)
{
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) || !file.seek(0))
        return false;
    *data = file.readAll();
    return file.error() == QFileDevice::NoError;
}

class WorkbookConnection : public Connection
{
public:
    WorkbookConnection(sqlite3* db, QString path, const WorkbookOptions& options)
        : Connection(db)
        , m_path(std::move(path))
        , m_options(options)
    {}

    HRESULT load(ErrorRecords* errors);
    QString readOnlyReason(const QString& table) const override;
    bool isDateColumn(const QString& table, const QString& column) const override;
    void noteDateColumn(const QString& table, const QString& column) override;

protected:
    HRESULT persist(ErrorRecords* errors) override;
    void noteChanged(const QString& table) override;

private:
    HRESULT cannotRead(const QString& reason, ErrorRecords* errors) const;
    HRESULT cannotWrite(const QString& reason, ErrorRecords* errors, HRESULT hr = E_FAIL) const;
    HRESULT lockForChange(fileio::FileLock* lock, ErrorRecords* errors) const;
    bool readInfo(xlsx::PackageReader& reader, QString* error);
    bool readSheet(xlsx::PackageReader& reader, const QString& part, xlsx::SheetCells* data,
                   QString* error);
    bool loadTables(xlsx::PackageReader& reader, QString* error);
    void createViews();
    WorkbookTable* find(const QString& table);
    const WorkbookTable* find(const QString& table) const;
    SheetLayout layout() const;
    bool writeSheets(xlsx::Package* package, xlsx::WorkbookInfo* info,
                     QHash<QString, QList<qint64>>* orders, QString* error);
    int dateStyle(xlsx::Package* package, xlsx::WorkbookInfo* info);

    QString m_path;
    WorkbookOptions m_options;
    xlsx::Package m_package;
    xlsx::WorkbookInfo m_info;
    QList<WorkbookTable> m_tables;
    FileStamp m_stamp;
};

HRESULT WorkbookConnection::cannotRead(const QString& reason, ErrorRecords* errors) const
{
    errors->add(E_FAIL,
                QStringLiteral("The workbook '%1' cannot be read: %2.").arg(m_path, reason));
    return E_FAIL;
}

HRESULT WorkbookConnection::cannotWrite(const QString& reason, ErrorRecords* errors,
                                        HRESULT hr) const
{
    errors->add(hr,
                QStringLiteral("The workbook '%1' could not be written: %2.").arg(m_path, reason));
    return hr;
}

HRESULT WorkbookConnection::load(ErrorRecords* errors)
{
    const QFileInfo fileInfo(m_path);
    if (m_path.isEmpty() || !fileInfo.exists() || fileInfo.isDir()) {
        errors->add(STG_E_FILENOTFOUND, QStringLiteral("Could not find file '%1'.").arg(m_path));
        return STG_E_FILENOTFOUND;
    }
    // A file that cannot be written opens read-only, as a database file does.
    m_options.readOnly = m_options.readOnly || !fileInfo.isWritable();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(file.errorString(), errors);
    // The stamp is taken from the file read, which another program may replace meanwhile.
    m_stamp.identity = fileio::identityOf(file.handle());
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return cannotRead(file.errorString(), errors);
    m_stamp.content = content;
    QString error;
    xlsx::PackageReader reader;
    if (!reader.open(content, xlsx::PackageReader::kPendingSize, &m_package, &error) ||
        !readInfo(reader, &error) || !loadTables(reader, &error) ||
        !reader.readPending(&m_package, &error))
        return cannotRead(error, errors);
    createViews();
    return S_OK;
}

// Reads what the workbook part, its relationships, styles and shared strings say; the
// ones among them that are large are read first.
bool WorkbookConnection::readInfo(xlsx::PackageReader& reader, QString* error)
{
    const bool read = xlsx::readWorkbookInfo(m_package, &m_info, error);
    bool pending = false;
    for (const QString& part :
         {m_info.workbookPart, m_info.relsPart, m_info.stylesPart, m_info.sharedStringsPart}) {
        pending = pending || reader.isPending(part);
        if (!reader.read(part, &m_package, error))
            return false;
    }
    if (!pending)
        return read;
    m_info = xlsx::WorkbookInfo();
    return xlsx::readWorkbookInfo(m_package, &m_info, error);
}

// Reads the cells of a sheet; a large sheet is parsed while it is being inflated.
bool WorkbookConnection::readSheet(xlsx::PackageReader& reader, const QString& part,
                                   xlsx::SheetCells* data, QString* error)
{
    if (reader.isPending(part)) {
        std::unique_ptr<xlsx::PartStream> stream = reader.stream(part);
        const bool read = xlsx::readSheetCells(*stream, m_info, data, error);
        if (reader.take(std::move(stream), &m_package))
            return read;
        // Not as its directory entry says: read as any other part, which says why.
        *data = xlsx::SheetCells();
        if (!reader.read(part, &m_package, error))
            return false;
    }
    return xlsx::readSheetCells(m_package.part(part), m_info, data, error);
}

SheetLayout WorkbookConnection::layout() const
{
    return {m_options.headerRow, m_info.date1904 ? kDate1904Offset : 0.0};
}

bool WorkbookConnection::loadTables(xlsx::PackageReader& reader, QString* error)
{
    for (const xlsx::WorkbookInfo::Sheet& sheet : m_info.sheets) {
        xlsx::SheetCells data;
        if (!readSheet(reader, sheet.part, &data, error))
            return false;
        WorkbookTable table;
        table.sheet = sheet.name;
        table.part = sheet.part;
        table.table = sheet.name + QLatin1Char('$');
        if (!loadSheet(db(), m_info, data, layout(), &table, error)) {
            *error = QStringLiteral("sheet '%1': %2").arg(sheet.name, *error);
            return false;
        }
        m_tables.append(table);
    }
    return true;
}

// Statements name sheets both as "Name$" and as "Name"; the second is a view, made only
// where no sheet already takes the name.
void WorkbookConnection::createViews()
{
    QSet<QString> names;
    for (const WorkbookTable& table : m_tables)
        names.insert(table.table.toLower());
    for (const WorkbookTable& table : m_tables) {
        if (names.contains(table.sheet.toLower()))
            continue;
        names.insert(table.sheet.toLower());
        const QString sql = QStringLiteral("CREATE VIEW %1 AS SELECT * FROM %2")
                                .arg(quoteIdentifier(table.sheet), quoteIdentifier(table.table));
        execSql(db(), sql.toUtf8().constData());
    }
}

WorkbookTable* WorkbookConnection::find(const QString& table)
{
    for (WorkbookTable& candidate : m_tables) {
        if (candidate.table.compare(table, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

const WorkbookTable* WorkbookConnection::find(const QString& table) const
{
    return const_cast<WorkbookConnection*>(this)->find(table);
}

QString WorkbookConnection::readOnlyReason(const QString& table) const
{
    if (m_options.readOnly)
        return QStringLiteral("The workbook '%1' is open read-only.").arg(m_path);
    const WorkbookTable* found = find(table);
    return found ? found->readOnlyReason : QString();
}

bool WorkbookConnection::isDateColumn(const QString& table, const QString& column) const
{
    const WorkbookTable* found = find(table);
    const int index = found ? found->columnIndex(column) : -1;
    return index >= 0 && found->columns[index].date;
}

void WorkbookConnection::noteDateColumn(const QString& table, const QString& column)
{
    WorkbookTable* found = find(table);
    const int index = found ? found->columnIndex(column) : -1;
    if (index >= 0)
        found->columns[index].date = true;
}

void WorkbookConnection::noteChanged(const QString& table)
{
    if (WorkbookTable* found = find(table))
        found->dirty = true;
}

// A cell style that shows dates, added to the styles when the workbook has none.
int WorkbookConnection::dateStyle(xlsx::Package* package, xlsx::WorkbookInfo* info)
{
    const qsizetype existing = info->styleKinds.indexOf(xlsx::FormatKind::Date);
    if (existing >= 0)
        return int(existing);
    if (info->stylesPart.isEmpty())
        return 0;
    QByteArray styles = package->part(info->stylesPart);
    const int style = xlsx::addDateStyle(&styles);
    if (style < 0)
        return 0;
    package->setPart(info->stylesPart, styles);
    info->styleKinds.resize(style + 1);
    info->styleKinds[style] = xlsx::FormatKind::Date;
    return style;
}

bool WorkbookConnection::writeSheets(xlsx::Package* package, xlsx::WorkbookInfo* info,
                                     QHash<QString, QList<qint64>>* orders, QString* error)
{
    for (const WorkbookTable& table : m_tables) {
        if (!table.dirty)
            continue;
        QList<xlsx::ColumnFormat> columns = table.columns;
        for (xlsx::ColumnFormat& format : columns) {
            if (format.date && !info->isDateStyle(format.style))
                format.style = dateStyle(package, info);
        }
        QByteArray xml;
        QList<qint64> order;
        if (!writeTableSheet(db(), table, columns, layout(), package->part(table.part), &xml,
                             &order, error))
            return false;
        package->setPart(table.part, xml);
        orders->insert(table.table, order);
    }
    return true;
}

// Locks the workbook against other writers and checks that it is still the file last read
// or written here; the lock is held until the new file has replaced it.
HRESULT WorkbookConnection::lockForChange(fileio::FileLock* lock, ErrorRecords* errors) const
{
    const QString changed =
        QStringLiteral("The workbook '%1' has been changed by another program since it was "
                       "opened; connect again to see its changes.")
            .arg(m_path);
    switch (lock->lock(m_path, kLockTimeoutMs)) {
    case fileio::FileLock::Result::Locked:
        break;
    case fileio::FileLock::Result::TimedOut:
        errors->add(DB_E_RESOURCELOCKED,
                    QStringLiteral("The workbook '%1' is in use by another program; try again "
                                   "when it has finished.")
                        .arg(m_path));
        return DB_E_RESOURCELOCKED;
    case fileio::FileLock::Result::Failed:
        if (lock->systemError() == ENOENT) {
            errors->add(DB_E_CONCURRENCYVIOLATION, changed);
            return DB_E_CONCURRENCYVIOLATION;
        }
        return cannotWrite(fileio::failureFor(lock->systemError(), m_path).reason, errors);
    }
    QByteArray current;
    if (fileio::identityOf(lock->fd()) != m_stamp.identity || !readWhole(lock->fd(), &current) ||
        current != m_stamp.content) {
        errors->add(DB_E_CONCURRENCYVIOLATION, changed);
        return DB_E_CONCURRENCYVIOLATION;
    }
    return S_OK;
}

HRESULT WorkbookConnection::persist(ErrorRecords* errors)
{
    if (std::none_of(m_tables.begin(), m_tables.end(),
                     [](const WorkbookTable& table) { return table.dirty; }))
        return S_OK;
    fileio::FileLock lock;
    HRESULT hr = lockForChange(&lock, errors);
    if (failed(hr))
        return hr;
    xlsx::Package package = m_package;
    xlsx::WorkbookInfo info = m_info;
    QHash<QString, QList<qint64>> orders;
    QString error;
    QByteArray data;
    if (!writeSheets(&package, &info, &orders, &error))
        return cannotWrite(error, errors);
    xlsx::dropCalcChain(&package, info);
    if (!xlsx::writePackage(package, &data, &error))
        return cannotWrite(error, errors);
    const fileio::WriteResult written = fileio::writeFileAtomically(m_path, data);
    if (!written.ok())
        return cannotWrite(written.reason, errors,
                           written.failure == fileio::WriteFailure::DiskFull ? STG_E_MEDIUMFULL
                                                                             : E_FAIL);
    m_package = package;
    m_info = info;
    m_stamp = {written.written, data};
    for (WorkbookTable& table : m_tables) {
        if (orders.contains(table.table))
            table.rowOrder = orders[table.table];
        table.dirty = false;
    }
    return S_OK;
}

} // namespace

HRESULT openWorkbook(const QString& path, const WorkbookOptions& options,
                     std::shared_ptr<Connection>* connection, ErrorRecords* errors)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(
        ":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto workbook = std::make_shared<WorkbookConnection>(db, path, options);
    if (rc == SQLITE_OK)
        rc = registerLike(db);
    if (rc != SQLITE_OK)
        return sqliteFailure(db, rc, QString(), errors);
    const HRESULT hr = workbook->load(errors);
    if (failed(hr))
        return hr;
    *connection = std::move(workbook);
    return S_OK;
}

} // namespace vnt::oledb
