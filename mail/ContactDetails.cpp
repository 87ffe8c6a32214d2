#include "mail/ContactDetails.h"

namespace {

const QString lineEnd = QStringLiteral("\r\n");

bool isFilled(const std::optional<QString>& value)
{
    return value && !value->isEmpty();
}

bool isClassOrDerived(const QString& messageClass, QLatin1StringView base)
{
    if (!messageClass.startsWith(base, Qt::CaseInsensitive))
        return false;
    return messageClass.size() == base.size() || messageClass.at(base.size()) == u'.';
}

// A "label: value" line, only for a value with text. `format` holds one "%s".
void appendField(QString* text, QLatin1StringView format, const std::optional<QString>& value)
{
    if (!isFilled(value))
        return;
    QString line = format;
    line.replace(QLatin1StringView("%s"), *value);
    *text += line + lineEnd;
}

void appendLine(QString* text, QLatin1StringView line)
{
    *text += line + lineEnd;
}

// A heading and the address under it as written, only for an address with text.
void appendAddress(QString* text, QLatin1StringView heading, const std::optional<QString>& address)
{
    if (!isFilled(address))
        return;
    appendLine(text, heading);
    *text += *address + lineEnd;
}

void appendEmailEntries(QString* text, const ContactProperties& contact)
{
    if (!contact.emailEntries)
        return;
    // The labels differ in letter case from entry to entry; they are kept as users know them.
    static const QLatin1StringView labels[3][3] = {
        {QLatin1StringView("Display name 1:\t\t\t%s "),
         QLatin1StringView("Email Address 1:\t\t\t%s "),
         QLatin1StringView("Address 1 type:\t\t\t%s ")},
        {QLatin1StringView("Display Name 2:\t\t\t%s "),
         QLatin1StringView("Email Address 2:\t\t\t%s "),
         QLatin1StringView("Address 2 type:\t\t\t%s ")},
        {QLatin1StringView("Display name 3:\t\t\t%s "),
         QLatin1StringView("Email address 3:\t\t\t%s "),
         QLatin1StringView("Address 3 type:\t\t\t%s ")},
    };
    for (int entry = 0; entry < 3; ++entry) {
        if ((*contact.emailEntries & (1 << entry)) == 0)
            continue;
        appendField(text, labels[entry][0], contact.emailDisplayName[entry]);
        appendField(text, labels[entry][1], contact.emailAddress[entry]);
        appendField(text, labels[entry][2], contact.addressType[entry]);
    }
}

} // namespace

QString contactReadFailureText(ContactReadFailure failure)
{
    switch (failure) {
    case ContactReadFailure::NamesNotResolved:
        return QStringLiteral("Unable to find contact information");
    case ContactReadFailure::PropertiesNotRead:
        return QStringLiteral("Unable to find contact properties");
    }
    return QString();
}

ContactItemKind contactItemKind(const std::optional<QString>& messageClass)
{
    if (!messageClass || isClassOrDerived(*messageClass, QLatin1StringView("IPM.Contact")))
        return ContactItemKind::Contact;
    if (isClassOrDerived(*messageClass, QLatin1StringView("IPM.DistList")))
        return ContactItemKind::DistributionList;
    return ContactItemKind::Other;
}

QString contactDetailsText(const ContactProperties& contact)
{
    switch (contactItemKind(contact.messageClass)) {
    case ContactItemKind::DistributionList:
        return QStringLiteral("This item is a distribution list");
    case ContactItemKind::Other:
        return QStringLiteral("This item is not a contact or distribution list!");
    case ContactItemKind::Contact:
        break;
    }

    QString text = QStringLiteral("Selected contact details for ");
    if (!contact.displayName)
        text += QStringLiteral(" unknown name");
    else if (!contact.displayName->isEmpty())
        text += QStringLiteral(" ") + *contact.displayName;
    // The heading ends its line even without a name, so the next line does not run on.
    text += lineEnd;

    appendEmailEntries(&text, contact);

    text += lineEnd;
    appendLine(&text, QLatin1StringView("Contact information:"));
    appendField(&text, QLatin1StringView("Manager's name: %s"), contact.managerName);
    appendField(&text, QLatin1StringView("Business telephone: %s"), contact.businessTelephone);
    appendField(&text, QLatin1StringView("Business fax: %s"), contact.businessFax);
    appendField(&text, QLatin1StringView("Second business telephone: %s"),
                contact.business2Telephone);
    appendField(&text, QLatin1StringView("Mobile telephone: %s"), contact.mobileTelephone);
    appendField(&text, QLatin1StringView("Assistant name: %s"), contact.assistant);
    appendField(&text, QLatin1StringView("Assistant telephone: %s"), contact.assistantTelephone);
    appendField(&text, QLatin1StringView("Other telephone: %s"), contact.otherTelephone);

    appendLine(&text, QLatin1StringView("Company and address information:"));
    appendField(&text, QLatin1StringView("Job title: %s"), contact.title);
    appendField(&text, QLatin1StringView("Company name :  %s"), contact.companyName);
    appendField(&text, QLatin1StringView("Department:  %s"), contact.departmentName);
    appendField(&text, QLatin1StringView("Office:  %s"), contact.officeLocation);
    text += lineEnd;

    appendAddress(&text, QLatin1StringView("Business address:"), contact.businessAddress);
    text += lineEnd;
    appendAddress(&text, QLatin1StringView("Other address:"), contact.otherAddress);
    text += lineEnd;

    appendLine(&text, QLatin1StringView("Home information:"));
    appendField(&text, QLatin1StringView("Telephone: %s"), contact.homeTelephone);
    appendAddress(&text, QLatin1StringView("Address:"), contact.homeAddress);
    text += lineEnd;
    appendField(&text, QLatin1StringView("Business home page: %s"), contact.businessHomePage);
    appendField(&text, QLatin1StringView("Your home page: %s"), contact.personalHomePage);
    return text;
}
