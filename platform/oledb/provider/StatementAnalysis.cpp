#include "oledb/provider/Connection.h"
#include "oledb/provider/KeysetSource.h"
#include "oledb/provider/RowSource.h"
#include "oledb/provider/Sqlite.h"

#include <QRegularExpression>
#include <sqlite3.h>

// Decides how a statement's rows are kept. A statement whose columns all come from one
// table, its integer key among them, becomes a keyset: only the keys are collected when it runs,
// and rows are read by key. Collecting the keys runs "SELECT key FROM ..." in place of
// "SELECT * FROM ...", which spares sorting whole rows when the statement sorts; when
// the statement has another shape the statement itself is run and its key column read.

namespace vnt::oledb {

namespace {

struct Token
{
    qsizetype start = 0;
    QString word; // upper-cased keyword or identifier; the character for punctuation
};

qsizetype skipQuoted(const QString& text, qsizetype i, QChar close)
{
    for (++i; i < text.size(); ++i) {
        if (text[i] == close) {
            if (close != QLatin1Char(']') && i + 1 < text.size() && text[i + 1] == close)
                ++i;
            else
                return i + 1;
        }
    }
    return i;
}

qsizetype skipComment(const QString& text, qsizetype i)
{
    if (text.mid(i, 2) == QLatin1String("--")) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
        return end < 0 ? text.size() : end + 1;
    }
    const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
    return end < 0 ? text.size() : end + 2;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// The statement's tokens at parenthesis depth 0, quoted names and strings left out.
QList<Token> topLevelTokens(const QString& text)
{
    QList<Token> tokens;
    int depth = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
        } else if (text.mid(i, 2) == QLatin1String("--") || text.mid(i, 2) == QLatin1String("/*")) {
            i = skipComment(text, i);
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            i = skipQuoted(text, i, c);
        } else if (c == QLatin1Char('[')) {
            i = skipQuoted(text, i, QLatin1Char(']'));
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < text.size() && isWordChar(text[i]))
                ++i;
            if (depth == 0)
                tokens.append({start, text.mid(start, i - start).toUpper()});
        } else {
            depth += c == QLatin1Char('(') ? 1 : c == QLatin1Char(')') ? -1 : 0;
            if (depth == 0 && c != QLatin1Char(')'))
                tokens.append({i, QString(c)});
            ++i;
        }
    }
    return tokens;
}

// "SELECT <key> FROM ..." for "SELECT * FROM ..." without grouping or compounds; empty
// for any other statement.
QString keyStatementText(const QString& text, const QString& keyName)
{
    const QList<Token> tokens = topLevelTokens(text);
    if (tokens.size() < 3 || tokens[0].word != QLatin1String("SELECT") ||
        tokens[1].word != QLatin1String("*") || tokens[2].word != QLatin1String("FROM"))
        return {};
    static const QStringList kShapeChangers = {
        QStringLiteral("GROUP"),     QStringLiteral("HAVING"), QStringLiteral("UNION"),
        QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"), QStringLiteral("WINDOW")};
    for (const Token& token : tokens) {
        if (kShapeChangers.contains(token.word))
            return {};
    }
    return QStringLiteral("SELECT ") + quoteIdentifier(keyName) + QLatin1Char(' ') +
           text.mid(tokens[2].start);
}

DBTYPE typeForDeclared(const QString& declared, bool isDate)
{
    const QString upper = declared.toUpper();
    if (isDate || upper.contains(QLatin1String("DATE")) || upper.contains(QLatin1String("TIME")))
        return DBTYPE_DATE;
    if (upper.contains(QLatin1String("INT")))
        return DBTYPE_I4;
    if (upper.isEmpty())
        return DBTYPE_VARIANT;
    if (upper.contains(QLatin1String("CHAR")) || upper.contains(QLatin1String("CLOB")) ||
        upper.contains(QLatin1String("TEXT")))
        return DBTYPE_STR;
    return DBTYPE_R8;
}

DBLENGTH sizeFor(DBTYPE type, const QString& declared)
{
    if (type == DBTYPE_I4)
        return 4;
    if (type != DBTYPE_STR)
        return 8;
    static const QRegularExpression kLength(QStringLiteral("\\(\\s*(\\d+)"));
    const QRegularExpressionMatch match = kLength.match(declared);
    return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

QString utf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

SourceColumn describeColumn(Connection& connection, sqlite3_stmt* stmt, int index, QString* table)
{
    SourceColumn column;
    column.name = utf8(sqlite3_column_name(stmt, index));
    column.origin = utf8(sqlite3_column_origin_name(stmt, index));
    column.declared = utf8(sqlite3_column_decltype(stmt, index));
    *table = utf8(sqlite3_column_table_name(stmt, index));
    const QByteArray database = sqlite3_column_database_name(stmt, index);
    if (!table->isEmpty() && database == "main") {
        int notNull = 0;
        int primaryKey = 0;
        sqlite3_table_column_metadata(connection.db(), "main", table->toUtf8().constData(),
                                      column.origin.toUtf8().constData(), nullptr, nullptr,
                                      &notNull, &primaryKey, nullptr);
        column.nullable = !notNull;
        column.key = primaryKey &&
                     column.declared.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
    } else {
        table->clear();
    }
    column.type = typeForDeclared(
        column.declared, !table->isEmpty() && connection.isDateColumn(*table, column.origin));
    column.size = sizeFor(column.type, column.declared);
    return column;
}

// Whether the key column is the table's row id: the one column of its primary key, on a
// table that has row ids.
bool isRowIdKey(sqlite3* db, const QString& table, const QString& key)
{
    Statement statement;
    statement.prepare(db, QStringLiteral("SELECT count(*) FROM pragma_table_info(?) WHERE pk > 0"));
    statement.bind(1, table);
    if (statement.step() != SQLITE_ROW || statement.int64Value(0) != 1)
        return false;
    Statement probe;
    return probe.prepare(db, QStringLiteral("SELECT _rowid_ = %1 FROM %2 LIMIT 0")
                                 .arg(quoteIdentifier(key), quoteIdentifier(table))) == SQLITE_OK;
}

// The index of the key column when every column comes from the one table `table` and
// its row id key is among them; -1 otherwise.
int keyColumnOf(sqlite3* db, const QList<SourceColumn>& columns, const QStringList& tables,
                QString* table)
{
    *table = tables.value(0);
    if (table->isEmpty() || tables.count(*table) != tables.size())
        return -1;
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].key && isRowIdKey(db, *table, columns[i].origin))
            return i;
    }
    return -1;
}

HRESULT prepareStatement(sqlite3* db, const QString& text, Statement* statement,
                         ErrorRecords* errors)
{
    QByteArray tail;
    const int rc = statement->prepare(db, text, &tail);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        const HRESULT hr = message.startsWith(QLatin1String("no such table"))
                               ? DB_E_NOTABLE
                               : DB_E_ERRORSINCOMMAND;
        errors->add(hr, QStringLiteral("The statement cannot be run: %1.").arg(message));
        return hr;
    }
    if (!statement->isValid() || !tail.trimmed().replace(';', "").trimmed().isEmpty()) {
        errors->add(DB_E_MULTIPLESTATEMENTS,
                    QStringLiteral("The command must hold exactly one statement."));
        return DB_E_MULTIPLESTATEMENTS;
    }
    if (statement->columnCount() == 0 || !sqlite3_stmt_readonly(statement->handle())) {
        errors->add(DB_E_NOTSUPPORTED, QStringLiteral("Only statements that return rows "
                                                      "can be run."));
        return DB_E_NOTSUPPORTED;
    }
    return S_OK;
}

HRESULT openKeyset(Connection& connection, const QString& text, Statement& statement,
                   const QString& table, QList<SourceColumn> columns, int key,
                   std::unique_ptr<RowSource>* source, ErrorRecords* errors)
{
    Statement keyStatement;
    const QString keyText = keyStatementText(text, columns[key].name);
    if (!keyText.isEmpty() && keyStatement.prepare(connection.db(), keyText) == SQLITE_OK &&
        keyStatement.columnCount() == 1 &&
        utf8(sqlite3_column_table_name(keyStatement.handle(), 0)) == table &&
        utf8(sqlite3_column_origin_name(keyStatement.handle(), 0)) == columns[key].origin)
        return KeysetSource::open(connection, keyStatement, 0, table, std::move(columns), key,
                                  source, errors);
    return KeysetSource::open(connection, statement, key, table, std::move(columns), key, source,
                              errors);
}

} // namespace

HRESULT openRowSource(Connection& connection, const QString& text,
                      std::unique_ptr<RowSource>* source, ErrorRecords* errors)
{
    Statement statement;
    const HRESULT hr = prepareStatement(connection.db(), text, &statement, errors);
    if (failed(hr))
        return hr;
    QList<SourceColumn> columns;
    QStringList tables;
    for (int i = 0; i < statement.columnCount(); ++i) {
        QString table;
        columns.append(describeColumn(connection, statement.handle(), i, &table));
        tables.append(table);
    }
    QString table;
    const int key = keyColumnOf(connection.db(), columns, tables, &table);
    if (key >= 0)
        return openKeyset(connection, text, statement, table, std::move(columns), key, source,
                          errors);
    QString reason = table.isEmpty() ? QString() : connection.readOnlyReason(table);
    if (reason.isEmpty())
        reason = QStringLiteral("The rows cannot be changed: the statement does not read "
                                "the columns of one table with its integer key.");
    return SnapshotSource::open(statement, std::move(columns), reason, source, errors);
}

} // namespace vnt::oledb
