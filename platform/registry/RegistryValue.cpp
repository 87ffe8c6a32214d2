#include "registry/RegistryValue.h"

#include <QtEndian>

namespace vnt::registry {

namespace {

RegistryValue textValue(std::uint32_t type, const QString& text)
{
    QByteArray data = text.toUtf8();
    data.append('\0');
    return {type, data};
}

} // namespace

RegistryValue RegistryValue::string(const QString& text)
{
    return textValue(REG_SZ, text);
}

RegistryValue RegistryValue::expandString(const QString& text)
{
    return textValue(REG_EXPAND_SZ, text);
}

RegistryValue RegistryValue::multiString(const QStringList& texts)
{
    QByteArray data;
    for (const QString& text : texts) {
        data.append(text.toUtf8());
        data.append('\0');
    }
    data.append('\0');
    return {REG_MULTI_SZ, data};
}

RegistryValue RegistryValue::dword(std::uint32_t number)
{
    QByteArray data(4, '\0');
    qToLittleEndian(number, data.data());
    return {REG_DWORD, data};
}

RegistryValue RegistryValue::qword(std::uint64_t number)
{
    QByteArray data(8, '\0');
    qToLittleEndian(number, data.data());
    return {REG_QWORD, data};
}

RegistryValue RegistryValue::binary(const QByteArray& bytes)
{
    return {REG_BINARY, bytes};
}

QString RegistryValue::toString() const
{
    if (!isString()) {
        return {};
    }
    const qsizetype end = data.indexOf('\0');
    return QString::fromUtf8(end < 0 ? data : data.left(end));
}

QStringList RegistryValue::toStringList() const
{
    QStringList texts;
    if (type != REG_MULTI_SZ) {
        return texts;
    }
    // The list ends at the first empty string (the double NUL).
    for (const QByteArray& part : data.split('\0')) {
        if (part.isEmpty()) {
            break;
        }
        texts.append(QString::fromUtf8(part));
    }
    return texts;
}

std::uint64_t RegistryValue::toNumber(bool* ok) const
{
    const bool valid =
        (type == REG_DWORD && data.size() == 4) || (type == REG_QWORD && data.size() == 8);
    if (ok) {
        *ok = valid;
    }
    if (!valid) {
        return 0;
    }
    return type == REG_DWORD ? qFromLittleEndian<std::uint32_t>(data.constData())
                             : qFromLittleEndian<std::uint64_t>(data.constData());
}

QString expandEnvironmentStrings(const QString& text)
{
    QString result;
    result.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(u'%', pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'%', open + 1);
        if (close < 0) {
            result.append(QStringView(text).mid(pos));
            break;
        }
        result.append(QStringView(text).mid(pos, open - pos));
        const QString name = text.mid(open + 1, close - open - 1);
        const QByteArray key = name.toLocal8Bit();
        if (!name.isEmpty() && qEnvironmentVariableIsSet(key.constData())) {
            result.append(qEnvironmentVariable(key.constData()));
            pos = close + 1;
        } else {
            // Keep the first '%' and look for a name again from the second one, so that
            // "100% of %HOME%" still expands %HOME%.
            result.append(u'%');
            result.append(QStringView(text).mid(open + 1, close - open - 1));
            pos = close;
        }
    }
    return result;
}

} // namespace vnt::registry
