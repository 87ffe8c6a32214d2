#include "oledb/Command.h"

#include "oledb/Rowset.h"
#include "oledb/provider/Connection.h"
#include "oledb/provider/RowSource.h"

namespace vnt::oledb {

namespace {

QList<PropertyValues::Known> rowsetProperties()
{
    using Kind = PropertyValues::Kind;
    return {{DBPROP_CANFETCHBACKWARDS, Kind::Bool}, {DBPROP_CANSCROLLBACKWARDS, Kind::Bool},
            {DBPROP_BOOKMARKS, Kind::Bool},         {DBPROP_IRowsetLocate, Kind::Bool},
            {DBPROP_IRowsetScroll, Kind::Bool},     {DBPROP_IRowsetChange, Kind::Bool},
            {DBPROP_UPDATABILITY, Kind::Int}};
}

} // namespace

Command::Command(std::shared_ptr<Connection> connection)
    : m_connection(std::move(connection))
    , m_properties(rowsetProperties())
{
    setErrorConnection(m_connection);
}

Command::~Command() = default;

HRESULT Command::setCommandText(const QString& text)
{
    beginCall();
    m_text = text;
    return S_OK;
}

HRESULT Command::setProperties(DBPROPSET* properties)
{
    beginCall();
    const HRESULT hr = m_properties.set(properties);
    if (failed(hr))
        return fail(hr, QStringLiteral("None of the rowset properties could be set."));
    return hr;
}

HRESULT Command::execute(std::unique_ptr<Rowset>* rowset)
{
    beginCall();
    rowset->reset();
    if (m_text.trimmed().isEmpty())
        return fail(DB_E_NOCOMMAND, QStringLiteral("The command has no text."));
    std::unique_ptr<RowSource> source;
    const HRESULT hr = openRowSource(*m_connection, m_text, &source, &errors());
    if (failed(hr))
        return report(hr);
    Rowset::Options options;
    options.canFetchBackwards = m_properties.boolValue(DBPROP_CANFETCHBACKWARDS) ||
                                m_properties.boolValue(DBPROP_CANSCROLLBACKWARDS);
    options.bookmarks = m_properties.boolValue(DBPROP_BOOKMARKS) ||
                        m_properties.boolValue(DBPROP_IRowsetLocate) ||
                        m_properties.boolValue(DBPROP_IRowsetScroll);
    if (m_properties.boolValue(DBPROP_IRowsetChange))
        options.updatability = m_properties.intValue(
            DBPROP_UPDATABILITY, DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_DELETE | DBPROPVAL_UP_INSERT);
    const bool changeRefused = options.updatability != 0 && !source->readOnlyReason().isEmpty();
    *rowset = std::make_unique<Rowset>(m_connection, std::move(source), options);
    return changeRefused ? DB_S_ERRORSOCCURRED : S_OK;
}

} // namespace vnt::oledb
