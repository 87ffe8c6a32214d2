#pragma once

#include "oledb/OleDbTypes.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <variant>

namespace vnt::oledb {

// Where a bound value lives: a 4-byte integer (DBTYPE_I4), a double (DBTYPE_R8 and
// DBTYPE_DATE) or a text (DBTYPE_STR).
using ValuePlace = std::variant<std::monostate, qint32*, double*, QString*>;

// One bound column. For DBTYPE_STR the maximum length counts characters and includes the
// terminating null of the single-byte strings it stands for, so a text is read with at
// most maxLength - 1 characters. The status place is read on writes (DBSTATUS_S_OK,
// DBSTATUS_S_ISNULL or DBSTATUS_S_IGNORE) and set on reads.
struct Binding
{
    DBORDINAL ordinal = 0;
    DBTYPE type = DBTYPE_EMPTY;
    DBLENGTH maxLength = 0;
    ValuePlace value;
    DBSTATUS* status = nullptr;

    static Binding int32(DBORDINAL ordinal, qint32* value, DBSTATUS* status);
    static Binding real(DBORDINAL ordinal, double* value, DBSTATUS* status);
    static Binding date(DBORDINAL ordinal, double* value, DBSTATUS* status);
    static Binding text(DBORDINAL ordinal, DBLENGTH maxLength, QString* value, DBSTATUS* status);
};

// A checked list of bindings, created by a rowset from its column information.
class Accessor
{
public:
    Accessor() = default;
    bool isValid() const { return m_valid; }
    const QList<Binding>& bindings() const { return m_bindings; }

    // Checks one binding on its own: a known type whose value place fits it, a status
    // place, a positive length for texts. DB_E_BADBINDINFO otherwise.
    static HRESULT checkBinding(const Binding& binding, QString* problem);

    // Copies `value` (null, integer, real or text, as the database holds it) into the
    // binding's place and returns the status it set.
    static DBSTATUS readValue(const Binding& binding, const QVariant& value);
    // The value to store from the binding's place. Answers DBSTATUS_S_OK with the value,
    // DBSTATUS_S_ISNULL with a null value, DBSTATUS_S_IGNORE when the column is to be left
    // as it is, and DBSTATUS_E_BADSTATUS for any other status in the status place.
    static DBSTATUS writtenValue(const Binding& binding, QVariant* value);

private:
    friend class Rowset;
    explicit Accessor(QList<Binding> bindings);

    QList<Binding> m_bindings;
    bool m_valid = false;
};

} // namespace vnt::oledb
