#pragma once

#include "oledb/OleDbTypes.h"

#include <QHash>
#include <QList>
#include <QVariant>

namespace vnt::oledb {

// One property to set: its id, value and options; the status is filled in by the object
// it is given to.
struct DBPROP
{
    DBPROPID propertyId = 0;
    QVariant value;
    DBPROPOPTIONS options = DBPROPOPTIONS_REQUIRED;
    DBPROPSTATUS status = DBPROPSTATUS_OK;
};

using DBPROPSET = QList<DBPROP>;

// The values of the properties an object knows, after checking each given one. Unknown
// properties and values of the wrong kind get a failing status; every property that was
// given keeps its status in the set.
class PropertyValues
{
public:
    enum class Kind { Bool, Int, String };
    struct Known
    {
        DBPROPID id;
        Kind kind;
    };

    explicit PropertyValues(QList<Known> known);

    // S_OK when every property was taken, DB_S_ERRORSOCCURRED when only some were,
    // DB_E_ERRORSOCCURRED when none was.
    HRESULT set(DBPROPSET* properties);

    bool contains(DBPROPID id) const { return m_values.contains(id); }
    bool boolValue(DBPROPID id, bool fallback = false) const;
    qint32 intValue(DBPROPID id, qint32 fallback = 0) const;
    QString stringValue(DBPROPID id) const;

private:
    const Known* find(DBPROPID id) const;
    static bool fits(Kind kind, const QVariant& value);

    QList<Known> m_known;
    QHash<DBPROPID, QVariant> m_values;
};

} // namespace vnt::oledb
