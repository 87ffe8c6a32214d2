// The names the database is reached with, as start-up derives them from the settings, and
// the report of a failure's error records.

#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "database/DatabaseConnection.h"
#include "oledb/ErrorRecords.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vantrel::database;
using namespace Qt::StringLiterals;

namespace {

// An object whose last call failed with the given records, as a provider reports them.
class FailedCall : public vnt::oledb::ErrorInfo
{
public:
    explicit FailedCall(QStringList descriptions)
        : m_descriptions(std::move(descriptions))
    {}
    vnt::oledb::HRESULT getErrorRecords(vnt::oledb::ErrorRecords* records) const override
    {
        for (const QString& description : m_descriptions)
            records->add(vnt::oledb::E_FAIL, description);
        return m_descriptions.isEmpty() ? vnt::oledb::S_FALSE : vnt::oledb::S_OK;
    }

private:
    QStringList m_descriptions;
};

} // namespace

class DatabaseStartupTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesFromSettings_data()
    {
        QTest::addColumn<int>("storedType");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("typeAfter");
        QTest::newRow("never set") << 999 << u"vntdatab.db"_s << 0;
        QTest::newRow("workbook") << 1 << u"vntdatab.xlsx"_s << 1;
        QTest::newRow("unknown") << 7 << u"vntdatab.db"_s << 0;
    }
    void namesFromSettings()
    {
        QFETCH(int, storedType);
        QFETCH(QString, file);
        QFETCH(int, typeAfter);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"settings.ini"_s);
        {
            SettingsStore store(ini);
            store.writeInt(SettingsStore::kInternalData, u"Database type"_s, storedType);
            store.writeString(SettingsStore::kInternalData, u"Database source"_s, u"SQLite"_s);
        }
        SettingsStore store(ini);
        CSupportDoc doc(store, dir.path() + u'/');
        doc.LoadSettings();
        ScriptedPrompter prompter;
        const DatabaseNames names = InitDatabaseNames(doc, nullptr);
        QCOMPARE(names.fileName, file);
        QCOMPARE(names.providerName, u"SQLite"_s);
        QCOMPARE(names.databaseName, u"qdmdatab"_s);
        QCOMPARE(store.readString(SettingsStore::kInternalData, u"Database Name"_s), u"qdmdatab"_s);
        QCOMPARE(store.readInt(SettingsStore::kInternalData, u"Database type"_s, -1), typeAfter);
        QVERIFY(prompter.notices().isEmpty());
    }

    void errorReport()
    {
        ScriptedPrompter prompter;
        const FailedCall several({u"The first record. "_s, u"The second record."_s});
        ReportDatabaseError(nullptr, &several);
        const FailedCall long4097({QString(5000, u'x')});
        ReportDatabaseError(nullptr, &long4097);
        const FailedCall none({});
        ReportDatabaseError(nullptr, &none);
        ReportDatabaseError(nullptr, nullptr);
        const QList<ScriptedPrompter::Notice>& shown = prompter.notices();
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[0].title, u"Database Error"_s);
        QCOMPARE(shown[0].text, u"The first record. The second record."_s);
        QCOMPARE(shown[1].text.size(), 4096);
        QCOMPARE(shown[2].text, u"Error information was not retrievable"_s);
        QCOMPARE(shown[3].text, u"Error information was not retrievable"_s);
    }
};

QTEST_MAIN(DatabaseStartupTest)
#include "tst_databasestartup.moc"
