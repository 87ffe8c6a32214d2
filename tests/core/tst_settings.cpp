#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/LifecycleHooks.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString kInternal = QStringLiteral("Internal data");
const QString kColumns = QStringLiteral("Column data");

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_iniPath;
    QString m_home;

    // Writes raw values as a previous run (or a user's hand edit) would have left them.
    void preset(const QString& section, const QString& name, const QVariant& value)
    {
        QSettings raw(m_iniPath, QSettings::IniFormat);
        raw.setValue(section + u'/' + name, value);
    }
    QVariant stored(const QString& section, const QString& name)
    {
        QSettings raw(m_iniPath, QSettings::IniFormat);
        return raw.value(section + u'/' + name);
    }
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSupportDoc> m_doc;
    CSupportDoc& load()
    {
        m_store = std::make_unique<SettingsStore>(m_iniPath);
        m_doc = std::make_unique<CSupportDoc>(*m_store, m_home);
        m_doc->LoadSettings();
        m_store->flush();
        return *m_doc;
    }

private Q_SLOTS:
    void init()
    {
        m_doc.reset();
        m_store.reset();
        m_iniPath = m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction())) +
                    QTest::currentDataTag();
        QFile::remove(m_iniPath);
        m_home = m_dir.path() + QStringLiteral("/home/");
    }

    void freshUserGetsEveryValueWithoutAMessage()
    {
        ScriptedPrompter prompter;
        CSupportDoc& doc = load();
        QVERIFY(prompter.notices().isEmpty());

        for (int index = 0; index < IntSettingCount; ++index) {
            const IntSettingRule& rule = intSettingRule(index);
            const QString name = QString::fromUtf16(rule.name);
            QCOMPARE(stored(kInternal, name).toInt(), rule.loadFallback);
            QCOMPARE(doc.intSetting(index), rule.loadFallback);
        }
        QCOMPARE(stored(kInternal, QStringLiteral("Plain text font name")).toString(),
                 QStringLiteral("Courier New"));
        QCOMPARE(stored(kInternal, QStringLiteral("Database print heading")).toString(),
                 QStringLiteral("Database record"));
        QCOMPARE(stored(kInternal, QStringLiteral("Knowledge print heading")).toString(),
                 QStringLiteral("Knowledge base record"));
        QCOMPARE(stored(kInternal, QStringLiteral("RTF text font name")).toString(),
                 QStringLiteral("Arial"));
        QCOMPARE(stored(kInternal, QStringLiteral("Inbox mask")).toUInt(), 0x37Fu);
        QCOMPARE(stored(kInternal, QStringLiteral("Outbox mask")).toUInt(), 0x9BFu);
        QCOMPARE(stored(kInternal, QStringLiteral("Contacts mask")).toUInt(), 0xFFFFFFFFu);
        for (int column = 0; column < kColumnCount; ++column) {
            QCOMPARE(stored(kColumns, QStringLiteral("CW%1").arg(column)).toInt(),
                     defaultColumnWidth(column, WidthList::Messages));
            QCOMPARE(stored(kColumns, QStringLiteral("CWC%1").arg(column)).toInt(),
                     defaultColumnWidth(column, WidthList::Contacts));
        }
        for (int index = 2; index <= 9; ++index)
            QCOMPARE(stored(kInternal, QStringLiteral("Support path %1").arg(index)).toString(),
                     m_home + QStringLiteral("support1"));
        QCOMPARE(stored(kInternal, QStringLiteral("Support path 10")).toString(),
                 m_home + QStringLiteral("Examples"));
        // Colours and placement are written at the first shut-down, not now.
        QVERIFY(!stored(kInternal, QStringLiteral("Edit out")).isValid());
        QVERIFY(!stored(QStringLiteral("Window size"), QStringLiteral("Rect")).isValid());
    }

    void loadAppliesRangesAndWritesFallbacksBack_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QVariant>("storedValue");
        QTest::addColumn<int>("loaded");
        QTest::newRow("current path 10") << int(CurrentPath) << QVariant(10) << 0;
        QTest::newRow("current path -1") << int(CurrentPath) << QVariant(-1) << 0;
        QTest::newRow("current path 9 stays") << int(CurrentPath) << QVariant(9) << 9;
        QTest::newRow("grid 1 stays on") << int(GridOn) << QVariant(1) << 1;
        QTest::newRow("grid 0 stays off") << int(GridOn) << QVariant(0) << 0;
        QTest::newRow("grid 7 is on") << int(GridOn) << QVariant(7) << 1;
        QTest::newRow("plain size 5") << int(PlainFontSize) << QVariant(5) << 12;
        QTest::newRow("plain size 36 stays") << int(PlainFontSize) << QVariant(36) << 36;
        QTest::newRow("reply 0") << int(ReplyDisplayOptions) << QVariant(0) << 2;
        QTest::newRow("reply 5") << int(ReplyDisplayOptions) << QVariant(5) << 2;
        QTest::newRow("reply 4 stays") << int(ReplyDisplayOptions) << QVariant(4) << 4;
        QTest::newRow("margin 710") << int(LeftMargin) << QVariant(710) << 720;
        QTest::newRow("margin 711 stays") << int(RightMargin) << QVariant(711) << 711;
        QTest::newRow("margin 2880 stays") << int(TopMargin) << QVariant(2880) << 2880;
        QTest::newRow("margin 2881") << int(BottomMargin) << QVariant(2881) << 720;
        QTest::newRow("wrap 31") << int(PlainWrapLength) << QVariant(31) << 94;
        QTest::newRow("auto update 2") << int(AutoRecordUpdate) << QVariant(2) << 1;
        QTest::newRow("preview -3") << int(PreviewOn) << QVariant(-3) << 1;
        QTest::newRow("month style 6") << int(MonthStyle) << QVariant(6) << 0;
        QTest::newRow("kb sort column 5 stays") << int(ColumnIndexKb) << QVariant(5) << 5;
        QTest::newRow("job sort column 12") << int(ColumnIndex) << QVariant(12) << 0;
        QTest::newRow("not a number") << int(DatabaseType) << QVariant(QStringLiteral("x")) << 0;
    }
    void loadAppliesRangesAndWritesFallbacksBack()
    {
        QFETCH(int, index);
        QFETCH(QVariant, storedValue);
        QFETCH(int, loaded);
        const QString name = QString::fromUtf16(intSettingRule(index).name);
        preset(kInternal, name, storedValue);
        CSupportDoc& doc = load();
        QCOMPARE(doc.intSetting(index), loaded);
        QCOMPARE(stored(kInternal, name).toInt(), loaded);
    }

    void writerValidatesWithItsOwnRules_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("written");
        QTest::newRow("plain size 5") << int(PlainFontSize) << 5 << 10;
        QTest::newRow("plain size 40") << int(PlainFontSize) << 40 << 12;
        QTest::newRow("plain size 20") << int(PlainFontSize) << 20 << 20;
        QTest::newRow("rtf size 5") << int(RtfFontSize) << 5 << 12;
        QTest::newRow("grid 1") << int(GridOn) << 1 << 1;
        QTest::newRow("grid 0") << int(GridOn) << 0 << 0;
        QTest::newRow("grid 7") << int(GridOn) << 7 << 0;
        QTest::newRow("wrap 30") << int(PlainWrapLength) << 30 << 76;
        QTest::newRow("wrap 132") << int(PlainWrapLength) << 132 << 76;
        QTest::newRow("wrap 32") << int(PlainWrapLength) << 32 << 32;
        QTest::newRow("auto update 5") << int(AutoRecordUpdate) << 5 << 0;
        QTest::newRow("preview 5") << int(PreviewOn) << 5 << 1;
        QTest::newRow("addin warning -1") << int(AddinWarning) << -1 << 1;
        QTest::newRow("reply 0") << int(ReplyDisplayOptions) << 0 << 2;
        QTest::newRow("margin 700") << int(LeftMargin) << 700 << 720;
    }
    void writerValidatesWithItsOwnRules()
    {
        QFETCH(int, index);
        QFETCH(int, value);
        QFETCH(int, written);
        CSupportDoc& doc = load();
        doc.WriteIntSetting(index, value);
        m_store->flush();
        QCOMPARE(stored(kInternal, QString::fromUtf16(intSettingRule(index).name)).toInt(),
                 written);
        QCOMPARE(doc.intSetting(index), written);
    }

    void currentPathWriterTakesTheDocumentsIndex()
    {
        CSupportDoc& doc = load();
        doc.setCurrentPathIndex(3);
        doc.setCurrentPathIndex(10); // ignored
        QCOMPARE(doc.currentPathIndex(), 3);
        doc.WriteIntSetting(CurrentPath, 7);
        m_store->flush();
        QCOMPARE(stored(kInternal, QStringLiteral("Current path")).toInt(), 3);
    }

    void emptyStringsTakeTheirDefaults()
    {
        preset(kInternal, QStringLiteral("RTF text font name"), QString());
        preset(kInternal, QStringLiteral("Plain text font name"), QStringLiteral("Monospace"));
        CSupportDoc& doc = load();
        QCOMPARE(doc.stringSetting(RtfFontName), QStringLiteral("Arial"));
        QCOMPARE(doc.stringSetting(PlainFontName), QStringLiteral("Monospace"));
        QVERIFY(doc.WriteStringSetting(PlainFontName, QString()));
        QCOMPARE(stored(kInternal, QStringLiteral("Plain text font name")).toString(),
                 QStringLiteral("Courier New"));
        QCOMPARE(doc.stringSetting(PlainFontName), QStringLiteral("Courier New"));
    }

    void columnMasksAndWidthsFallBack()
    {
        preset(kInternal, QStringLiteral("Sent mask"), 0);
        preset(kInternal, QStringLiteral("Inbox mask"), 0x1000000 | 0x37F); // a column it lacks
        preset(kInternal, QStringLiteral("Others mask"), 0x3FF);
        preset(kColumns, QStringLiteral("CW8"), 0);
        preset(kColumns, QStringLiteral("CWC3"), -20);
        preset(kColumns, QStringLiteral("CW9"), 333);
        CSupportDoc& doc = load();
        QCOMPARE(doc.columnMask(MaskKind::Sent), 0x97Fu);
        QCOMPARE(stored(kInternal, QStringLiteral("Sent mask")).toUInt(), 0x97Fu);
        QCOMPARE(doc.columnWidth(8, WidthList::Messages), 230);
        QCOMPARE(doc.columnWidth(3, WidthList::Contacts), 200);
        QCOMPARE(doc.columnWidth(9, WidthList::Messages), 333);
        QCOMPARE(stored(kColumns, QStringLiteral("CW8")).toInt(), 230);

        // Validation replaces the bad mask in memory only; it is stored at shut-down.
        QCOMPARE(doc.columnMask(MaskKind::Inbox), 0x100037Fu);
        doc.ValidateColumnMasks();
        QCOMPARE(doc.columnMask(MaskKind::Inbox), 0x37Fu);
        QCOMPARE(doc.columnMask(MaskKind::Others), 0x3FFu);
        QCOMPARE(stored(kInternal, QStringLiteral("Inbox mask")).toUInt(), 0x100037Fu);

        // Columns above 31 are ignored by both width operations.
        doc.WriteColumnWidth(32, 50, WidthList::Messages);
        doc.ReadColumnWidth(40, WidthList::Contacts);
        m_store->flush();
        QVERIFY(!stored(kColumns, QStringLiteral("CW32")).isValid());
        QCOMPARE(doc.columnWidth(32, WidthList::Messages), 0);
    }

    void supportPathsAndTheirList()
    {
        preset(kInternal, QStringLiteral("Support path 4"), QStringLiteral("/srv/answers"));
        CSupportDoc& doc = load();
        QCOMPARE(doc.GetSupportPath(0), m_home + QStringLiteral("support1"));
        QCOMPARE(doc.GetSupportPath(2), m_home + QStringLiteral("support1"));
        QCOMPARE(doc.GetSupportPath(3), QStringLiteral("/srv/answers"));
        QCOMPARE(doc.GetSupportPath(9), m_home + QStringLiteral("Examples"));
        QCOMPARE(doc.GetSupportPath(10), doc.GetSupportPath(0));
        QCOMPARE(doc.GetSupportPath(-1), doc.GetSupportPath(0));
        doc.RebuildSupportPathList();
        QCOMPARE(doc.supportPathList().size(), 10);
        QCOMPARE(doc.supportPathList().at(3), QStringLiteral("/srv/answers"));

        // A path emptied during the run drops out of the list.
        doc.setSupportPath(5, QString());
        doc.RebuildSupportPathList();
        QCOMPARE(doc.supportPathList().size(), 9);
        QVERIFY(doc.supportPathsChanged());
    }

    void topicCountersStayInRange()
    {
        CSupportDoc& doc = load();
        doc.setTopicFolderCount(1000);
        QCOMPARE(doc.topicFolderCount(), 0);
        doc.setTopicFolderCount(998);
        doc.incrementTopicFolderCount();
        doc.incrementTopicFolderCount();
        QCOMPARE(doc.topicFolderCount(), 999);
        QCOMPARE(int(doc.topicFolderTable().size()), 1000);
    }

    void shutDownWritesViewCopiesColoursAndChangedValues()
    {
        preset(kInternal, QStringLiteral("Edit out"), 0x1000000);
        CSupportDoc& doc = load();
        QCOMPARE(doc.ReadBoxColour(EditOutColour), 0xFFFFFFu);
        preset(kInternal, QStringLiteral("Support path 3"), QStringLiteral("/elsewhere"));
        preset(kColumns, QStringLiteral("CW5"), 77);

        ViewSettings view;
        view.gridOn = 0;
        view.previewOn = 0;
        view.outgoingTextType = 1;
        view.boxColours[EditOutColour] = doc.ReadBoxColour(EditOutColour);
        view.boxColours[NotePadColour] = 0x00C0FFEE;
        doc.setIntSetting(PlainWrapLength, 30); // accepted by Preferences, written as 76
        QCOMPARE(doc.SaveAllSettings(view), 0);

        QCOMPARE(stored(kInternal, QStringLiteral("Grid On")).toInt(), 0);
        QCOMPARE(stored(kInternal, QStringLiteral("Preview on")).toInt(), 0);
        QCOMPARE(stored(kInternal, QStringLiteral("Outgoing text type")).toInt(), 1);
        QCOMPARE(stored(kInternal, QStringLiteral("Plain text wrap length")).toInt(), 76);
        QCOMPARE(stored(kInternal, QStringLiteral("Edit out")).toUInt(), 0xFFFFFFu);
        QCOMPARE(stored(kInternal, QStringLiteral("Note pad")).toUInt(), 0x00C0FFEEu);
        // Unchanged paths and widths are left as they are in the store.
        QCOMPARE(stored(kInternal, QStringLiteral("Support path 3")).toString(),
                 QStringLiteral("/elsewhere"));
        QCOMPARE(stored(kColumns, QStringLiteral("CW5")).toInt(), 77);

        doc.setSupportPath(2, QStringLiteral("/tmp/topics"));
        doc.setColumnWidth(5, 64, WidthList::Messages);
        QCOMPARE(doc.SaveAllSettings(view), 0);
        QCOMPARE(stored(kInternal, QStringLiteral("Support path 3")).toString(),
                 QStringLiteral("/tmp/topics"));
        QCOMPARE(stored(kColumns, QStringLiteral("CW5")).toInt(), 64);
    }

    void failedStringWritesAreCounted()
    {
        // A settings path below a regular file cannot be written, even by root.
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_iniPath = blocker + QStringLiteral("/settings.ini");
        CSupportDoc& doc = load();
        QCOMPARE(doc.stringSetting(PlainFontName), QStringLiteral("Courier New"));
        QVERIFY(!doc.WriteStringSetting(RtfFontName, QStringLiteral("Serif")));
        QCOMPARE(doc.stringSetting(RtfFontName), QStringLiteral("Serif"));
        QCOMPARE(doc.SaveAllSettings(ViewSettings{}), 4);
        doc.setSupportPath(1, QStringLiteral("/x"));
        QCOMPARE(doc.SaveAllSettings(ViewSettings{}), 4 + 9);
    }

    void damagedLineIsDroppedWithoutFailingWrites()
    {
        QFile file(m_iniPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Internal%20data]\nGrid%20On=0\n[broken\n=\n\"half\n");
        file.close();
        CSupportDoc& doc = load();
        QCOMPARE(doc.intSetting(GridOn), 0);
        QVERIFY(doc.WriteStringSetting(RtfFontName, QStringLiteral("Serif")));
        QCOMPARE(doc.SaveAllSettings(ViewSettings{}), 0);
        QCOMPARE(stored(kInternal, QStringLiteral("RTF text font name")).toString(),
                 QStringLiteral("Serif"));
    }

    void closingAsksOnlyWhileComposing_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<bool>("composing");
        QTest::addColumn<int>("answer"); // -1 none expected, 0 No, 1 Yes
        QTest::addColumn<bool>("mayClose");
        QTest::addColumn<QString>("calls");
        QTest::newRow("logged off") << false << false << -1 << true << QString();
        QTest::newRow("logged on, idle") << true << false << -1 << true << QStringLiteral("logoff");
        QTest::newRow("composing, No") << true << true << 0 << false << QString();
        QTest::newRow("composing, Yes")
            << true << true << 1 << true << QStringLiteral("stop logoff");
    }
    void closingAsksOnlyWhileComposing()
    {
        QFETCH(bool, loggedOn);
        QFETCH(bool, composing);
        QFETCH(int, answer);
        QFETCH(bool, mayClose);
        QFETCH(QString, calls);
        ScriptedPrompter prompter;
        if (answer == 1)
            prompter.answerYes();
        else if (answer == 0)
            prompter.answerNo();
        QStringList made;
        LifecycleHooks hooks;
        hooks.isLoggedOn = [&] {
            return loggedOn;
        };
        hooks.isComposing = [&] {
            return composing;
        };
        hooks.stopMessage = [&] {
            made << QStringLiteral("stop");
        };
        hooks.logoff = [&] {
            made << QStringLiteral("logoff");
        };
        CSupportDoc& doc = load();
        QCOMPARE(doc.CanCloseFrame(nullptr, hooks), mayClose);
        QCOMPARE(made.join(u' '), calls);
        QCOMPARE(prompter.notices().size(), answer < 0 ? 0 : 1);
        if (answer >= 0) {
            QCOMPARE(prompter.notices().first().text,
                     QStringLiteral("Still within a message. Are you sure?"));
            QCOMPARE(prompter.notices().first().title,
                     QStringLiteral("Warning! Still logged onto your mail"));
        }
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
