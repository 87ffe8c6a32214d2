#include "oledb/Properties.h"

namespace vnt::oledb {

PropertyValues::PropertyValues(QList<Known> known)
    : m_known(std::move(known))
{}

const PropertyValues::Known* PropertyValues::find(DBPROPID id) const
{
    for (const Known& known : m_known) {
        if (known.id == id)
            return &known;
    }
    return nullptr;
}

bool PropertyValues::fits(Kind kind, const QVariant& value)
{
    switch (kind) {
    case Kind::Bool:
        return value.typeId() == QMetaType::Bool;
    case Kind::Int:
        return value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
               value.typeId() == QMetaType::UInt;
    case Kind::String:
        return value.typeId() == QMetaType::QString;
    }
    return false;
}

HRESULT PropertyValues::set(DBPROPSET* properties)
{
    int taken = 0;
    for (DBPROP& property : *properties) {
        const Known* known = find(property.propertyId);
        if (!known)
            property.status = property.options == DBPROPOPTIONS_OPTIONAL
                                  ? DBPROPSTATUS_NOTSET
                                  : DBPROPSTATUS_NOTSUPPORTED;
        else if (!fits(known->kind, property.value))
            property.status = DBPROPSTATUS_BADVALUE;
        else
            property.status = DBPROPSTATUS_OK;
        if (property.status == DBPROPSTATUS_OK) {
            m_values.insert(property.propertyId, property.value);
            ++taken;
        }
    }
    if (taken == properties->size())
        return S_OK;
    return taken > 0 ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

bool PropertyValues::boolValue(DBPROPID id, bool fallback) const
{
    return m_values.contains(id) ? m_values[id].toBool() : fallback;
}

qint32 PropertyValues::intValue(DBPROPID id, qint32 fallback) const
{
    return m_values.contains(id) ? m_values[id].toInt() : fallback;
}

QString PropertyValues::stringValue(DBPROPID id) const
{
    return m_values.value(id).toString();
}

} // namespace vnt::oledb
