#pragma once

#include <QString>
#include <QStringList>

class CSupportDoc;
class QWidget;

namespace vantrel::database {

// "Database type": which kind of file the support database is.
enum DatabaseKind : int { AccessDatabase = 0, ExcelWorkbook = 1 };

inline constexpr int kJobColumns = 12;
inline constexpr int kKnowledgeColumns = 6;
// Column names are kept to this many characters.
inline constexpr int kMaxColumnName = 128;

// The file, provider and statement texts the support database is reached with. Derived
// once at start-up from the settings; the base queries change with the sort settings.
struct DatabaseNames
{
    int type = AccessDatabase;
    QString databaseName; // "Database Name": kept, the file opened is always fileName
    QString providerName; // "Database source"
    QString fileName;
    QString providerString;
    QString jobTable;       // as the statements name it: Job or [Job$]
    QString knowledgeTable; // Knowledge or [Knowledge$]
    QString jobSearchPrefix;
    QString knowledgeSearchPrefix;
    QString jobBaseQuery;
    QString knowledgeBaseQuery;
    QString jobSortColumn = QStringLiteral("Job number");
    QString knowledgeSortColumn = QStringLiteral("Reference");
    bool jobDescending = false;
    bool knowledgeDescending = false;

    // The sort clause of each table, " ORDER BY [column] ASC " or "... DESC".
    QString jobOrder() const;
    QString knowledgeOrder() const;
};

inline const QString kDefaultDatabaseName = QStringLiteral("qdmdatab");
inline const QString kDefaultProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

// The names for a database of `type` (any other value counts as the Access type), with
// the given setting values.
DatabaseNames NamesForType(int type, const QString& databaseName, const QString& providerName);

// Reads "Database Name" and "Database source", writing their defaults when they are
// missing (a failed write is told and the default used for this run), and derives the
// names from "Database type", which is set back to 0 when it is neither 0 nor 1.
DatabaseNames InitDatabaseNames(CSupportDoc& doc, QWidget* view);

// Sets the Job sort column from `columnNames` (entry 0 for an index outside 0..11) and the
// direction, and rebuilds the Job base query.
void BuildJobBaseQuery(DatabaseNames& names, const QStringList& columnNames, int columnIndex,
                       bool descending);
// The same for the Knowledge table, index 0..5.
void BuildKnowledgeBaseQuery(DatabaseNames& names, const QStringList& columnNames, int columnIndex,
                             bool descending);

} // namespace vantrel::database
