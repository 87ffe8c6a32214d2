// The whole program, offscreen, on a support database made by the test: an SQLite file or a
// workbook in the program directory, filled through the database interface.
#pragma once

#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "ProgramStart.h"
#include "ScriptedPrompter.h"
#include "core/CommandRouter.h"
#include "core/SettingsStore.h"
#include "database/DatabaseController.h"
#include "oledb/Command.h"
#include "oledb/DataSource.h"
#include "oledb/DatabaseFiles.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <array>

namespace dbtest {

using namespace vnt::oledb;

// A row's values by ordinal 2 onwards; an invalid QVariant stores null.
using Row = QList<QVariant>;

// A Job row: number, problem, solution, name, e-mail, start, end, notes, priority, status,
// category, product.
inline Row job(int number, const QString& problem, const QString& name = QStringLiteral("Ann"),
               const QString& email = QStringLiteral("ann@example.com"), int status = 1,
               double start = 45000.5)
{
    return {number,
            problem,
            QStringLiteral("Solution %1").arg(number),
            name,
            email,
            start,
            0.0,
            QStringLiteral("Notes %1").arg(number),
            4,
            status,
            QStringLiteral("Cat"),
            QStringLiteral("Prod")};
}

inline Row knowledge(int reference, const QString& fact, const QString& note1 = QString())
{
    return {reference,
            QStringLiteral("Type"),
            fact,
            note1.isNull() ? QStringLiteral("N1") : note1,
            QStringLiteral("N2"),
            QStringLiteral("N3")};
}

// A statement's rows on the database at `path`, opened with the given updatability (0 reads).
struct OpenRows
{
    std::unique_ptr<DataSource> source;
    std::unique_ptr<Session> session;
    std::unique_ptr<Command> command;
    std::unique_ptr<Rowset> rowset;

    bool open(const QString& path, const QString& statement, qint32 updatability = 0)
    {
        ErrorRecords errors;
        DBPROPSET properties;
        if (updatability != 0)
            properties = {{DBPROP_IRowsetChange, true}, {DBPROP_UPDATABILITY, updatability}};
        return succeeded(openDatabaseFile(path, &source, &session, &errors)) &&
               succeeded(session->createCommand(&command)) &&
               succeeded(command->setCommandText(statement)) &&
               succeeded(command->setProperties(&properties)) &&
               succeeded(command->execute(&rowset));
    }
};

// Adds `rows` to `table` of the database at `path` in one transaction.
inline bool addRows(const QString& path, const QString& table, const QList<Row>& rows)
{
    OpenRows open;
    if (!open.open(path, QStringLiteral("SELECT * FROM ") + table, DBPROPVAL_UP_INSERT))
        return false;
    Rowset* rowset = open.rowset.get();
    const int columns = rows.isEmpty() ? 0 : int(rows.first().size());
    const auto slots = size_t(columns);
    std::vector<QString> texts(slots);
    std::vector<qint32> integers(slots);
    std::vector<double> reals(slots);
    std::vector<DBSTATUS> statuses(slots);
    open.session->startTransaction();
    for (const Row& row : rows) {
        QList<Binding> bindings;
        for (int i = 0; i < columns; ++i) {
            const QVariant& value = row.at(i);
            const DBORDINAL ordinal = DBORDINAL(i + 2);
            statuses[size_t(i)] = value.isValid() ? DBSTATUS_S_OK : DBSTATUS_S_ISNULL;
            if (value.typeId() == QMetaType::Int) {
                integers[size_t(i)] = value.toInt();
                bindings.append(
                    Binding::int32(ordinal, &integers[size_t(i)], &statuses[size_t(i)]));
            } else if (value.typeId() == QMetaType::Double) {
                reals[size_t(i)] = value.toDouble();
                bindings.append(Binding::date(ordinal, &reals[size_t(i)], &statuses[size_t(i)]));
            } else {
                texts[size_t(i)] = value.toString();
                bindings.append(
                    Binding::text(ordinal, 0x7FFFFFFF, &texts[size_t(i)], &statuses[size_t(i)]));
            }
        }
        Accessor accessor;
        if (failed(rowset->createAccessor(bindings, &accessor)) ||
            failed(rowset->insertRow(accessor)))
            return false;
    }
    return succeeded(open.session->commit());
}

// One column of `table` in statement order, read back through the database interface.
inline QStringList columnValues(const QString& path, const QString& statement, int ordinal)
{
    OpenRows open;
    if (!open.open(path, statement))
        return {QStringLiteral("<cannot read>")};
    Rowset* rowset = open.rowset.get();
    QString text;
    DBSTATUS status = 0;
    Accessor accessor;
    rowset->createAccessor({Binding::text(DBORDINAL(ordinal), 0x7FFFFFFF, &text, &status)},
                           &accessor);
    QStringList values;
    while (rowset->moveNext() == S_OK && succeeded(rowset->getData(accessor)))
        values.append(status == DBSTATUS_S_ISNULL ? QStringLiteral("<null>") : text);
    return values;
}

// Another program's change: sets text column `ordinal` of the rows `statement` selects, or
// deletes them when `text` is null.
inline bool changeRows(const QString& path, const QString& statement, int ordinal,
                       const QString& text)
{
    OpenRows open;
    if (!open.open(path, statement, DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_DELETE))
        return false;
    Rowset* rowset = open.rowset.get();
    QString value = text;
    DBSTATUS status = DBSTATUS_S_OK;
    Accessor accessor;
    rowset->createAccessor({Binding::text(DBORDINAL(ordinal), 0x7FFFFFFF, &value, &status)},
                           &accessor);
    while (rowset->moveNext() == S_OK) {
        if (failed(text.isNull() ? rowset->deleteRow() : rowset->setData(accessor)))
            return false;
    }
    return true;
}

class DatabaseWorkspace
{
public:
    // Makes the database `fileName` (none when empty) in the program directory with the
    // given rows, then starts the program; `settings` are integer settings of "Internal data".
    bool start(const QString& fileName, const QList<Row>& jobs, const QList<Row>& knowledgeRows,
               const QList<std::pair<QString, int>>& settings = {})
    {
        if (!dir.isValid() || !QDir().mkpath(dir.filePath(QStringLiteral("home"))))
            return false;
        if (!fileName.isEmpty()) {
            ErrorRecords errors;
            const QString file = databasePath(fileName);
            if (failed(createEmptyDatabase(file, &errors)) ||
                (!jobs.isEmpty() && !addRows(file, QStringLiteral("Job"), jobs)) ||
                (!knowledgeRows.isEmpty() &&
                 !addRows(file, QStringLiteral("Knowledge"), knowledgeRows)))
                return false;
        }
        {
            SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
            if (fileName.endsWith(QLatin1String(".xlsx")))
                store.writeInt(SettingsStore::kInternalData, QStringLiteral("Database type"), 1);
            for (const auto& [name, value] : settings)
                store.writeInt(SettingsStore::kInternalData, name, value);
            if (!store.flush())
                return false;
        }
        return startProgram(app, dir.filePath(QStringLiteral("home/")),
                            dir.filePath(QStringLiteral("settings.ini")));
    }

    QString databasePath(const QString& fileName) const
    {
        return dir.filePath(QStringLiteral("home/") + fileName);
    }
    CSupportView* view() const { return app->view(); }
    vantrel::database::DatabaseController* db() const { return view()->database(); }
    vantrel::database::DatabaseConnection& connection() const { return db()->connection(); }
    CommandRouter& router() const { return app->mainFrame()->router(); }

    QString text(int id) const
    {
        QWidget* control = view()->control(id);
        if (auto* line = qobject_cast<QLineEdit*>(control))
            return line->text();
        if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
            return edit->toPlainText();
        if (auto* combo = qobject_cast<QComboBox*>(control))
            return combo->currentText();
        return {};
    }
    void setText(int id, const QString& text) const
    {
        QWidget* control = view()->control(id);
        if (auto* line = qobject_cast<QLineEdit*>(control))
            line->setText(text);
        else if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
            edit->setPlainText(text);
    }
    void click(int id) const { qobject_cast<QAbstractButton*>(view()->control(id))->click(); }
    // The texts of the notices shown since the last call.
    QStringList takeNotices()
    {
        QStringList texts;
        for (const ScriptedPrompter::Notice& notice : prompter.notices())
            texts.append(notice.text);
        prompter.clear();
        return texts;
    }

    ScriptedPrompter prompter;
    QTemporaryDir dir;
    std::unique_ptr<CSupportApp> app;
};

} // namespace dbtest
