#include "Tnef.h"

#include "MimeContent.h"

#include <glib.h>

namespace vntmapi {

namespace {

constexpr std::uint32_t kSignature = 0x223E9F78;
constexpr std::uint8_t kLevelMessage = 0x01;
constexpr std::uint32_t kAttBody = 0x0002800C;
constexpr std::uint32_t kAttMapiProps = 0x00069003;

// Little-endian reads that fail, rather than run past the end.
class Reader
{
public:
    Reader(const BYTE* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {}

    bool skip(std::size_t n)
    {
        if (n > m_size - m_pos) {
            return false;
        }
        m_pos += n;
        return true;
    }
    bool u8(std::uint32_t* value) { return number(1, value); }
    bool u16(std::uint32_t* value) { return number(2, value); }
    bool u32(std::uint32_t* value) { return number(4, value); }
    bool bytes(std::size_t n, const BYTE** out)
    {
        *out = m_data + m_pos;
        return skip(n);
    }
    // Values are padded to a multiple of four bytes.
    bool padded(std::size_t n, const BYTE** out) { return bytes(n, out) && skip((4 - n % 4) % 4); }
    bool atEnd() const { return m_pos == m_size; }

private:
    bool number(int n, std::uint32_t* value)
    {
        const BYTE* p = nullptr;
        if (!bytes(std::size_t(n), &p)) {
            return false;
        }
        *value = 0;
        for (int i = n - 1; i >= 0; --i) {
            *value = (*value << 8) | p[i];
        }
        return true;
    }

    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

std::size_t fixedSize(ULONG type)
{
    switch (type) {
    case PT_I2:
    case PT_LONG:
    case PT_R4:
    case PT_ERROR:
    case PT_BOOLEAN:
        return 4;
    case PT_DOUBLE:
    case PT_CURRENCY:
    case PT_APPTIME:
    case PT_I8:
    case PT_SYSTIME:
        return 8;
    case PT_CLSID:
        return 16;
    default:
        return 0;
    }
}

bool isVariable(ULONG type)
{
    return type == PT_STRING8 || type == PT_UNICODE || type == PT_BINARY || type == PT_OBJECT;
}

std::string textValue(ULONG type, const BYTE* data, std::size_t size)
{
    if (type == PT_UNICODE) {
        std::vector<gunichar2> units(size / 2);
        for (std::size_t i = 0; i < units.size(); ++i) {
            units[i] = gunichar2(data[2 * i] | (data[2 * i + 1] << 8));
        }
        gchar* utf8 = g_utf16_to_utf8(units.data(), glong(units.size()), nullptr, nullptr, nullptr);
        std::string text = utf8 ? utf8 : "";
        g_free(utf8);
        return std::string(text.c_str()); // up to the terminator
    }
    const std::string raw(reinterpret_cast<const char*>(data), size);
    return validUtf8(raw.c_str()); // 8-bit strings end at their terminator
}

bool skipName(Reader* in)
{
    std::uint32_t kind = 0;
    std::uint32_t value = 0;
    if (!in->skip(16) || !in->u32(&kind) || !in->u32(&value)) {
        return false;
    }
    const BYTE* name = nullptr;
    return kind == MNID_ID || in->padded(value, &name);
}

// One property; `keep` is false for what is skipped.
bool readProp(Reader* in, Prop* prop, bool* keep)
{
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    if (!in->u16(&type) || !in->u16(&id) || (id >= 0x8000 && !skipName(in))) {
        return false;
    }
    const ULONG base = type & ~MV_FLAG;
    std::uint32_t count = 1;
    if (((type & MV_FLAG) || isVariable(base)) && !in->u32(&count)) {
        return false;
    }
    *keep = !(type & MV_FLAG) && id < 0x8000 && count == 1 && base != PT_OBJECT;
    prop->tag = PROP_TAG(base == PT_UNICODE ? PT_STRING8 : base, id);
    for (std::uint32_t i = 0; i < count; ++i) {
        const BYTE* data = nullptr;
        std::uint32_t size = static_cast<std::uint32_t>(fixedSize(base));
        if (isVariable(base) ? !in->u32(&size) : size == 0) {
            return false; // a type whose size is unknown ends the reading
        }
        if (!in->padded(size, &data)) {
            return false;
        }
        if (base == PT_BINARY) {
            prop->data.assign(data, data + size);
        } else if (base == PT_STRING8 || base == PT_UNICODE) {
            prop->data = textValue(base, data, size);
        } else if (size <= 8) {
            std::int64_t value = 0;
            for (std::uint32_t b = size; b-- > 0;) {
                value = (value << 8) | data[b];
            }
            prop->number = (base == PT_I2 || base == PT_LONG || base == PT_BOOLEAN)
                               ? std::int64_t(std::int32_t(value))
                               : value;
        }
    }
    *keep = *keep && (isVariable(base) || base == PT_LONG || base == PT_BOOLEAN || base == PT_I2 ||
                      base == PT_I8 || base == PT_SYSTIME);
    return true;
}

bool readMapiProps(const BYTE* data, std::size_t size, PropList* props)
{
    Reader in(data, size);
    std::uint32_t count = 0;
    if (!in.u32(&count)) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        Prop prop;
        bool keep = false;
        if (!readProp(&in, &prop, &keep)) {
            return false;
        }
        if (keep) {
            putProp(props, std::move(prop));
        }
    }
    return true;
}

} // namespace

bool readTnefMessageProps(const std::vector<BYTE>& data, PropList* props)
{
    Reader in(data.data(), data.size());
    std::uint32_t signature = 0;
    if (!in.u32(&signature) || signature != kSignature || !in.skip(2)) {
        return false;
    }
    while (!in.atEnd()) {
        std::uint32_t level = 0;
        std::uint32_t id = 0;
        std::uint32_t length = 0;
        const BYTE* value = nullptr;
        std::uint32_t checksum = 0;
        if (!in.u8(&level) || !in.u32(&id) || !in.u32(&length) || !in.bytes(length, &value) ||
            !in.u16(&checksum)) {
            return false;
        }
        std::uint32_t sum = 0;
        for (std::uint32_t i = 0; i < length; ++i) {
            sum += value[i];
        }
        if ((sum & 0xFFFF) != checksum || level != kLevelMessage) {
            continue; // a damaged attribute, or one of an attachment
        }
        if (id == kAttMapiProps && !readMapiProps(value, length, props)) {
            return false;
        }
        if (id == kAttBody && !findProp(*props, PR_BODY)) {
            props->push_back(stringProp(PR_BODY, textValue(PT_STRING8, value, length)));
        }
    }
    return true;
}

} // namespace vntmapi
