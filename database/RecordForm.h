#pragma once

#include "database/RecordLayout.h"

#include <QString>

class QWidget;

namespace vantrel::database {

class DatabaseHost;

inline constexpr int kPriorityCount = 7;
inline constexpr int kStatusCount = 5;

// The texts of the priority and status codes; a text missing from the string table reads
// "Unknown Priority n" or "Unknown status n".
QString PriorityText(int code);
QString StatusText(int code);

// Day-number dates as the record's date text boxes show them: "HH:MM  MM DD YYYY", or "0"
// for 1.0 and below.
QString DateBoxText(double dayNumber);

// Copies record values into the workspace's record controls and back. The form keeps the
// priority and status chosen in their lists, so a stored code the lists lack is written
// back unchanged.
class RecordForm
{
public:
    explicit RecordForm(DatabaseHost& host);

    // Fills the priority and status lists and limits the one-line fields (start-up).
    void fillChoices();
    // A new choice in the priority or status list; one outside the codes only beeps.
    void choosePriority(int index);
    void chooseStatus(int index);
    int priority() const { return m_priority; }
    int status() const { return m_status; }

    // Shows a record: null texts as a single blank, each text cut to what its binding
    // holds, dates in their pickers and date boxes, priority and status selected. False
    // when a picker refused a date (the caller has told the user).
    bool show(std::span<const FieldSpec> fields, const RecordValues& values);
    // Reads the controls into `values` (statuses 0). With `blankEmpty`, empty text boxes
    // are first set to a single blank. False, with the failing control focused, when a
    // number box does not hold a whole number.
    bool collect(std::span<const FieldSpec> fields, bool blankEmpty, RecordValues* values);
    // The blank record: number 0, texts a single blank, the start date now and the end date
    // 0 in the boxes with both pickers on the current time, priority and status 0.
    void showBlank(std::span<const FieldSpec> fields);

    QString text(int controlId) const;
    void setText(int controlId, const QString& text);
    // The selected characters of a text box, or all of its text when none are selected.
    QString selectedOrWholeText(int controlId) const;

private:
    void showDate(const FieldSpec& field, double dayNumber, bool* ok);

    DatabaseHost& m_host;
    int m_priority = 0;
    int m_status = 0;
};

} // namespace vantrel::database
