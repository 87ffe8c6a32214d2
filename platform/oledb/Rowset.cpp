#include "oledb/Rowset.h"

#include "oledb/provider/Connection.h"
#include "oledb/provider/RowSource.h"

namespace vnt::oledb {

Rowset::Rowset(std::shared_ptr<Connection> connection, std::unique_ptr<RowSource> source,
               Options options)
    : m_connection(std::move(connection))
    , m_source(std::move(source))
    , m_options(options)
{
    setErrorConnection(m_connection);
}

Rowset::~Rowset() = default;

HRESULT Rowset::getColumnInfo(QList<DBCOLUMNINFO>* columns) const
{
    columns->clear();
    if (m_options.bookmarks)
        columns->append(
            {QString(), 0, DBCOLUMNFLAGS_ISBOOKMARK | DBCOLUMNFLAGS_ISFIXEDLENGTH, 8, DBTYPE_I8});
    const bool writable = canChange();
    const QList<SourceColumn>& source = m_source->columns();
    for (qsizetype i = 0; i < source.size(); ++i) {
        const SourceColumn& column = source[i];
        DBCOLUMNFLAGS flags = 0;
        if (column.nullable)
            flags |= DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL;
        if (column.type != DBTYPE_STR)
            flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
        if (column.key)
            flags |= DBCOLUMNFLAGS_ISROWID;
        else if (writable)
            flags |= DBCOLUMNFLAGS_WRITE;
        columns->append({column.name, DBORDINAL(i + 1), flags, column.size, column.type});
    }
    return S_OK;
}

HRESULT Rowset::createAccessor(const QList<Binding>& bindings, Accessor* accessor)
{
    beginCall();
    for (const Binding& binding : bindings) {
        QString problem;
        HRESULT hr = Accessor::checkBinding(binding, &problem);
        if (succeeded(hr) &&
            (binding.ordinal < 1 || binding.ordinal > DBORDINAL(m_source->columns().size()))) {
            hr = DB_E_BADORDINAL;
            problem = QStringLiteral("The rowset has no column %1 to bind.").arg(binding.ordinal);
        }
        if (failed(hr))
            return fail(hr, problem);
    }
    *accessor = Accessor(bindings);
    return S_OK;
}

HRESULT Rowset::restartPosition()
{
    beginCall();
    m_position = -1;
    m_currentDeleted = false;
    return S_OK;
}

HRESULT Rowset::moveFirst()
{
    restartPosition();
    return moveTo(0, 1);
}

HRESULT Rowset::moveNext()
{
    beginCall();
    return moveTo(m_currentDeleted ? m_position : m_position + 1, 1);
}

HRESULT Rowset::movePrev()
{
    beginCall();
    if (!m_options.canFetchBackwards)
        return fail(DB_E_CANTFETCHBACKWARDS,
                    QStringLiteral("The rowset was not opened to fetch backwards."));
    return moveTo(m_position - 1, -1);
}

HRESULT Rowset::moveLast()
{
    beginCall();
    return moveTo(m_source->count() - 1, -1);
}

// Moves to the row at `index`, or, when that row has been deleted meanwhile, to the
// nearest remaining one in the direction `step`.
HRESULT Rowset::moveTo(qsizetype index, int step)
{
    if (const HRESULT hr = rowsReady(); failed(hr))
        return hr;
    QList<QVariant> values;
    for (;;) {
        if (index < 0 || index >= m_source->count()) {
            m_position = index < 0 ? -1 : m_source->count();
            m_currentDeleted = false;
            return DB_S_ENDOFROWSET;
        }
        const HRESULT hr = m_source->fetch(index, &values, &errors());
        if (failed(hr))
            return report(hr);
        if (hr == S_OK) {
            m_position = index;
            m_currentDeleted = false;
            return S_OK;
        }
        m_source->drop(index);
        if (step < 0)
            --index;
    }
}

HRESULT Rowset::rowsReady()
{
    const HRESULT hr = m_source->ready(&errors());
    return failed(hr) ? report(hr) : S_OK;
}

bool Rowset::hasCurrentRow() const
{
    return !m_currentDeleted && m_position >= 0 && m_position < m_source->count();
}

qsizetype Rowset::rowCount() const
{
    return m_source->count();
}

bool Rowset::canChange() const
{
    return m_options.updatability != 0 && m_source->readOnlyReason().isEmpty();
}

HRESULT Rowset::checkAccessor(const Accessor& accessor) const
{
    if (!accessor.isValid())
        return DB_E_BADACCESSORHANDLE;
    for (const Binding& binding : accessor.bindings()) {
        if (binding.ordinal < 1 || binding.ordinal > DBORDINAL(m_source->columns().size()))
            return DB_E_BADACCESSORHANDLE;
    }
    return S_OK;
}

// The current row's values; the row is forgotten when it has been deleted elsewhere.
HRESULT Rowset::currentValues(QList<QVariant>* values)
{
    if (const HRESULT hr = rowsReady(); failed(hr))
        return hr;
    if (!hasCurrentRow())
        return m_currentDeleted
                   ? fail(DB_E_DELETEDROW, QStringLiteral("The row has been deleted."))
                   : fail(DB_E_BADROWHANDLE, QStringLiteral("There is no current row."));
    const HRESULT hr = m_source->fetch(m_position, values, &errors());
    if (failed(hr))
        return report(hr);
    if (hr == S_FALSE) {
        m_source->drop(m_position);
        m_currentDeleted = true;
        return fail(DB_E_DELETEDROW, QStringLiteral("The row has been deleted."));
    }
    return S_OK;
}

HRESULT Rowset::getData(const Accessor& accessor)
{
    beginCall();
    if (failed(checkAccessor(accessor)))
        return fail(DB_E_BADACCESSORHANDLE,
                    QStringLiteral("The accessor does not fit the rowset."));
    QList<QVariant> values;
    HRESULT hr = currentValues(&values);
    if (failed(hr))
        return hr;
    int errorCount = 0;
    for (const Binding& binding : accessor.bindings()) {
        *binding.status = Accessor::readValue(binding, values[binding.ordinal - 1]);
        if (*binding.status != DBSTATUS_S_OK && *binding.status != DBSTATUS_S_ISNULL &&
            *binding.status != DBSTATUS_S_TRUNCATED)
            ++errorCount;
    }
    if (errorCount == 0)
        return S_OK;
    if (errorCount < accessor.bindings().size())
        return DB_S_ERRORSOCCURRED;
    return fail(DB_E_ERRORSOCCURRED, QStringLiteral("No value of the row could be converted."));
}

HRESULT Rowset::checkChange(qint32 updatability, const char* what)
{
    if (!(m_options.updatability & updatability))
        return fail(
            DB_E_NOTSUPPORTED,
            QStringLiteral("The rowset was not opened to %1 rows.").arg(QLatin1String(what)));
    const QString reason = m_source->readOnlyReason();
    if (!reason.isEmpty())
        return fail(DB_E_NOTSUPPORTED, reason);
    return S_OK;
}

// The values an accessor holds for a change. The key identifies the row and is written
// only when a row is added.
HRESULT Rowset::collectValues(const Accessor& accessor, ColumnValues* values, bool withKey)
{
    if (failed(checkAccessor(accessor)))
        return fail(DB_E_BADACCESSORHANDLE,
                    QStringLiteral("The accessor does not fit the rowset."));
    const QList<SourceColumn>& columns = m_source->columns();
    for (const Binding& binding : accessor.bindings()) {
        const SourceColumn& column = columns[binding.ordinal - 1];
        QVariant value;
        const DBSTATUS status = Accessor::writtenValue(binding, &value);
        if (status == DBSTATUS_S_IGNORE)
            continue;
        if (status == DBSTATUS_E_BADSTATUS || (column.key && !withKey)) {
            *binding.status = status == DBSTATUS_E_BADSTATUS ? status : DBSTATUS_E_PERMISSIONDENIED;
            return fail(DB_E_ERRORSOCCURRED,
                        QStringLiteral("Column %1 cannot be written.").arg(column.name));
        }
        if (binding.type == DBTYPE_DATE)
            m_connection->noteDateColumn(m_source->table(), column.origin);
        values->append({int(binding.ordinal - 1), value});
    }
    return S_OK;
}

HRESULT Rowset::setData(const Accessor& accessor)
{
    beginCall();
    ColumnValues values;
    HRESULT hr = checkChange(DBPROPVAL_UP_CHANGE, "change");
    if (succeeded(hr))
        hr = collectValues(accessor, &values, false);
    QList<QVariant> current;
    if (succeeded(hr))
        hr = currentValues(&current);
    if (failed(hr))
        return hr;
    hr = m_connection->runChange(
        m_source->table(), [&] { return m_source->update(m_position, values, &errors()); },
        &errors());
    return failed(hr) ? report(hr) : S_OK;
}

HRESULT Rowset::insertRow(const Accessor& accessor)
{
    beginCall();
    ColumnValues values;
    HRESULT hr = checkChange(DBPROPVAL_UP_INSERT, "add");
    if (succeeded(hr))
        hr = collectValues(accessor, &values, true);
    // The rows are listed before the new one is added, which is then added once.
    if (succeeded(hr))
        hr = rowsReady();
    if (failed(hr))
        return hr;
    qint64 key = 0;
    hr = m_connection->runChange(
        m_source->table(), [&] { return m_source->insert(values, &key, &errors()); }, &errors());
    if (failed(hr))
        return report(hr);
    const bool afterLast = m_position >= m_source->count();
    m_source->appendKey(key);
    if (afterLast)
        m_position = m_source->count();
    return S_OK;
}

HRESULT Rowset::deleteRow()
{
    beginCall();
    HRESULT hr = checkChange(DBPROPVAL_UP_DELETE, "delete");
    QList<QVariant> current;
    if (succeeded(hr))
        hr = currentValues(&current);
    if (failed(hr))
        return hr;
    hr = m_connection->runChange(
        m_source->table(), [&] { return m_source->remove(m_position, &errors()); }, &errors());
    if (failed(hr) && hr != DB_E_DELETEDROW)
        return report(hr);
    // A row deleted elsewhere meanwhile is gone all the same.
    m_source->drop(m_position);
    m_currentDeleted = true;
    return failed(hr) ? report(hr) : S_OK;
}

} // namespace vnt::oledb
