#include "database/RecordSet.h"

#include "database/DatabaseNames.h"
#include "oledb/Command.h"
#include "oledb/Properties.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

namespace vantrel::database {

using namespace vnt::oledb;

namespace {

DBPROPSET rowsetProperties()
{
    return {
        {DBPROP_CANFETCHBACKWARDS, true},
        {DBPROP_IRowsetScroll, true},
        {DBPROP_IRowsetChange, true},
        {DBPROP_UPDATABILITY, DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_DELETE | DBPROPVAL_UP_INSERT},
    };
}

} // namespace

RecordSet::RecordSet(std::span<const FieldSpec> fields)
    : m_fields(fields)
    , m_values(fields.size())
    , m_asRead(fields.size())
    , m_scratch(fields.size())
{}

RecordSet::~RecordSet() = default;

QList<Binding> RecordSet::bindingsFor(RecordValues& values) const
{
    QList<Binding> bindings;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const FieldSpec& field = m_fields[i];
        RecordSlot& slot = values[i];
        switch (field.kind) {
        case FieldKind::Text:
            bindings.append(
                Binding::text(field.ordinal, DBLENGTH(field.maxLength), &slot.text, &slot.status));
            break;
        case FieldKind::Date:
            bindings.append(Binding::date(field.ordinal, &slot.date, &slot.status));
            break;
        default:
            bindings.append(Binding::int32(field.ordinal, &slot.integer, &slot.status));
            break;
        }
    }
    return bindings;
}

HRESULT RecordSet::open(Session& session, const QString& statement)
{
    close();
    m_failedObject = &session;
    for (RecordSlot& slot : m_values)
        slot = RecordSlot();
    HRESULT hr = session.createCommand(&m_command);
    if (failed(hr))
        return hr;
    m_failedObject = m_command.get();
    DBPROPSET properties = rowsetProperties();
    hr = m_command->setCommandText(statement);
    if (succeeded(hr))
        hr = m_command->setProperties(&properties);
    if (succeeded(hr))
        hr = m_command->execute(&m_rowset);
    if (succeeded(hr) && m_rowset) {
        m_failedObject = m_rowset.get();
        hr = m_rowset->createAccessor(bindingsFor(m_values), &m_accessor);
        if (succeeded(hr))
            hr = m_rowset->createAccessor(bindingsFor(m_scratch), &m_scratchAccessor);
    }
    if (failed(hr) || !m_rowset) {
        m_rowset.reset();
        m_accessor = Accessor();
        m_scratchAccessor = Accessor();
        return failed(hr) ? hr : E_FAIL;
    }
    atFirst = false;
    atLast = false;
    return S_OK;
}

HRESULT RecordSet::adopt(RecordSet& other)
{
    close();
    for (RecordSlot& slot : m_values)
        slot = RecordSlot();
    m_command = std::move(other.m_command);
    m_rowset = std::move(other.m_rowset);
    other.close();
    m_failedObject = m_rowset.get();
    HRESULT hr = m_rowset ? S_OK : E_UNEXPECTED;
    if (succeeded(hr))
        hr = m_rowset->createAccessor(bindingsFor(m_values), &m_accessor);
    if (succeeded(hr))
        hr = m_rowset->createAccessor(bindingsFor(m_scratch), &m_scratchAccessor);
    if (failed(hr))
        close();
    return hr;
}

void RecordSet::close()
{
    shown.clear();
    m_rowset.reset();
    m_accessor = Accessor();
    m_scratchAccessor = Accessor();
    atFirst = false;
    atLast = false;
}

ErrorInfo* RecordSet::errorObject() const
{
    return m_failedObject;
}

bool RecordSet::readColumnNames(QStringList* names) const
{
    QList<DBCOLUMNINFO> columns;
    if (!m_rowset || failed(m_rowset->getColumnInfo(&columns)) || columns.isEmpty())
        return false;
    const DBORDINAL first = m_fields.front().ordinal;
    const DBORDINAL last = m_fields.back().ordinal;
    if (names->size() < qsizetype(m_fields.size()))
        names->resize(qsizetype(m_fields.size()));
    for (const DBCOLUMNINFO& column : columns) {
        if ((column.flags & DBCOLUMNFLAGS_ISBOOKMARK) || column.name.isNull())
            continue;
        if (column.ordinal >= first && column.ordinal <= last)
            (*names)[qsizetype(column.ordinal - first)] = column.name.left(kMaxColumnName);
    }
    return true;
}

HRESULT RecordSet::moveFirst()
{
    return m_rowset ? m_rowset->moveFirst() : E_UNEXPECTED;
}

HRESULT RecordSet::moveNext()
{
    return m_rowset ? m_rowset->moveNext() : E_UNEXPECTED;
}

HRESULT RecordSet::movePrevious()
{
    return m_rowset ? m_rowset->movePrev() : E_UNEXPECTED;
}

HRESULT RecordSet::moveLast()
{
    return m_rowset ? m_rowset->moveLast() : E_UNEXPECTED;
}

HRESULT RecordSet::read()
{
    if (!m_rowset)
        return E_UNEXPECTED;
    const HRESULT hr = m_rowset->getData(m_accessor);
    if (succeeded(hr))
        m_asRead = m_values;
    return hr;
}

HRESULT RecordSet::readStored(RecordValues* values)
{
    if (!m_rowset)
        return E_UNEXPECTED;
    const HRESULT hr = m_rowset->getData(m_scratchAccessor);
    if (succeeded(hr))
        *values = m_scratch;
    return hr;
}

HRESULT RecordSet::write()
{
    return m_rowset ? m_rowset->setData(m_accessor) : E_UNEXPECTED;
}

HRESULT RecordSet::insert()
{
    return m_rowset ? m_rowset->insertRow(m_accessor) : E_UNEXPECTED;
}

HRESULT RecordSet::remove()
{
    return m_rowset ? m_rowset->deleteRow() : E_UNEXPECTED;
}

} // namespace vantrel::database
