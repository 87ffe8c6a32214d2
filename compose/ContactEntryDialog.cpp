#include "compose/ContactEntryDialog.h"

#include "core/Prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vantrel::compose {

namespace {

constexpr int kFolderCombo = 1205;
constexpr int kFirst = 1200;
constexpr int kMiddle = 1206;
constexpr int kLast = 1201;
constexpr std::array<int, 3> kEntryNameIds = {1203, 1208, 1209};
constexpr std::array<int, 3> kAddressIds = {1202, 1210, 1211};
constexpr int kEntryAddressType = 1207;
constexpr int kAddToMessage = 1215;
constexpr int kDisplayName = 1104;
constexpr int kSimpleAddressType = 1105;
constexpr int kOk = 1;
constexpr int kCancel = 2;

QString controlName(int id)
{
    return u'c' + QString::number(id);
}

QLabel* labelFor(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// First, Middle and Last side by side.
QHBoxLayout* namesRow(QLineEdit* first, QLineEdit* middle, QLineEdit* last)
{
    auto* row = new QHBoxLayout;
    row->addWidget(labelFor(u"&First:"_s, first));
    row->addWidget(first, 1);
    row->addWidget(labelFor(u"&Middle"_s, middle));
    row->addWidget(middle, 1);
    row->addWidget(labelFor(u"&Last:"_s, last));
    row->addWidget(last, 1);
    return row;
}

} // namespace

ContactEntryDialog::ContactEntryDialog(Form form, const QStringList& folders, QWidget* parent)
    : QDialog(parent)
    , m_form(form)
{
    setObjectName(form == Form::ThreeEntries ? u"d188"_s : u"d140"_s);
    setWindowTitle(u"Add new address entry"_s);
    // Created in the order the keyboard visits them.
    m_folders = new QComboBox(this);
    m_folders->setObjectName(controlName(kFolderCombo));
    m_folders->addItems(folders);
    m_folders->setCurrentIndex(folders.isEmpty() ? -1 : 0);
    m_first = addEdit(kFirst);
    m_middle = addEdit(kMiddle);
    m_last = addEdit(kLast);
    if (form == Form::ThreeEntries)
        buildThreeEntries();
    else
        buildSimple();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(u"&Add contact to Address book"_s, QDialogButtonBox::AcceptRole);
    ok->setObjectName(controlName(kOk));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setText(u"Cancel"_s);
    cancel->setObjectName(controlName(kCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout()->addWidget(buttons);

    // Down the form, row by row, then the buttons.
    QList<QWidget*> order{m_folders, m_first, m_middle, m_last};
    if (m_displayName)
        order << m_displayName;
    for (size_t i = 0; i < 3; ++i) {
        if (m_entryNames[i])
            order << m_entryNames[i];
        order << m_addresses[i];
    }
    order << m_addressType;
    if (m_addToMessage)
        order << m_addToMessage;
    order << ok << cancel;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QLineEdit* ContactEntryDialog::addEdit(int id)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(controlName(id));
    return edit;
}

void ContactEntryDialog::buildThreeEntries()
{
    static const std::array<QString, 3> nameLabels = {
        u"Display name &1 As"_s, u"Display name &2 As"_s, u"Display name &3 As"_s};
    static const std::array<QString, 3> addressLabels = {
        u"&Email address  1"_s, u"Email a&ddress  2"_s, u"Email  addre&ss  3"_s};
    auto* top = new QVBoxLayout(this);
    auto* place = new QHBoxLayout;
    place->addWidget(labelFor(u"&Place contact in:"_s, m_folders));
    place->addWidget(m_folders, 1);
    top->addLayout(place);
    top->addLayout(namesRow(m_first, m_middle, m_last));
    auto* entries = new QGridLayout;
    for (size_t i = 0; i < 3; ++i) {
        m_entryNames[i] = addEdit(kEntryNameIds[i]);
        m_addresses[i] = addEdit(kAddressIds[i]);
        const int row = static_cast<int>(i);
        entries->addWidget(labelFor(nameLabels[i], m_entryNames[i]), row, 0);
        entries->addWidget(m_entryNames[i], row, 1);
        entries->addWidget(labelFor(addressLabels[i], m_addresses[i]), row, 2);
        entries->addWidget(m_addresses[i], row, 3);
    }
    top->addLayout(entries);
    m_addressType = addEdit(kEntryAddressType);
    auto* type = new QHBoxLayout;
    type->addWidget(labelFor(u"Address &type     (  Vantrel only uses SMTP  )"_s, m_addressType));
    type->addWidget(m_addressType, 1);
    top->addLayout(type);
    m_addToMessage = new QCheckBox(u"Add new &contact to current message"_s, this);
    m_addToMessage->setObjectName(controlName(kAddToMessage));
    top->addWidget(m_addToMessage);
}

void ContactEntryDialog::buildSimple()
{
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(u"Please input a email address for"_s));
    auto* place = new QHBoxLayout;
    place->addWidget(labelFor(u"&Place contact in:"_s, m_folders));
    place->addWidget(m_folders, 1);
    top->addLayout(place);
    top->addLayout(namesRow(m_first, m_middle, m_last));
    m_displayName = addEdit(kDisplayName);
    for (size_t i = 0; i < 3; ++i)
        m_addresses[i] = addEdit(kAddressIds[i]);
    auto* first = new QGridLayout;
    first->addWidget(labelFor(u"&Display name"_s, m_displayName), 0, 0);
    first->addWidget(m_displayName, 0, 1);
    first->addWidget(labelFor(u"&email address 1"_s, m_addresses[0]), 1, 0);
    first->addWidget(m_addresses[0], 1, 1);
    top->addLayout(first);
    auto* optional = new QGroupBox(u"Optional email address information:"_s, this);
    auto* more = new QGridLayout(optional);
    more->addWidget(labelFor(u"email address &2"_s, m_addresses[1]), 0, 0);
    more->addWidget(m_addresses[1], 0, 1);
    more->addWidget(labelFor(u"email address &3"_s, m_addresses[2]), 1, 0);
    more->addWidget(m_addresses[2], 1, 1);
    top->addWidget(optional);
    m_addressType = addEdit(kSimpleAddressType);
    auto* type = new QHBoxLayout;
    type->addWidget(labelFor(u"Email &Type (eg STMP)"_s, m_addressType));
    type->addWidget(m_addressType, 1);
    top->addLayout(type);
}

void ContactEntryDialog::setInitial(const QString& name, const QString& address)
{
    (m_form == Form::ThreeEntries ? m_entryNames[0] : m_displayName)->setText(name);
    m_addresses[0]->setText(address);
}

void ContactEntryDialog::setAddToMessage(bool enabled, bool checked)
{
    if (!m_addToMessage)
        return;
    m_addToMessage->setChecked(checked);
    m_addToMessage->setEnabled(enabled);
}

ContactForm ContactEntryDialog::form() const
{
    ContactForm form;
    form.threeEntries = m_form == Form::ThreeEntries;
    form.folderIndex = m_folders->currentIndex();
    form.first = m_first->text().trimmed();
    form.middle = m_middle->text().trimmed();
    form.last = m_last->text().trimmed();
    for (size_t i = 0; i < 3; ++i) {
        if (m_entryNames[i])
            form.entryNames[i] = m_entryNames[i]->text().trimmed();
        form.addresses[i] = m_addresses[i]->text().trimmed();
    }
    if (m_displayName)
        form.displayName = m_displayName->text().trimmed();
    form.addressType = m_addressType->text().trimmed();
    form.addToMessage = m_addToMessage && m_addToMessage->isChecked();
    return form;
}

QString ContactEntryDialog::refusal(QWidget** focus) const
{
    const ContactForm typed = form();
    if (typed.threeEntries) {
        for (int i = 0; i < 3; ++i) {
            if (typed.isPair(i))
                return {};
        }
        *focus = m_entryNames[0];
        return u"You must have a display name and email address"_s;
    }
    if (typed.displayName.isEmpty()) {
        *focus = m_displayName;
        return u"Please add a display name"_s;
    }
    if (std::all_of(typed.addresses.begin(), typed.addresses.end(),
                    [](const QString& address) { return address.isEmpty(); })) {
        *focus = m_addresses[0];
        return u"Please add an email address"_s;
    }
    return {};
}

void ContactEntryDialog::accept()
{
    QWidget* focus = nullptr;
    const QString text = refusal(&focus);
    if (text.isEmpty()) {
        QDialog::accept();
        return;
    }
    Prompter::current().warning(this, u"Warning"_s, text);
    if (focus)
        focus->setFocus();
}

} // namespace vantrel::compose
