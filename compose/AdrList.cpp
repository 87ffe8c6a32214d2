#include "compose/AdrList.h"

#include <cstring>

namespace vantrel::compose {

namespace {

bool isText(const SPropValue& value)
{
    return PROP_TYPE(value.ulPropTag) == PT_STRING8 && value.Value.lpszA;
}

QString textOf(const SPropValue* values, ULONG count, ULONG tag)
{
    for (ULONG i = 0; i < count; ++i) {
        if (values[i].ulPropTag == tag && isText(values[i]))
            return QString::fromUtf8(values[i].Value.lpszA);
    }
    return {};
}

const SPropValue* valueOf(const SPropValue* values, ULONG count, ULONG tag)
{
    for (ULONG i = 0; i < count; ++i) {
        if (values[i].ulPropTag == tag)
            return &values[i];
    }
    return nullptr;
}

// Fills the ten values of one entry inside the block `values`; strings are allocated onto it.
bool fillValues(const vntmapi::EntryPoints& api, const RecipientRow& row, SPropValue* values)
{
    int next = 0;
    bool ok = true;
    const auto add = [&](ULONG tag) -> SPropValue& {
        SPropValue& value = values[next++];
        value = SPropValue{};
        value.ulPropTag = tag;
        return value;
    };
    const auto addNull = [&] {
        add(PR_NULL);
    };
    const auto addText = [&](ULONG tag, const QString& text) {
        if (text.isEmpty())
            return addNull();
        const QByteArray bytes = text.toUtf8();
        void* copy = nullptr;
        if (api.MAPIAllocateMore(static_cast<ULONG>(bytes.size() + 1), values, &copy) != S_OK) {
            ok = false;
            return addNull();
        }
        std::memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
        add(tag).Value.lpszA = static_cast<char*>(copy);
    };
    const auto addLong = [&](ULONG tag, const std::optional<ULONG>& number) {
        if (!number)
            return addNull();
        add(tag).Value.l = static_cast<LONG>(*number);
    };

    if (row.entryId.isEmpty()) {
        addNull();
    } else {
        void* copy = nullptr;
        if (api.MAPIAllocateMore(static_cast<ULONG>(row.entryId.size()), values, &copy) != S_OK) {
            ok = false;
            addNull();
        } else {
            std::memcpy(copy, row.entryId.constData(), static_cast<size_t>(row.entryId.size()));
            add(PR_ENTRYID).Value.bin = {static_cast<ULONG>(row.entryId.size()),
                                         static_cast<LPBYTE>(copy)};
        }
    }
    addText(PR_DISPLAY_NAME, row.displayName);
    addText(PR_EMAIL_ADDRESS, row.address);
    addText(PR_ADDRTYPE, row.addressType);
    addLong(PR_RECIPIENT_TYPE, row.recipientType);
    addLong(PR_OBJECT_TYPE, row.objectType);
    if (row.sendRichInfo)
        add(PR_SEND_RICH_INFO).Value.b = *row.sendRichInfo ? 1 : 0;
    else
        addNull();
    addLong(PR_DISPLAY_TYPE, row.displayType);
    addText(PR_GIVEN_NAME, row.givenName);
    addText(PR_SURNAME, row.surname);
    return ok;
}

} // namespace

RecipientRow RecipientRow::from(const SPropValue* values, ULONG count)
{
    RecipientRow row;
    if (const SPropValue* id = valueOf(values, count, PR_ENTRYID); id && id->Value.bin.lpb) {
        row.entryId = QByteArray(reinterpret_cast<const char*>(id->Value.bin.lpb),
                                 static_cast<qsizetype>(id->Value.bin.cb));
    }
    row.displayName = textOf(values, count, PR_DISPLAY_NAME);
    row.address = textOf(values, count, PR_EMAIL_ADDRESS);
    row.addressType = textOf(values, count, PR_ADDRTYPE);
    row.givenName = textOf(values, count, PR_GIVEN_NAME);
    row.surname = textOf(values, count, PR_SURNAME);
    const auto number = [&](ULONG tag) -> std::optional<ULONG> {
        if (const SPropValue* value = valueOf(values, count, tag))
            return static_cast<ULONG>(value->Value.l);
        return std::nullopt;
    };
    row.recipientType = number(PR_RECIPIENT_TYPE);
    row.objectType = number(PR_OBJECT_TYPE);
    row.displayType = number(PR_DISPLAY_TYPE);
    if (const SPropValue* rich = valueOf(values, count, PR_SEND_RICH_INFO))
        row.sendRichInfo = rich->Value.b != 0;
    return row;
}

void AdrList::reset()
{
    if (m_list)
        m_api->FreePadrlist(std::exchange(m_list, nullptr));
}

RecipientRow AdrList::row(ULONG i) const
{
    const ADRENTRY& entry = m_list->aEntries[i];
    return RecipientRow::from(entry.rgPropVals, entry.cValues);
}

bool AdrList::append(const RecipientRow& row)
{
    const ULONG old = count();
    void* block = nullptr;
    if (m_api->MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(old + 1)), &block) != S_OK)
        return false;
    void* values = nullptr;
    if (m_api->MAPIAllocateBuffer(sizeof(SPropValue) * kRecipientValueCount, &values) != S_OK) {
        m_api->MAPIFreeBuffer(block);
        return false;
    }
    auto* props = static_cast<SPropValue*>(values);
    if (!fillValues(*m_api, row, props)) {
        m_api->MAPIFreeBuffer(values);
        m_api->MAPIFreeBuffer(block);
        return false;
    }
    auto* list = static_cast<LPADRLIST>(block);
    list->cEntries = old + 1;
    // The old entries' values move over; only the old list's own block is freed.
    for (ULONG i = 0; i < old; ++i)
        list->aEntries[i] = m_list->aEntries[i];
    list->aEntries[old] = ADRENTRY{0, kRecipientValueCount, props};
    if (m_list)
        m_api->MAPIFreeBuffer(m_list);
    m_list = list;
    return true;
}

void AdrList::remove(ULONG i)
{
    if (i >= count())
        return;
    if (m_list->aEntries[i].rgPropVals)
        m_api->MAPIFreeBuffer(m_list->aEntries[i].rgPropVals);
    for (ULONG j = i + 1; j < m_list->cEntries; ++j)
        m_list->aEntries[j - 1] = m_list->aEntries[j];
    --m_list->cEntries;
}

const SPropValue* EntryValue(const ADRENTRY& entry, ULONG tag)
{
    const SPropValue* value = valueOf(entry.rgPropVals, entry.cValues, tag);
    return value && PROP_TYPE(value->ulPropTag) != PT_ERROR ? value : nullptr;
}

QString EntryText(const ADRENTRY& entry, ULONG tag)
{
    return textOf(entry.rgPropVals, entry.cValues, tag);
}

} // namespace vantrel::compose
