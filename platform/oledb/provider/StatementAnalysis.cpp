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

// What listing the keys of "SELECT * FROM ..." needs to know of it.
struct StatementShape
{
    QString from;     // "FROM ..." to the end; empty for statements of another shape
    QString unsorted; // "FROM ..." up to its sort clause
    QString sortTerm; // the one term of a sort clause "ORDER BY term [ASC|DESC]"
    bool descending = false;
    bool plain = false; // "SELECT * FROM name" alone
};

bool isWord(const Token& token, const char* word)
{
    return token.word == QLatin1String(word);
}

// The term of "ORDER BY term [ASC|DESC]" starting at token `by` (the "BY"); empty when the
// clause says more (several terms, a collation, a limit).
QString sortTerm(const QString& text, const QList<Token>& tokens, qsizetype by, bool* descending)
{
    qsizetype end = text.size();
    for (qsizetype i = by + 1; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        const bool last = i + 1 == tokens.size();
        if (last && (isWord(token, "ASC") || isWord(token, "DESC"))) {
            *descending = isWord(token, "DESC");
            end = token.start;
        } else if (token.word.size() == 1 && !isWordChar(token.word.front()) &&
                   token.word != QLatin1String(".")) {
            return {};
        } else if (isWord(token, "COLLATE") || isWord(token, "NULLS") || isWord(token, "LIMIT") ||
                   isWord(token, "OFFSET")) {
            return {};
        }
    }
    const qsizetype start = tokens[by].start + 2;
    return text.mid(start, end - start).trimmed();
}

StatementShape shapeOf(const QString& text)
{
    StatementShape shape;
    const QList<Token> tokens = topLevelTokens(text);
    if (tokens.size() < 3 || !isWord(tokens[0], "SELECT") || !isWord(tokens[1], "*") ||
        !isWord(tokens[2], "FROM"))
        return shape;
    static const QStringList kShapeChangers = {
        QStringLiteral("GROUP"),     QStringLiteral("HAVING"), QStringLiteral("UNION"),
        QStringLiteral("INTERSECT"), QStringLiteral("EXCEPT"), QStringLiteral("WINDOW")};
    qsizetype order = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (kShapeChangers.contains(tokens[i].word))
            return shape;
        if (isWord(tokens[i], "ORDER") && i + 1 < tokens.size() && isWord(tokens[i + 1], "BY"))
            order = i;
    }
    shape.from = text.mid(tokens[2].start);
    shape.unsorted =
        order < 0 ? shape.from : text.mid(tokens[2].start, tokens[order].start - tokens[2].start);
    if (order >= 0)
        shape.sortTerm = sortTerm(text, tokens, order + 1, &shape.descending);
    static const QRegularExpression kPlain(
        QStringLiteral("^FROM\\s+(\\[[^\\]]*\\]|\"([^\"]|\"\")*\"|`[^`]*`|[\\w$]+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    shape.plain = kPlain.match(shape.from).hasMatch();
    return shape;
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

// Prepares `sql`, which lists the key of `table` and, with `sortColumn`, a column of the
// same table to sort on; false when it does not prepare or its columns are others.
bool prepareKeyStatement(sqlite3* db, const QString& sql, const QString& table,
                         const QString& keyOrigin, bool sortColumn, Statement* statement)
{
    if (statement->prepare(db, sql) != SQLITE_OK ||
        statement->columnCount() != (sortColumn ? 2 : 1))
        return false;
    sqlite3_stmt* handle = statement->handle();
    for (int column = 0; column < statement->columnCount(); ++column) {
        const QString origin = utf8(sqlite3_column_origin_name(handle, column));
        if (utf8(sqlite3_column_table_name(handle, column)) != table || origin.isEmpty() ||
            (column == 0 && origin != keyOrigin))
            return false;
    }
    return true;
}

// Lists the keys of the statement's rows. For "SELECT * FROM ..." only the key column is
// read, and a sort on one column of integers is done here, sparing the database's sort of
// whole rows; other statements run as they are.
HRESULT listKeys(Connection& connection, const QString& text, Statement& statement,
                 const QString& table, const SourceColumn& key, int keyColumn, KeysetSource& keyset,
                 ErrorRecords* errors)
{
    const StatementShape shape = shapeOf(text);
    const QString select = QStringLiteral("SELECT ") + quoteIdentifier(key.name);
    if (!shape.sortTerm.isEmpty()) {
        Statement sorted;
        if (prepareKeyStatement(connection.db(),
                                select + QLatin1String(", ") + shape.sortTerm + QLatin1Char(' ') +
                                    shape.unsorted,
                                table, key.origin, true, &sorted)) {
            const HRESULT hr = keyset.listSortedKeys(sorted, shape.descending, errors);
            if (hr != S_FALSE)
                return hr;
        }
    }
    Statement keys;
    if (!shape.from.isEmpty() &&
        prepareKeyStatement(connection.db(), select + QLatin1Char(' ') + shape.from, table,
                            key.origin, false, &keys)) {
        // Reading a whole table fails only when the file does: that waits for the first
        // use, which a rowset opened for its column information never makes.
        if (!shape.plain)
            return keyset.listKeys(keys, 0, errors);
        keyset.deferKeys(std::move(keys), 0);
        return S_OK;
    }
    return keyset.listKeys(statement, keyColumn, errors);
}

HRESULT openKeyset(Connection& connection, const QString& text, Statement& statement,
                   const QString& table, QList<SourceColumn> columns, int key,
                   std::unique_ptr<RowSource>* source, ErrorRecords* errors)
{
    const SourceColumn keyColumn = columns[key];
    std::unique_ptr<KeysetSource> keyset;
    HRESULT hr = KeysetSource::open(connection, table, std::move(columns), key, &keyset, errors);
    if (succeeded(hr))
        hr = listKeys(connection, text, statement, table, keyColumn, key, *keyset, errors);
    if (failed(hr))
        return hr;
    *source = std::move(keyset);
    return S_OK;
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
