#include "ContactCard.h"

#include "OneOff.h"

#include <algorithm>
#include <glib.h>

namespace vntmapi {

namespace {

bool hasType(const VCardProperty& p, const char* type)
{
    gchar** parts = g_strsplit(p.types.c_str(), ",", -1);
    bool found = false;
    for (gchar** part = parts; part && *part && !found; ++part) {
        found = g_ascii_strcasecmp(*part, type) == 0;
    }
    g_strfreev(parts);
    return found;
}

// A line holding one text value: the field it is read from and the property it gives.
struct TextField
{
    const char* field;
    const char* newLine; // name and parameters of a line written afresh
    ULONG tag;
};

constexpr TextField kTextFields[] = {
    {"FN", "FN", PR_DISPLAY_NAME},
    {"TITLE", "TITLE", PR_TITLE},
    {"NOTE", "NOTE", PR_BODY},
    {"X-OFFICE", "X-OFFICE", PR_OFFICE_LOCATION},
    {"X-ASSISTANT", "X-ASSISTANT", PR_ASSISTANT},
    {"X-MANAGER", "X-MANAGER", PR_MANAGER_NAME},
    {"TEL:work", "TEL;TYPE=work,voice", PR_BUSINESS_TELEPHONE_NUMBER},
    {"TEL:work2", "TEL;TYPE=work,voice", PR_BUSINESS2_TELEPHONE_NUMBER},
    {"TEL:home", "TEL;TYPE=home,voice", PR_HOME_TELEPHONE_NUMBER},
    {"TEL:cell", "TEL;TYPE=cell", PR_MOBILE_TELEPHONE_NUMBER},
    {"TEL:fax", "TEL;TYPE=work,fax", PR_BUSINESS_FAX_NUMBER},
    {"TEL:assistant", "TEL;TYPE=x-assistant", PR_ASSISTANT_TELEPHONE_NUMBER},
    {"TEL:other", "TEL;TYPE=x-other,voice", PR_OTHER_TELEPHONE_NUMBER},
    {"URL:work", "URL;TYPE=work", PR_BUSINESS_HOME_PAGE},
    {"URL:home", "URL;TYPE=home", PR_PERSONAL_HOME_PAGE},
};

constexpr ULONG kNameTags[] = {PR_SURNAME, PR_GIVEN_NAME, PR_MIDDLE_NAME, PR_DISPLAY_NAME_PREFIX,
                               PR_GENERATION};
constexpr ULONG kBusinessAddress[] = {PR_BUSINESS_ADDRESS_STREET, PR_BUSINESS_ADDRESS_CITY,
                                      PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE,
                                      PR_BUSINESS_ADDRESS_POSTAL_CODE, PR_BUSINESS_ADDRESS_COUNTRY};
constexpr ULONG kHomeAddress[] = {PR_HOME_ADDRESS_STREET, PR_HOME_ADDRESS_CITY,
                                  PR_HOME_ADDRESS_STATE_OR_PROVINCE, PR_HOME_ADDRESS_POSTAL_CODE,
                                  PR_HOME_ADDRESS_COUNTRY};
constexpr const char* kAddressFields[] = {"ADR:home", "ADR:work", "ADR:other"};

// The field a line is read into; empty for lines this library does not read.
std::string fieldOf(const VCardProperty& p, const std::map<std::string, std::size_t>& taken)
{
    const std::string& n = p.name;
    if (n == "FN" || n == "TITLE" || n == "NOTE" || n == "N" || n == "ORG" || n == "KIND" ||
        n == "X-OFFICE" || n == "X-VNT-FILE-AS" || n == "UID" || n == "REV") {
        return n;
    }
    if (n == "X-ASSISTANT" || n == "X-EVOLUTION-ASSISTANT") {
        return "X-ASSISTANT";
    }
    if (n == "X-MANAGER" || n == "X-EVOLUTION-MANAGER") {
        return "X-MANAGER";
    }
    if (n == "X-ADDRESSBOOKSERVER-KIND") {
        return "KIND";
    }
    if (n == "TEL") {
        if (hasType(p, "CELL")) {
            return "TEL:cell";
        }
        if (hasType(p, "FAX")) {
            return "TEL:fax";
        }
        if (hasType(p, "HOME")) {
            return "TEL:home";
        }
        if (hasType(p, "X-ASSISTANT")) {
            return "TEL:assistant";
        }
        if (hasType(p, "X-OTHER")) {
            return "TEL:other";
        }
        // Pagers, text and video phones have no property here: such lines stay as they are.
        for (const char* other :
             {"PAGER", "TEXTPHONE", "TEXT", "VIDEO", "MSG", "BBS", "MODEM", "CAR", "ISDN", "PCS"}) {
            if (hasType(p, other)) {
                return {};
            }
        }
        return taken.count("TEL:work") ? "TEL:work2" : "TEL:work";
    }
    if (n == "URL") {
        return hasType(p, "HOME") ? "URL:home" : "URL:work";
    }
    if (n == "ADR") {
        if (hasType(p, "HOME")) {
            return "ADR:home";
        }
        return hasType(p, "X-OTHER") || hasType(p, "OTHER") ? "ADR:other" : "ADR:work";
    }
    return {};
}

std::string textOf(const PropList& props, ULONG tag)
{
    const Prop* p = tag == PR_NULL ? nullptr : findProp(props, tag);
    return p && (PROP_TYPE(p->tag) == PT_STRING8 || PROP_TYPE(p->tag) == PT_UNICODE)
               ? p->text()
               : std::string();
}

void addText(PropList* props, ULONG tag, const std::string& value)
{
    if (tag != PR_NULL && tag != 0 && !value.empty()) {
        putProp(props, stringProp(tag, value));
    }
}

// "street\r\ncity region postcode\r\ncountry", from ADR components 2 to 6.
std::string postalText(const std::vector<std::string>& a)
{
    const auto at = [&a](std::size_t i) {
        return i < a.size() ? a[i] : std::string();
    };
    std::string place;
    for (const std::string& part : {at(3), at(4), at(5)}) {
        if (!part.empty()) {
            place += (place.empty() ? "" : " ") + part;
        }
    }
    std::string text;
    for (const std::string& line : {at(2), place, at(6)}) {
        if (!line.empty()) {
            text += (text.empty() ? "" : "\r\n") + line;
        }
    }
    return text;
}

std::string defaultEmailName(const std::string& displayName, const std::string& address)
{
    return displayName.empty() ? address : displayName + " (" + address + ")";
}

} // namespace

std::vector<CardEmail> cardEmails(const std::vector<VCardProperty>& card)
{
    std::vector<CardEmail> emails;
    std::vector<const VCardProperty*> unplaced;
    bool used[3] = {};
    for (const VCardProperty& p : card) {
        if (p.name != "EMAIL" || vCardText(p.value).empty()) {
            continue;
        }
        const std::string entry = p.param("X-VNT-ENTRY");
        const int slot = entry.size() == 1 ? entry[0] - '1' : -1;
        if (slot >= 0 && slot < 3 && !used[slot]) {
            used[slot] = true;
            emails.push_back({slot, vCardText(p.value), "SMTP", p.param("X-DISPLAY")});
            const std::string type = p.param("X-ADDRTYPE");
            emails.back().addressType = type.empty() ? "SMTP" : type;
        } else {
            unplaced.push_back(&p);
        }
    }
    std::stable_partition(unplaced.begin(), unplaced.end(),
                          [](const VCardProperty* p) { return p->preferred; });
    int slot = 0;
    for (const VCardProperty* p : unplaced) {
        while (slot < 3 && used[slot]) {
            ++slot;
        }
        if (slot == 3) {
            break;
        }
        used[slot] = true;
        const std::string type = p->param("X-ADDRTYPE");
        emails.push_back(
            {slot, vCardText(p->value), type.empty() ? "SMTP" : type, p->param("X-DISPLAY")});
    }
    std::sort(emails.begin(), emails.end(),
              [](const CardEmail& a, const CardEmail& b) { return a.slot < b.slot; });
    return emails;
}

void cardProperties(const ContactTags& tags, ContactCard* card, PropList* props)
{
    card->origin.clear();
    std::string displayName;
    bool group = false;
    for (std::size_t i = 0; i < card->lines.size(); ++i) {
        const VCardProperty& p = card->lines[i];
        if (p.name == "VERSION") {
            card->version = vCardText(p.value);
            continue;
        }
        const std::string field = fieldOf(p, card->origin);
        if (field.empty() || card->origin.count(field)) {
            continue; // the first line of a field is the one read and written
        }
        card->origin[field] = i;
        const std::string text = vCardText(p.value);
        for (const TextField& f : kTextFields) {
            if (field == f.field) {
                addText(props, f.tag, text);
            }
        }
        if (field == "FN") {
            displayName = text;
        } else if (field == "X-VNT-FILE-AS") {
            addText(props, tags.fileAs, text);
        } else if (field == "N") {
            const std::vector<std::string> n = vCardComponents(p.value);
            for (std::size_t k = 0; k < n.size() && k < std::size(kNameTags); ++k) {
                addText(props, kNameTags[k], n[k]);
            }
        } else if (field == "ORG") {
            const std::vector<std::string> org = vCardComponents(p.value);
            addText(props, PR_COMPANY_NAME, org[0]);
            addText(props, PR_DEPARTMENT_NAME, org.size() > 1 ? org[1] : std::string());
        } else if (field == "KIND") {
            group = g_ascii_strcasecmp(text.c_str(), "group") == 0;
        } else if (field.compare(0, 4, "ADR:") == 0) {
            const std::vector<std::string> a = vCardComponents(p.value);
            const ULONG* parts = field == "ADR:home"   ? kHomeAddress
                                 : field == "ADR:work" ? kBusinessAddress
                                                       : nullptr;
            for (std::size_t k = 2; parts && k < a.size() && k < 7; ++k) {
                addText(props, parts[k - 2], a[k]);
            }
            const std::string label = p.param("LABEL");
            const std::size_t which =
                std::find(std::begin(kAddressFields), std::end(kAddressFields), field) -
                std::begin(kAddressFields);
            addText(props, tags.postal[which], label.empty() ? postalText(a) : label);
        }
    }
    putProp(props, stringProp(PR_MESSAGE_CLASS, group ? "IPM.DistList" : "IPM.Contact"));
    putProp(props, stringProp(PR_DISPLAY_NAME, displayName));
    putProp(props, stringProp(PR_SUBJECT, displayName));
    if (!findProp(*props, tags.fileAs) && tags.fileAs != PR_NULL) {
        const std::string surname = textOf(*props, PR_SURNAME);
        const std::string given = textOf(*props, PR_GIVEN_NAME);
        addText(props, tags.fileAs,
                surname.empty() ? displayName : (given.empty() ? surname : surname + ", " + given));
    }
    LONG mask = 0;
    std::vector<LONG> list;
    for (const CardEmail& email : cardEmails(card->lines)) {
        for (std::size_t i = 0; i < card->lines.size(); ++i) {
            const VCardProperty& p = card->lines[i];
            if (p.name == "EMAIL" && vCardText(p.value) == email.address &&
                !card->origin.count("EMAIL:" + std::to_string(email.slot))) {
                card->origin["EMAIL:" + std::to_string(email.slot)] = i;
                break;
            }
        }
        const int s = email.slot;
        const std::string shown = email.displayName.empty()
                                      ? defaultEmailName(displayName, email.address)
                                      : email.displayName;
        addText(props, tags.email[s][0], shown);
        addText(props, tags.email[s][1], email.addressType);
        addText(props, tags.email[s][2], email.address);
        addText(props, tags.email[s][3], email.address);
        if (tags.emailEntryId[s] != PR_NULL && tags.emailEntryId[s] != 0) {
            putProp(props, binaryProp(tags.emailEntryId[s],
                                      encodeOneOff({shown, email.addressType, email.address}, false,
                                                   true)));
        }
        mask |= 1 << s;
        list.push_back(s);
    }
    if (mask != 0 && tags.emailMask != PR_NULL) {
        putProp(props, longProp(tags.emailMask, mask));
    }
    if (!list.empty() && tags.emailList != PR_NULL) {
        putProp(props, longsProp(tags.emailList, list));
    }
}

namespace {

// The lines of a card being written: the old ones (replaced or removed in place) and the new.
class CardWriter
{
public:
    explicit CardWriter(const ContactCard& card)
        : m_card(card)
    {
        for (const VCardProperty& p : card.lines) {
            m_lines.push_back(p.raw);
        }
    }

    const VCardProperty* line(const std::string& field) const
    {
        const auto it = m_card.origin.find(field);
        return it == m_card.origin.end() ? nullptr : &m_card.lines[it->second];
    }

    void setText(const std::string& field, const char* newLine, const std::string& value)
    {
        const VCardProperty* old = line(field);
        if (old && vCardText(old->value) == value) {
            return;
        }
        if (!old) {
            if (!value.empty()) {
                m_added.push_back(std::string(newLine) + ":" + vCardEscape(value));
            }
            return;
        }
        replace(field, value.empty() ? std::string() : head(*old) + ":" + vCardEscape(value));
    }

    // Components `first`... of a structured line take `values`; the others stay.
    void setComponents(const std::string& field, const char* newLine, std::size_t count,
                       std::size_t first, const std::vector<std::string>& values)
    {
        const VCardProperty* old = line(field);
        std::vector<std::string> parts =
            old ? vCardComponents(old->value) : std::vector<std::string>();
        parts.resize(std::max(parts.size(), count));
        bool changed = false;
        for (std::size_t k = 0; k < values.size(); ++k) {
            changed |= parts[first + k] != values[k];
            parts[first + k] = values[k];
        }
        if (!changed) {
            return;
        }
        const bool empty =
            std::all_of(parts.begin(), parts.end(), [](const auto& s) { return s.empty(); });
        std::string value;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            value += (k ? ";" : "") + vCardEscape(parts[k]);
        }
        if (!old) {
            if (!empty) {
                m_added.push_back(std::string(newLine) + ":" + value);
            }
            return;
        }
        replace(field, empty ? std::string() : head(*old) + ":" + value);
    }

    void replace(const std::string& field, std::string text)
    {
        m_lines[m_card.origin.at(field)] = std::move(text);
    }
    void add(std::string text) { m_added.push_back(std::move(text)); }
    bool has(const std::string& field) const { return line(field) != nullptr; }

    std::string text(bool hasVersion) const
    {
        std::string out = "BEGIN:VCARD\r\n";
        if (!hasVersion) {
            out += "VERSION:4.0\r\n";
        }
        for (const std::string& l : m_lines) {
            if (!l.empty()) {
                out += vCardFold(l);
            }
        }
        for (const std::string& l : m_added) {
            out += vCardFold(l);
        }
        return out + "END:VCARD\r\n";
    }

private:
    static std::string head(const VCardProperty& p)
    {
        return p.raw.substr(0, p.raw.size() - p.value.size() - 1);
    }

    const ContactCard& m_card;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_added;
};

std::string emailLine(const VCardProperty* old, int slot, const std::string& address,
                      const std::string& shown, const std::string& type, bool version4)
{
    std::string line = "EMAIL";
    if (old) {
        for (const auto& [name, value] : old->params) {
            if (name != "X-DISPLAY" && name != "X-ADDRTYPE" && name != "X-VNT-ENTRY") {
                line += ";" + (name.empty() ? value : name + "=" + vCardParamValue(value));
            }
        }
    } else {
        line += version4 ? (slot == 0 ? ";TYPE=work;PREF=1" : ";TYPE=work")
                         : (slot == 0 ? ";TYPE=INTERNET,PREF" : ";TYPE=INTERNET");
    }
    line += ";X-VNT-ENTRY=" + std::to_string(slot + 1);
    if (!shown.empty()) {
        line += ";X-DISPLAY=" + vCardParamValue(shown);
    }
    if (!type.empty() && type != "SMTP") {
        line += ";X-ADDRTYPE=" + vCardParamValue(type);
    }
    return line + ":" + vCardEscape(address);
}

std::string revision()
{
    GDateTime* now = g_date_time_new_now_utc();
    gchar* text = g_date_time_format(now, "%Y%m%dT%H%M%SZ");
    std::string out = text;
    g_free(text);
    g_date_time_unref(now);
    return out;
}

} // namespace

std::string writeCard(const ContactTags& tags, const ContactCard& card, const PropList& props,
                      const std::string& uid)
{
    CardWriter w(card);
    const bool hasVersion = std::any_of(card.lines.begin(), card.lines.end(),
                                        [](const VCardProperty& p) { return p.name == "VERSION"; });
    const bool version4 = !hasVersion || card.version.compare(0, 1, "4") == 0;
    if (!hasVersion) {
        w.add("PRODID:-//Korvane//Vantrel//EN");
    }
    std::string displayName = textOf(props, PR_DISPLAY_NAME);
    if (displayName.empty()) {
        // FN is required: the subject, the names, or the first address stand in for it.
        for (ULONG tag :
             {PR_SUBJECT, tags.fileAs, tags.email[0][2], tags.email[1][2], tags.email[2][2]}) {
            if (displayName.empty()) {
                displayName = textOf(props, tag);
            }
        }
    }
    for (const TextField& f : kTextFields) {
        w.setText(f.field, f.newLine,
                  f.tag == PR_DISPLAY_NAME ? displayName : textOf(props, f.tag));
    }
    // The file-as text is kept only when it is not what reading would make of the names.
    const std::string fileAs = textOf(props, tags.fileAs);
    if (w.has("X-VNT-FILE-AS") || !fileAs.empty()) {
        w.setText("X-VNT-FILE-AS", "X-VNT-FILE-AS", fileAs);
    }
    std::vector<std::string> names;
    for (ULONG tag : kNameTags) {
        names.push_back(textOf(props, tag));
    }
    w.setComponents("N", "N", 5, 0, names);
    w.setComponents("ORG", "ORG", 1, 0,
                    textOf(props, PR_DEPARTMENT_NAME).empty()
                        ? std::vector<std::string>{textOf(props, PR_COMPANY_NAME)}
                        : std::vector<std::string>{textOf(props, PR_COMPANY_NAME),
                                                   textOf(props, PR_DEPARTMENT_NAME)});
    for (const auto& [field, parts, newLine] :
         {std::tuple{"ADR:work", kBusinessAddress, "ADR;TYPE=work"},
          std::tuple{"ADR:home", kHomeAddress, "ADR;TYPE=home"}}) {
        std::vector<std::string> values;
        for (std::size_t k = 0; k < 5; ++k) {
            values.push_back(textOf(props, parts[k]));
        }
        w.setComponents(field, newLine, 7, 2, values);
    }
    const Prop* messageClass = findProp(props, PR_MESSAGE_CLASS);
    if (messageClass && messageClass->text() == "IPM.DistList" && !w.has("KIND")) {
        w.add("KIND:group");
    }
    for (int s = 0; s < 3; ++s) {
        const std::string field = "EMAIL:" + std::to_string(s);
        const VCardProperty* old = w.line(field);
        const std::string address = textOf(props, tags.email[s][2]);
        std::string shown = textOf(props, tags.email[s][0]);
        if (shown == defaultEmailName(displayName, address)) {
            shown.clear(); // what reading gives anyway: not written
        }
        const std::string type = textOf(props, tags.email[s][1]);
        if (old && address.empty()) {
            w.replace(field, {});
            continue;
        }
        if (address.empty()) {
            continue;
        }
        const std::string oldType = old ? old->param("X-ADDRTYPE") : std::string();
        const bool same = old && vCardText(old->value) == address &&
                          old->param("X-DISPLAY") == shown &&
                          (oldType.empty() ? "SMTP" : oldType) == (type.empty() ? "SMTP" : type);
        if (same) {
            continue;
        }
        const std::string line = emailLine(old, s, address, shown, type, version4);
        if (old) {
            w.replace(field, line);
        } else {
            w.add(line);
        }
    }
    if (!w.has("UID")) {
        w.add("UID:" + uid);
    }
    if (w.has("REV")) {
        w.replace("REV", "REV:" + revision());
    } else {
        w.add("REV:" + revision());
    }
    return w.text(hasVersion);
}

} // namespace vntmapi
