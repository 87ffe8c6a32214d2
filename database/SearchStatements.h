#pragma once

#include "database/DatabaseNames.h"

#include <QString>
#include <QStringList>

namespace vantrel::database {

inline constexpr int kJobCriteria = 25;
inline constexpr int kKnowledgeCriteria = 8;
// The find-similar buttons search the knowledge base with these criteria.
inline constexpr int kSimilarToProblem = 8;
inline constexpr int kSimilarToSolution = 9;
inline constexpr int kSimilarToNotes = 10;
inline constexpr int kMaxSearchText = 253;
inline constexpr int kMaxTypeSearchText = 49;

// The values a Job search reads from the form. `text` is the search box, or the selected
// e-mail name or address when those stand in for it; `name` and `address` are the
// selected e-mail boxes (criteria 16 to 20) or the shown record's customer (21 to 24).
// Day numbers are whole days.
struct JobSearchInput
{
    int criterion = 0;
    QString text;
    QString name;
    QString address;
    int value = 0;
    bool datesValid = true;
    double day = 0;     // one-date criteria
    double fromDay = 0; // date ranges
    double toDay = 0;
};

// A statement to run, or why there is none: a message to show (0 for none) when the input
// does not fit the criterion.
struct SearchStatement
{
    QString text;
    int messageId = 0;
    bool isValid() const { return !text.isEmpty(); }
};

// A search text as it goes between quotes: every quote doubled, so that no text can end
// the literal and change the statement.
QString QuotedText(const QString& text);
// The whole number a text starts with, as C's atoi reads it (0 when there is none).
qint64 LeadingInteger(const QString& text);

// The statement of a Job search over the columns `columns` (the 12 Job column names).
SearchStatement BuildJobSearch(const DatabaseNames& names, const QStringList& columns,
                               const JobSearchInput& input);
// The statement of a Knowledge search for `criterion` 0..10 with `text` (the search box,
// or for 8 to 10 the text taken from the job).
SearchStatement BuildKnowledgeSearch(const DatabaseNames& names, const QStringList& columns,
                                     int criterion, const QString& text);

} // namespace vantrel::database
