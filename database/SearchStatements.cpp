#include "database/SearchStatements.h"

#include <QRegularExpression>

namespace vantrel::database {

namespace {

constexpr int kMsgNumberNeeded = 20210;
constexpr int kMsgNumberBelowOne = 20211;
constexpr int kMsgTextNeeded = 20212;
constexpr int kMsgTooLong = 20213;
constexpr int kMsgNameNeeded = 20214;
constexpr int kMsgAddressNeeded = 20215;
constexpr int kMsgNotesNeeded = 20216;
constexpr int kMsgSomeTextNeeded = 20217;
constexpr int kMsgNoJobText = 20220;
constexpr int kMsgBadTime = 20061;

constexpr int kStatusOutstanding = 1;
constexpr int kStatusCompleted = 4;
constexpr int kMaxPriority = 6;
constexpr int kMaxStatus = 4;

// Job column indexes.
enum JobColumn { C0 = 0, C1, C2, C3, C4, C5, C6, C7, C8, C9, C10, C11 };

SearchStatement refuse(int messageId)
{
    return {QString(), messageId};
}

QString number(double value)
{
    return QString::asprintf("%f", value);
}

// A number typed for a number criterion goes in as typed when it is one word ("12abc"
// makes a statement the database refuses); anything else is compared as quoted text.
QString typedNumber(const QString& text)
{
    static const QRegularExpression oneWord(QStringLiteral(R"(^\s*[+-]?\d[\w.]*\s*$)"));
    return oneWord.match(text).hasMatch() ? text : u'\'' + QuotedText(text) + u'\'';
}

// Empty and length checks of a search text.
int textProblem(const QString& text, int emptyMessage, int limit = kMaxSearchText)
{
    if (text.isEmpty())
        return emptyMessage;
    return text.size() > limit ? kMsgTooLong : 0;
}

class JobStatement
{
public:
    JobStatement(const DatabaseNames& names, const QStringList& columns)
        : m_names(names)
        , m_columns(columns)
    {}

    // P or A followed by the column reference.
    QString first(int column) const { return m_names.jobSearchPrefix + ref(column); }
    QString also(int column) const
    {
        return QStringLiteral(" AND ") + m_names.jobTable + ref(column);
    }
    static QString like(const QString& text)
    {
        return QStringLiteral(" LIKE '%") + QuotedText(text) + QStringLiteral("%'");
    }
    QString range(int column, double from, double to) const
    {
        return QStringLiteral(" >=  ") + number(from) + QStringLiteral(" AND ") + m_names.jobTable +
               ref(column) + QStringLiteral(" <= ") + number(to + 1);
    }
    QString order() const { return m_names.jobOrder(); }

private:
    QString ref(int column) const { return QStringLiteral(".[") + m_columns.value(column) + u']'; }

    const DatabaseNames& m_names;
    const QStringList& m_columns;
};

SearchStatement jobText(const JobStatement& s, int column, const QString& text, int emptyMessage)
{
    if (const int problem = textProblem(text, emptyMessage))
        return refuse(problem);
    return {s.first(column) + JobStatement::like(text) + s.order()};
}

SearchStatement jobByCustomer(const JobStatement& s, const JobSearchInput& in)
{
    const int c = in.criterion;
    const bool byName = c == 17 || c == 18 || c == 21 || c == 22;
    const QString& who = byName ? in.name : in.address;
    // The current-record searches ask for a name whichever field they use.
    const int empty = (c == 19 || c == 20) ? kMsgAddressNeeded : kMsgNameNeeded;
    if (const int problem = textProblem(who, empty))
        return refuse(problem);
    QString head;
    if (c >= 17 && c <= 20) {
        const int status = (c == 17 || c == 19) ? kStatusOutstanding : kStatusCompleted;
        head = s.first(C9) + QStringLiteral(" = ") + QString::number(status);
    } else {
        const bool status = c == 21 || c == 23;
        if (in.value < 0 || in.value > (status ? kMaxStatus : kMaxPriority))
            return {};
        head = s.first(status ? C9 : C8) + QStringLiteral(" = ") + QString::number(in.value);
    }
    return {head + s.also(byName ? C3 : C4) + JobStatement::like(who) + s.order()};
}

SearchStatement jobByDates(const JobStatement& s, const JobSearchInput& in)
{
    if (!in.datesValid)
        return refuse(kMsgBadTime);
    const double from = in.fromDay;
    const double to = in.toDay;
    switch (in.criterion) {
    case 13:
        return {s.first(C5) + s.range(C5, from, to) + s.order()};
    case 14:
        return {s.first(C9) + QStringLiteral(" = 4") + s.also(C6) + s.range(C6, from, to) +
                s.order()};
    case 15:
        return {s.first(C9) + QStringLiteral(" = 1") + s.also(C5) + s.range(C5, from, to) +
                s.order()};
    default: // 16
        if (const int problem = textProblem(in.name, kMsgNameNeeded))
            return refuse(problem);
        return {s.first(C3) + JobStatement::like(in.name) + s.also(C9) + QStringLiteral(" = 1") +
                s.also(C5) + s.range(C5, from, to) + s.order()};
    }
}

} // namespace

QString QuotedText(const QString& text)
{
    QString quoted = text;
    return quoted.replace(u'\'', QStringLiteral("''"));
}

qint64 LeadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (value < (qint64(1) << 40))
            value = value * 10 + (text[i].unicode() - u'0');
    }
    return negative ? -value : value;
}

SearchStatement BuildJobSearch(const DatabaseNames& names, const QStringList& columns,
                               const JobSearchInput& in)
{
    const JobStatement s(names, columns);
    switch (in.criterion) {
    case 0:
        return {names.jobBaseQuery};
    case 1:
        if (in.text.isEmpty())
            return refuse(kMsgNumberNeeded);
        if (LeadingInteger(in.text) < 1)
            return refuse(kMsgNumberBelowOne);
        return {s.first(C0) + QStringLiteral(" = ") + typedNumber(in.text) + s.order()};
    case 2:
    case 3:
        return jobText(s, in.criterion == 2 ? C1 : C2, in.text, kMsgTextNeeded);
    case 4:
        return jobText(s, C3, in.text, kMsgNameNeeded);
    case 5:
        return jobText(s, C4, in.text, kMsgAddressNeeded);
    case 6:
    case 7:
        if (!in.datesValid)
            return refuse(kMsgBadTime);
        return {s.first(in.criterion == 6 ? C5 : C6) + QStringLiteral(" BETWEEN ") +
                number(in.day) + QStringLiteral(" AND ") + number(in.day + 1)};
    case 8:
        return jobText(s, C7, in.text, kMsgNotesNeeded);
    case 9:
    case 10: {
        const bool status = in.criterion == 10;
        if (in.value < 0 || in.value > (status ? kMaxStatus : kMaxPriority))
            return {};
        return {s.first(status ? C9 : C8) + QStringLiteral(" = ") + QString::number(in.value) +
                s.order()};
    }
    case 11:
    case 12:
        return jobText(s, in.criterion == 11 ? C10 : C11, in.text, kMsgSomeTextNeeded);
    case 13:
    case 14:
    case 15:
    case 16:
        return jobByDates(s, in);
    default:
        if (in.criterion >= 17 && in.criterion < kJobCriteria)
            return jobByCustomer(s, in);
        return {};
    }
}

SearchStatement BuildKnowledgeSearch(const DatabaseNames& names, const QStringList& columns,
                                     int criterion, const QString& text)
{
    const auto ref = [&](int column) {
        return QStringLiteral(".[") + columns.value(column) + u']';
    };
    const QString like = QStringLiteral(" LIKE'%") + QuotedText(text) + QStringLiteral("%'");
    const auto anyNote = [&] {
        QString statement = names.knowledgeSearchPrefix + ref(2) + like;
        for (int column = 3; column <= 5; ++column)
            statement += QStringLiteral(" OR  ") + names.knowledgeTable + ref(column) + like;
        return statement + names.knowledgeOrder();
    };
    switch (criterion) {
    case 0:
        return {names.knowledgeBaseQuery};
    case 1:
        if (const int problem = textProblem(text, kMsgTextNeeded))
            return refuse(problem);
        return {anyNote()};
    case 2:
        if (text.isEmpty())
            return refuse(kMsgNumberNeeded);
        if (LeadingInteger(text) < 1)
            return refuse(kMsgNumberBelowOne);
        return {names.knowledgeSearchPrefix + ref(0) + QStringLiteral(" = ") + typedNumber(text) +
                names.knowledgeOrder()};
    case 3:
    case 4:
    case 5:
    case 6:
    case 7: {
        const int limit = criterion == 3 ? kMaxTypeSearchText : kMaxSearchText;
        if (const int problem = textProblem(text, kMsgTextNeeded, limit))
            return refuse(problem);
        return {names.knowledgeSearchPrefix + ref(criterion - 2) + like + names.knowledgeOrder()};
    }
    case kSimilarToProblem:
    case kSimilarToSolution:
    case kSimilarToNotes:
        if (text.isEmpty())
            return refuse(kMsgNoJobText);
        return {anyNote()};
    default:
        return {};
    }
}

} // namespace vantrel::database
