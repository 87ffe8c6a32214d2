#include "database/DatabaseNames.h"

#include "core/CSupportDoc.h"
#include "core/MessageHelpers.h"
#include "core/SettingsStore.h"

namespace vantrel::database {

namespace {

// Values no real name or provider identifier can have: they tell a missing setting.
const QString kNameSentinel = QStringLiteral("<no database name set>");
const QString kSourceSentinel = QStringLiteral("<no database source set>");

constexpr int kMsgNameNotWritten = 20088;
constexpr int kMsgSourceNotWritten = 20093;

QString orderClause(const QString& column, bool descending)
{
    return QStringLiteral(" ORDER BY [") + column +
           (descending ? QStringLiteral("] DESC") : QStringLiteral("] ASC "));
}

QString sortColumn(const QStringList& names, int index, int count)
{
    if (index < 0 || index >= count)
        index = 0;
    return index < names.size() ? names.at(index) : QString();
}

// A setting read with its sentinel; a missing one gets `fallback`, written back.
QString readOrDefault(CSupportDoc& doc, QWidget* view, const QString& name, const QString& sentinel,
                      const QString& fallback, int failureMessage)
{
    SettingsStore& store = doc.store();
    const QString value = store.readString(SettingsStore::kInternalData, name, sentinel);
    if (value != sentinel)
        return value;
    if (!store.writeString(SettingsStore::kInternalData, name, fallback))
        ShowViewMessage(view, failureMessage, TitleWarning);
    return fallback;
}

} // namespace

QString DatabaseNames::jobOrder() const
{
    return orderClause(jobSortColumn, jobDescending);
}

QString DatabaseNames::knowledgeOrder() const
{
    return orderClause(knowledgeSortColumn, knowledgeDescending);
}

DatabaseNames NamesForType(int type, const QString& databaseName, const QString& providerName)
{
    DatabaseNames names;
    names.type = type == ExcelWorkbook ? ExcelWorkbook : AccessDatabase;
    names.databaseName = databaseName;
    names.providerName = providerName;
    if (names.type == ExcelWorkbook) {
        names.fileName = QStringLiteral("vntdatab.xlsx");
        names.providerString = QStringLiteral("Excel 8.0;HDR=Yes;\"\"");
        names.jobTable = QStringLiteral("[Job$]");
        // The searches read the same sheet the base query shows.
        names.knowledgeTable = QStringLiteral("[Knowledge$]");
        names.jobBaseQuery = QStringLiteral("SELECT * FROM [Job$]");
    } else {
        names.fileName = QStringLiteral("vntdatab.db");
        names.providerString = QStringLiteral(";COUNTRY=0;CP=1252;LANGID=0x0409");
        names.jobTable = QStringLiteral("Job");
        names.knowledgeTable = QStringLiteral("Knowledge");
        names.jobBaseQuery = QStringLiteral("SELECT * FROM Job");
    }
    names.knowledgeBaseQuery = QStringLiteral("SELECT * FROM Knowledge");
    names.jobSearchPrefix = QStringLiteral("SELECT * FROM ") + names.jobTable +
                            QStringLiteral(" WHERE ") + names.jobTable;
    names.knowledgeSearchPrefix = QStringLiteral("SELECT * FROM ") + names.knowledgeTable +
                                  QStringLiteral(" WHERE ") + names.knowledgeTable;
    return names;
}

DatabaseNames InitDatabaseNames(CSupportDoc& doc, QWidget* view)
{
    const QString name = readOrDefault(doc, view, QStringLiteral("Database Name"), kNameSentinel,
                                       kDefaultDatabaseName, kMsgNameNotWritten);
    const QString source = readOrDefault(doc, view, QStringLiteral("Database source"),
                                         kSourceSentinel, kDefaultProvider, kMsgSourceNotWritten);
    int type = doc.intSetting(DatabaseType);
    if (type != AccessDatabase && type != ExcelWorkbook) {
        type = AccessDatabase;
        doc.setIntSetting(DatabaseType, type);
        doc.WriteIntSetting(DatabaseType, type);
    }
    return NamesForType(type, name, source);
}

void BuildJobBaseQuery(DatabaseNames& names, const QStringList& columnNames, int columnIndex,
                       bool descending)
{
    names.jobSortColumn = sortColumn(columnNames, columnIndex, kJobColumns);
    names.jobDescending = descending;
    names.jobBaseQuery =
        QStringLiteral("SELECT * FROM ") + names.jobTable + u' ' + names.jobOrder();
}

void BuildKnowledgeBaseQuery(DatabaseNames& names, const QStringList& columnNames, int columnIndex,
                             bool descending)
{
    names.knowledgeSortColumn = sortColumn(columnNames, columnIndex, kKnowledgeColumns);
    names.knowledgeDescending = descending;
    names.knowledgeBaseQuery =
        QStringLiteral("SELECT * FROM ") + names.knowledgeTable + u' ' + names.knowledgeOrder();
}

} // namespace vantrel::database
