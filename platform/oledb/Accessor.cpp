#include "oledb/Accessor.h"

#include "oledb/DayNumber.h"
#include "oledb/provider/NumberText.h"

#include <cmath>
#include <limits>

namespace vnt::oledb {

namespace {

DBSTATUS toInt32(const QVariant& value, qint32* result)
{
    double number = 0;
    if (value.typeId() == QMetaType::LongLong) {
        const qint64 whole = value.toLongLong();
        if (whole < std::numeric_limits<qint32>::min() ||
            whole > std::numeric_limits<qint32>::max())
            return DBSTATUS_E_DATAOVERFLOW;
        *result = qint32(whole);
        return DBSTATUS_S_OK;
    }
    bool ok = value.typeId() == QMetaType::Double;
    number = ok ? value.toDouble() : value.toString().trimmed().toDouble(&ok);
    if (!ok)
        return DBSTATUS_E_CANTCONVERTVALUE;
    // Halves go to the even neighbour, as the platform's own conversions do.
    number = std::nearbyint(number);
    if (!(number >= std::numeric_limits<qint32>::min() &&
          number <= std::numeric_limits<qint32>::max()))
        return DBSTATUS_E_DATAOVERFLOW;
    *result = qint32(number);
    return DBSTATUS_S_OK;
}

DBSTATUS toDouble(const QVariant& value, bool isDate, double* result)
{
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double) {
        *result = value.toDouble();
        return DBSTATUS_S_OK;
    }
    const QString text = value.toString();
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (ok) {
        *result = number;
        return DBSTATUS_S_OK;
    }
    return isDate && parseIsoDayNumber(text, result) ? DBSTATUS_S_OK : DBSTATUS_E_CANTCONVERTVALUE;
}

QString toText(const QVariant& value)
{
    if (value.typeId() == QMetaType::Double)
        return numberText(value.toDouble());
    return value.toString();
}

// Keeps at most `limit` UTF-16 units without splitting a surrogate pair.
DBSTATUS cutText(QString* text, qsizetype limit)
{
    if (text->size() <= limit)
        return DBSTATUS_S_OK;
    if (limit > 0 && text->at(limit - 1).isHighSurrogate())
        --limit;
    text->truncate(limit);
    return DBSTATUS_S_TRUNCATED;
}

void clearPlace(const ValuePlace& place)
{
    if (auto* integer = std::get_if<qint32*>(&place))
        **integer = 0;
    else if (auto* real = std::get_if<double*>(&place))
        **real = 0;
    else if (auto* text = std::get_if<QString*>(&place))
        (*text)->clear();
}

} // namespace

Binding Binding::int32(DBORDINAL ordinal, qint32* value, DBSTATUS* status)
{
    return {ordinal, DBTYPE_I4, DBLENGTH(sizeof(qint32)), value, status};
}

Binding Binding::real(DBORDINAL ordinal, double* value, DBSTATUS* status)
{
    return {ordinal, DBTYPE_R8, DBLENGTH(sizeof(double)), value, status};
}

Binding Binding::date(DBORDINAL ordinal, double* value, DBSTATUS* status)
{
    return {ordinal, DBTYPE_DATE, DBLENGTH(sizeof(double)), value, status};
}

Binding Binding::text(DBORDINAL ordinal, DBLENGTH maxLength, QString* value, DBSTATUS* status)
{
    return {ordinal, DBTYPE_STR, maxLength, value, status};
}

Accessor::Accessor(QList<Binding> bindings)
    : m_bindings(std::move(bindings))
    , m_valid(true)
{}

HRESULT Accessor::checkBinding(const Binding& binding, QString* problem)
{
    bool placeFits = false;
    switch (binding.type) {
    case DBTYPE_I4:
        placeFits = std::get_if<qint32*>(&binding.value) && *std::get_if<qint32*>(&binding.value);
        break;
    case DBTYPE_R8:
    case DBTYPE_DATE:
        placeFits = std::get_if<double*>(&binding.value) && *std::get_if<double*>(&binding.value);
        break;
    case DBTYPE_STR:
        placeFits = std::get_if<QString*>(&binding.value) && *std::get_if<QString*>(&binding.value);
        if (placeFits && binding.maxLength == 0) {
            *problem = QStringLiteral("A text binding needs a maximum length.");
            return DB_E_BADBINDINFO;
        }
        break;
    default:
        *problem = QStringLiteral("Binding type %1 is not supported.").arg(binding.type);
        return DB_E_BADBINDINFO;
    }
    if (!placeFits || !binding.status) {
        *problem = QStringLiteral("The binding of column %1 has no place for its %2.")
                       .arg(binding.ordinal)
                       .arg(placeFits ? QStringLiteral("status") : QStringLiteral("value"));
        return DB_E_BADBINDINFO;
    }
    return S_OK;
}

DBSTATUS Accessor::readValue(const Binding& binding, const QVariant& value)
{
    if (value.isNull()) {
        clearPlace(binding.value);
        return DBSTATUS_S_ISNULL;
    }
    switch (binding.type) {
    case DBTYPE_I4:
        return toInt32(value, std::get<qint32*>(binding.value));
    case DBTYPE_R8:
    case DBTYPE_DATE:
        return toDouble(value, binding.type == DBTYPE_DATE, std::get<double*>(binding.value));
    case DBTYPE_STR: {
        QString* text = std::get<QString*>(binding.value);
        *text = toText(value);
        return cutText(text, qsizetype(binding.maxLength) - 1);
    }
    default:
        return DBSTATUS_E_BADACCESSOR;
    }
}

DBSTATUS Accessor::writtenValue(const Binding& binding, QVariant* value)
{
    const DBSTATUS status = *binding.status;
    if (status == DBSTATUS_S_ISNULL) {
        *value = QVariant();
        return status;
    }
    if (status == DBSTATUS_S_IGNORE)
        return status;
    if (status != DBSTATUS_S_OK)
        return DBSTATUS_E_BADSTATUS;
    switch (binding.type) {
    case DBTYPE_I4:
        *value = qint64(*std::get<qint32*>(binding.value));
        break;
    case DBTYPE_R8:
    case DBTYPE_DATE:
        *value = *std::get<double*>(binding.value);
        break;
    default:
        *value = *std::get<QString*>(binding.value);
        break;
    }
    return DBSTATUS_S_OK;
}

} // namespace vnt::oledb
