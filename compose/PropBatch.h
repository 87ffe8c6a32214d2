// The values of one SetProps call, owning the bytes they point at, so that a property set can
// be built from Qt strings without platform allocations.
#pragma once

#include "vntmapi/MapiInterfaces.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <vector>

namespace vantrel::compose {

class PropBatch
{
public:
    void text(ULONG tag, const QString& value) { bytes(tag, value.toUtf8(), true); }
    void textOrNull(ULONG tag, const QString& value)
    {
        value.isEmpty() ? null() : text(tag, value);
    }
    void binary(ULONG tag, const QByteArray& value) { bytes(tag, value, false); }
    void binaryOrNull(ULONG tag, const QByteArray& value)
    {
        value.isEmpty() ? null() : binary(tag, value);
    }
    void flag(ULONG tag, bool on)
    {
        SPropValue& value = add(tag);
        value.Value.b = on ? 1 : 0;
    }
    void number(ULONG tag, LONG number) { add(tag).Value.l = number; }
    void fileTime(ULONG tag, FILETIME time) { add(tag).Value.ft = time; }
    void null() { add(PR_NULL); }
    HRESULT applyTo(IMessage* message)
    {
        return message->SetProps(static_cast<ULONG>(m_values.size()), m_values.data(), nullptr);
    }

private:
    SPropValue& add(ULONG tag)
    {
        SPropValue value{};
        value.ulPropTag = tag;
        return m_values.emplace_back(value);
    }
    void bytes(ULONG tag, const QByteArray& data, bool isText)
    {
        const QByteArray& owned = m_owned.emplace_back(data);
        SPropValue& value = add(tag);
        if (isText) {
            value.Value.lpszA = const_cast<char*>(owned.constData());
        } else {
            value.Value.bin.cb = static_cast<ULONG>(owned.size());
            value.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char*>(owned.constData()));
        }
    }

    std::vector<SPropValue> m_values;
    std::deque<QByteArray> m_owned; // a deque keeps the elements in place as it grows
};

} // namespace vantrel::compose
