#include "database/RecordForm.h"

#include "core/MessageHelpers.h"
#include "core/StringTable.h"
#include "database/DatabaseHost.h"
#include "oledb/DayNumber.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace vantrel::database {

using namespace vnt::oledb;

namespace {

constexpr int kPriorityTexts = 22001;
constexpr int kStatusTexts = 23001;
constexpr int kMsgBadTime = 20061;

QComboBox* combo(DatabaseHost& host, int id)
{
    return qobject_cast<QComboBox*>(host.recordControl(id));
}

QDateTimeEdit* picker(DatabaseHost& host, int id)
{
    return qobject_cast<QDateTimeEdit*>(host.recordControl(id));
}

// The longest text a binding keeps: its length without the terminating null.
int textLimit(const FieldSpec& field)
{
    return field.maxLength - 1;
}

} // namespace

QString PriorityText(int code)
{
    QString text;
    if (!StringTable::instance().load(kPriorityTexts + code, &text))
        text = QStringLiteral("Unknown Priority %1").arg(code);
    return text;
}

QString StatusText(int code)
{
    QString text;
    if (!StringTable::instance().load(kStatusTexts + code, &text))
        text = QStringLiteral("Unknown status %1").arg(code);
    return text;
}

QString DateBoxText(double dayNumber)
{
    if (!(dayNumber > 1.0))
        return QStringLiteral("0");
    const QDateTime when = dateTimeFromDayNumber(dayNumber);
    return when.isValid() ? when.toString(QStringLiteral("HH:mm  MM dd yyyy"))
                          : QStringLiteral("0");
}

RecordForm::RecordForm(DatabaseHost& host)
    : m_host(host)
{}

void RecordForm::fillChoices()
{
    const auto fill = [this](int id, int count, QString (*text)(int)) {
        QComboBox* list = combo(m_host, id);
        if (!list)
            return;
        const QSignalBlocker quiet(list);
        list->clear();
        for (int code = 0; code < count; ++code)
            list->addItem(text(code));
        list->setCurrentIndex(0);
    };
    fill(JobFields()[Priority].controlId, kPriorityCount, PriorityText);
    fill(JobFields()[Status].controlId, kStatusCount, StatusText);
    // One-line fields take no more than their column keeps.
    for (const std::span<const FieldSpec> fields : {JobFields(), KnowledgeFields()}) {
        for (const FieldSpec& field : fields) {
            auto* line = qobject_cast<QLineEdit*>(m_host.recordControl(field.controlId));
            if (line && field.kind == FieldKind::Text)
                line->setMaxLength(textLimit(field));
        }
    }
}

void RecordForm::choosePriority(int index)
{
    if (index < 0 || index >= kPriorityCount)
        QApplication::beep();
    else
        m_priority = index;
}

void RecordForm::chooseStatus(int index)
{
    if (index < 0 || index >= kStatusCount)
        QApplication::beep();
    else
        m_status = index;
}

QString RecordForm::text(int controlId) const
{
    QWidget* control = m_host.recordControl(controlId);
    if (auto* line = qobject_cast<QLineEdit*>(control))
        return line->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
        return edit->toPlainText();
    return {};
}

void RecordForm::setText(int controlId, const QString& text)
{
    QWidget* control = m_host.recordControl(controlId);
    if (auto* line = qobject_cast<QLineEdit*>(control))
        line->setText(text);
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
        edit->setPlainText(text);
}

QString RecordForm::selectedOrWholeText(int controlId) const
{
    QWidget* control = m_host.recordControl(controlId);
    if (auto* line = qobject_cast<QLineEdit*>(control))
        return line->hasSelectedText() ? line->selectedText() : line->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
        const QTextCursor cursor = edit->textCursor();
        if (cursor.hasSelection())
            return cursor.selection().toPlainText();
        return edit->toPlainText();
    }
    return {};
}

void RecordForm::showDate(const FieldSpec& field, double dayNumber, bool* ok)
{
    if (QDateTimeEdit* date = picker(m_host, field.controlId)) {
        const QDateTime when = dateTimeFromDayNumber(dayNumber);
        if (when.isValid() && when >= date->minimumDateTime() && when <= date->maximumDateTime()) {
            date->setDateTime(when);
        } else {
            ShowViewMessage(m_host.hostWidget(), kMsgBadTime, TitleInformation);
            *ok = false;
        }
    }
    if (field.dateTextId != 0)
        setText(field.dateTextId, DateBoxText(dayNumber));
}

bool RecordForm::show(std::span<const FieldSpec> fields, const RecordValues& values)
{
    bool ok = true;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldSpec& field = fields[i];
        const RecordSlot& slot = values[i];
        const bool null = slot.status == DBSTATUS_S_ISNULL;
        switch (field.kind) {
        case FieldKind::Number:
            setText(field.controlId, QString::number(null ? 0 : slot.integer));
            break;
        case FieldKind::Text: {
            QString text = null ? QStringLiteral(" ") : slot.text.left(textLimit(field));
            setText(field.controlId, text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            break;
        }
        case FieldKind::Date:
            showDate(field, null ? 0.0 : slot.date, &ok);
            break;
        case FieldKind::Priority:
        case FieldKind::Status: {
            const int code = null ? 0 : slot.integer;
            (field.kind == FieldKind::Priority ? m_priority : m_status) = code;
            if (QComboBox* list = combo(m_host, field.controlId)) {
                const QSignalBlocker quiet(list);
                list->setCurrentIndex(code >= 0 && code < list->count() ? code : -1);
            }
            break;
        }
        }
    }
    return ok;
}

bool RecordForm::collect(std::span<const FieldSpec> fields, bool blankEmpty, RecordValues* values)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldSpec& field = fields[i];
        RecordSlot& slot = (*values)[i];
        slot.status = DBSTATUS_S_OK;
        switch (field.kind) {
        case FieldKind::Number: {
            bool isNumber = false;
            slot.integer = text(field.controlId).trimmed().toInt(&isNumber);
            if (!isNumber) {
                if (QWidget* box = m_host.recordControl(field.controlId))
                    box->setFocus(Qt::OtherFocusReason);
                return false;
            }
            break;
        }
        case FieldKind::Text:
            slot.text = text(field.controlId);
            if (blankEmpty && slot.text.isEmpty()) {
                setText(field.controlId, QStringLiteral(" "));
                slot.text = QStringLiteral(" ");
            }
            break;
        case FieldKind::Date:
            if (QDateTimeEdit* date = picker(m_host, field.controlId))
                slot.date = toDayNumber(date->dateTime());
            break;
        case FieldKind::Priority:
            slot.integer = m_priority;
            break;
        case FieldKind::Status:
            slot.integer = m_status;
            break;
        }
    }
    return true;
}

void RecordForm::showBlank(std::span<const FieldSpec> fields)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const FieldSpec& field : fields) {
        switch (field.kind) {
        case FieldKind::Number:
            setText(field.controlId, QStringLiteral("0"));
            break;
        case FieldKind::Text:
            setText(field.controlId, QStringLiteral(" "));
            break;
        case FieldKind::Date:
            if (QDateTimeEdit* date = picker(m_host, field.controlId))
                date->setDateTime(now);
            if (field.dateTextId != 0)
                setText(field.dateTextId, field.controlId == JobFields()[StartDate].controlId
                                              ? now.toString(QStringLiteral("HH:mm  MM dd yyyy"))
                                              : QStringLiteral("0"));
            break;
        case FieldKind::Priority:
        case FieldKind::Status:
            (field.kind == FieldKind::Priority ? m_priority : m_status) = 0;
            if (QComboBox* list = combo(m_host, field.controlId)) {
                const QSignalBlocker quiet(list);
                list->setCurrentIndex(0);
            }
            break;
        }
    }
}

} // namespace vantrel::database
