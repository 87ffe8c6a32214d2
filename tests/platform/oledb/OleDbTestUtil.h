#pragma once

#include "oledb/Command.h"
#include "oledb/DataSource.h"
#include "oledb/DatabaseFiles.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <array>

namespace oledbtest {

using namespace vnt::oledb;
using namespace Qt::StringLiterals;

// The two kinds of database file, with the provider strings the program passes.
enum class Kind { Sqlite, Workbook };

inline const char* kindName(Kind kind)
{
    return kind == Kind::Sqlite ? "sqlite" : "workbook";
}

inline QString providerString(Kind kind)
{
    return kind == Kind::Sqlite ? u";COUNTRY=0;CP=1252;LANGID=0x0409"_s
                                : u"Excel 8.0;HDR=Yes;\"\""_s;
}

// A "kind" column with a row for each kind of file.
inline void addKindRows()
{
    QTest::addColumn<Kind>("kind");
    for (Kind kind : {Kind::Sqlite, Kind::Workbook})
        QTest::newRow(kindName(kind)) << kind;
}

// The initialisation properties the connect sequence sets.
inline DBPROPSET initProperties(const QString& path, const QString& providerString)
{
    return {{DBPROP_INIT_DATASOURCE, path},
            {DBPROP_INIT_PROMPT, DBPROMPT_COMPLETEREQUIRED},
            {DBPROP_INIT_LCID, 1033},
            {DBPROP_AUTH_CACHE_AUTHINFO, true},
            {DBPROP_AUTH_ENCRYPT_PASSWORD, false},
            {DBPROP_AUTH_MASK_PASSWORD, false},
            {DBPROP_AUTH_PASSWORD, QString()},
            {DBPROP_AUTH_USERID, u"Admin"_s},
            {DBPROP_INIT_MODE, DB_MODE_SHARE_DENY_NONE},
            {DBPROP_INIT_PROVIDERSTRING, providerString}};
}

// The rowset properties set on every Job and Knowledge command.
inline DBPROPSET rowsetProperties()
{
    return {{DBPROP_CANFETCHBACKWARDS, true},
            {DBPROP_IRowsetScroll, true},
            {DBPROP_IRowsetChange, true},
            {DBPROP_UPDATABILITY, DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_DELETE | DBPROPVAL_UP_INSERT}};
}

// A record slot as the program lays it out: text, status, integer, date.
struct Slot
{
    QString text;
    DBSTATUS status = DBSTATUS_S_OK;
    qint32 integer = 0;
    double date = 0;
};

// The Job record: ordinals 2 to 13 with their bound types and lengths.
struct JobRecord
{
    std::array<Slot, 12> slots;

    QList<Binding> bindings()
    {
        static constexpr std::array<DBTYPE, 12> kTypes = {
            DBTYPE_I4,   DBTYPE_STR, DBTYPE_STR, DBTYPE_STR, DBTYPE_STR, DBTYPE_DATE,
            DBTYPE_DATE, DBTYPE_STR, DBTYPE_I4,  DBTYPE_I4,  DBTYPE_STR, DBTYPE_STR};
        QList<Binding> list;
        for (int i = 0; i < 12; ++i) {
            const DBORDINAL ordinal = DBORDINAL(i + 2);
            Slot& slot = slots[size_t(i)];
            if (kTypes[size_t(i)] == DBTYPE_I4)
                list.append(Binding::int32(ordinal, &slot.integer, &slot.status));
            else if (kTypes[size_t(i)] == DBTYPE_DATE)
                list.append(Binding::date(ordinal, &slot.date, &slot.status));
            else
                list.append(Binding::text(ordinal, i >= 10 ? 80 : 255, &slot.text, &slot.status));
        }
        return list;
    }

    void set(qint32 jobNumber, const QString& problem, const QString& name, double start,
             qint32 priority, qint32 status)
    {
        for (Slot& slot : slots)
            slot = Slot{u" "_s, DBSTATUS_S_OK, 0, 0};
        slots[0].integer = jobNumber;
        slots[1].text = problem;
        slots[3].text = name;
        slots[4].text = name.toLower().remove(QLatin1Char(' ')) + QLatin1String("@example.com");
        slots[5].date = start;
        slots[6].date = start + 2.5;
        slots[8].integer = priority;
        slots[9].integer = status;
    }
    qint32 jobNumber() const { return slots[0].integer; }
    QString problem() const { return slots[1].text; }
};

// The Knowledge record: ordinals 2 to 7.
struct KnowledgeRecord
{
    std::array<Slot, 6> slots;

    QList<Binding> bindings()
    {
        QList<Binding> list{Binding::int32(2, &slots[0].integer, &slots[0].status)};
        for (int i = 1; i < 6; ++i)
            list.append(Binding::text(DBORDINAL(i + 2), i == 1 ? 50 : 255, &slots[size_t(i)].text,
                                      &slots[size_t(i)].status));
        return list;
    }
    void set(qint32 reference, const QString& type, const QString& fact, const QString& note)
    {
        for (Slot& slot : slots)
            slot = Slot{u" "_s, DBSTATUS_S_OK, 0, 0};
        slots[0].integer = reference;
        slots[1].text = type;
        slots[2].text = fact;
        slots[3].text = note;
    }
};

// A rowset read or written through the Job or Knowledge record, bound on creation. It
// stays where it is made: the accessor points into the record.
template<typename Record>
struct Bound
{
    explicit Bound(std::unique_ptr<Rowset> rows)
        : rowset(std::move(rows))
    {
        if (rowset)
            bindResult = rowset->createAccessor(record.bindings(), &accessor);
    }
    Bound(const Bound&) = delete;
    Bound& operator=(const Bound&) = delete;
    HRESULT insert() { return rowset->insertRow(accessor); }
    HRESULT read() { return rowset->getData(accessor); }
    HRESULT write() { return rowset->setData(accessor); }

    std::unique_ptr<Rowset> rowset;
    Record record;
    Accessor accessor;
    HRESULT bindResult = E_FAIL;
};
using Jobs = Bound<JobRecord>;
using Facts = Bound<KnowledgeRecord>;

inline QString describe(const ErrorInfo& object)
{
    ErrorRecords records;
    object.getErrorRecords(&records);
    return records.joinedDescriptions();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A new, empty database file in `folder` (a temporary one when empty), opened as the
// program opens it.
class TestDatabase
{
public:
    explicit TestDatabase(Kind kind, const QString& folder = {})
        : m_kind(kind)
        , m_path((folder.isEmpty() ? m_dir.path() : folder) +
                 (kind == Kind::Sqlite ? u"/vntdatab.db"_s : u"/vntdatab.xlsx"_s))
    {
        ErrorRecords errors;
        QVERIFY2(succeeded(createEmptyDatabase(m_path, &errors)),
                 qPrintable(errors.joinedDescriptions()));
    }

    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }
    QString folder() const { return QFileInfo(m_path).path(); }
    QString jobTable() const { return m_kind == Kind::Sqlite ? u"Job"_s : u"[Job$]"_s; }

    // Connects as the program does, with `provider` (the kind's own when empty) and the
    // `extra` initialisation properties.
    HRESULT open(const QString& provider = {}, const DBPROPSET& extra = {})
    {
        close();
        HRESULT hr = DataSource::create(u"SQLite"_s, &m_dataSource);
        DBPROPSET properties =
            initProperties(m_path, provider.isEmpty() ? providerString(m_kind) : provider);
        properties.append(extra);
        if (succeeded(hr))
            hr = m_dataSource->setProperties(&properties);
        if (succeeded(hr))
            hr = m_dataSource->initialize();
        if (succeeded(hr))
            hr = m_dataSource->createSession(&m_session);
        return hr;
    }
    // Opens through the program's own function for database files.
    HRESULT openFile()
    {
        close();
        ErrorRecords errors;
        return openDatabaseFile(m_path, &m_dataSource, &m_session, &errors);
    }
    void close()
    {
        m_session.reset();
        m_dataSource.reset();
    }

    // Runs `sql` with the program's rowset properties; the command stays with the rowset.
    std::unique_ptr<Rowset> execute(const QString& sql, HRESULT* result = nullptr)
    {
        std::unique_ptr<Command> command;
        m_session->createCommand(&command);
        command->setCommandText(sql);
        DBPROPSET properties = rowsetProperties();
        command->setProperties(&properties);
        std::unique_ptr<Rowset> rowset;
        const HRESULT hr = command->execute(&rowset);
        if (result)
            *result = hr;
        m_lastCommand = std::move(command);
        return rowset;
    }
    std::unique_ptr<Rowset> jobs() { return execute(u"SELECT * FROM "_s + jobTable()); }
    std::unique_ptr<Rowset> facts() { return execute(u"SELECT * FROM Knowledge"_s); }

    void insertJobs(const QList<std::tuple<qint32, QString, QString, double, qint32, qint32>>& jobs)
    {
        Jobs rows(this->jobs());
        QCOMPARE(rows.bindResult, S_OK);
        QCOMPARE(m_session->startTransaction(), S_OK);
        for (const auto& [number, problem, name, start, priority, status] : jobs) {
            rows.record.set(number, problem, name, start, priority, status);
            QCOMPARE(rows.insert(), S_OK);
        }
        QCOMPARE(m_session->commit(), S_OK);
    }

    DataSource& dataSource() { return *m_dataSource; }
    Session& session() { return *m_session; }
    Command& lastCommand() { return *m_lastCommand; }

private:
    QTemporaryDir m_dir;
    Kind m_kind;
    QString m_path;
    std::unique_ptr<DataSource> m_dataSource;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<Command> m_lastCommand;
};

// Job numbers of the rowset's rows from the first, read through the Job record.
inline QList<qint32> jobNumbers(Rowset& rowset)
{
    JobRecord record;
    Accessor accessor;
    rowset.createAccessor(record.bindings(), &accessor);
    QList<qint32> numbers;
    for (HRESULT hr = rowset.moveFirst(); hr == S_OK; hr = rowset.moveNext()) {
        rowset.getData(accessor);
        numbers.append(record.jobNumber());
    }
    return numbers;
}

} // namespace oledbtest

Q_DECLARE_METATYPE(oledbtest::Kind)
