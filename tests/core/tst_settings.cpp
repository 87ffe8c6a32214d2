#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/LifecycleHooks.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kInternal = u"Internal data"_s;
const QString kColumns = u"Column data"_s;

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_iniPath;
    QString m_home;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSupportDoc> m_doc;

    // Writes raw values as a previous run (or a user's hand edit) would have left them.
    void preset(const QString& section, const QString& name, const QVariant& value)
    {
        QSettings(m_iniPath, QSettings::IniFormat).setValue(section + u'/' + name, value);
    }
    QVariant stored(const QString& section, const QString& name)
    {
        return QSettings(m_iniPath, QSettings::IniFormat).value(section + u'/' + name);
    }
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
        m_iniPath =
            m_dir.filePath(u"%1.ini"_s.arg(QTest::currentTestFunction())) + QTest::currentDataTag();
        QFile::remove(m_iniPath);
        m_home = m_dir.path() + u"/home/"_s;
    }

    void freshUserGetsEveryValueWithoutAMessage()
    {
        ScriptedPrompter prompter;
        CSupportDoc& doc = load();
        QVERIFY(prompter.notices().isEmpty());
        for (int index = 0; index < IntSettingCount; ++index) {
            const IntSettingRule& rule = intSettingRule(index);
            QCOMPARE(stored(kInternal, QString::fromUtf16(rule.name)).toInt(), rule.loadFallback);
            QCOMPARE(doc.intSetting(index), rule.loadFallback);
        }
        for (int index = PlainFontName; index <= StringSettingLast; ++index)
            QCOMPARE(stored(kInternal, stringSettingName(index)).toString(),
                     stringSettingDefault(index));
        QCOMPARE(stored(kInternal, u"Inbox mask"_s).toUInt(), 0x37Fu);
        QCOMPARE(stored(kInternal, u"Contacts mask"_s).toUInt(), 0xFFFFFFFFu);
        for (int column = 0; column < kColumnCount; ++column) {
            QCOMPARE(stored(kColumns, u"CW%1"_s.arg(column)).toInt(),
                     defaultColumnWidth(column, WidthList::Messages));
            QCOMPARE(stored(kColumns, u"CWC%1"_s.arg(column)).toInt(),
                     defaultColumnWidth(column, WidthList::Contacts));
        }
        for (int index = 2; index <= 9; ++index)
            QCOMPARE(stored(kInternal, u"Support path %1"_s.arg(index)).toString(),
                     m_home + u"support1"_s);
        QCOMPARE(stored(kInternal, u"Support path 10"_s).toString(), m_home + u"Examples"_s);
        // Colours and placement are written at the first shut-down, not now.
        QVERIFY(!stored(kInternal, u"Edit out"_s).isValid());
        QVERIFY(!stored(u"Window size"_s, u"Rect"_s).isValid());
    }

    // Loading and the writer each apply their own range rules, listed as {value, value
    // kept} at the boundaries of each range; the value kept is the one stored.
    void rangesOnLoadAndOnWrite_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("index");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("result");
        using Cases = std::initializer_list<std::pair<int, int>>;
        const auto add = [](bool write, int index, Cases cases) {
            const QString name = QString::fromUtf16(intSettingRule(index).name);
            for (const auto& [value, result] : cases)
                QTest::addRow("%s %s %d", write ? "write" : "load", qPrintable(name), value)
                    << write << index << QVariant(value) << result;
        };
        const auto load = [&](int index, Cases cases) {
            add(false, index, cases);
        };
        const auto write = [&](int index, Cases cases) {
            add(true, index, cases);
        };
        load(CurrentPath, {{10, 0}, {-1, 0}, {9, 9}});
        load(GridOn, {{1, 1}, {0, 0}, {7, 1}});
        load(PlainFontSize, {{5, 12}, {36, 36}});
        load(ReplyDisplayOptions, {{0, 2}, {5, 2}, {4, 4}});
        load(LeftMargin, {{710, 720}});
        load(RightMargin, {{711, 711}});
        load(TopMargin, {{2880, 2880}});
        load(BottomMargin, {{2881, 720}});
        load(PlainWrapLength, {{31, 94}});
        load(AutoRecordUpdate, {{2, 1}});
        load(PreviewOn, {{-3, 1}});
        load(MonthStyle, {{6, 0}});
        load(ColumnIndexKb, {{5, 5}});
        load(ColumnIndex, {{12, 0}});
        QTest::newRow("load, not a number") << false << int(DatabaseType) << QVariant(u"x"_s) << 0;
        write(PlainFontSize, {{5, 10}, {40, 12}, {20, 20}});
        write(RtfFontSize, {{5, 12}});
        write(GridOn, {{1, 1}, {0, 0}, {7, 0}});
        write(PlainWrapLength, {{30, 76}, {132, 76}, {32, 32}});
        write(AutoRecordUpdate, {{5, 0}});
        write(PreviewOn, {{5, 1}});
        write(AddinWarning, {{-1, 1}});
        write(ReplyDisplayOptions, {{0, 2}});
        write(LeftMargin, {{700, 720}});
    }
    void rangesOnLoadAndOnWrite()
    {
        QFETCH(bool, write);
        QFETCH(int, index);
        QFETCH(QVariant, value);
        QFETCH(int, result);
        const QString name = QString::fromUtf16(intSettingRule(index).name);
        if (!write)
            preset(kInternal, name, value);
        CSupportDoc& doc = load();
        if (write) {
            doc.WriteIntSetting(index, value.toInt());
            m_store->flush();
        }
        QCOMPARE(doc.intSetting(index), result);
        QCOMPARE(stored(kInternal, name).toInt(), result);
    }

    void currentPathWriterTakesTheDocumentsIndex()
    {
        CSupportDoc& doc = load();
        doc.setCurrentPathIndex(3);
        doc.setCurrentPathIndex(10); // ignored
        QCOMPARE(doc.currentPathIndex(), 3);
        doc.WriteIntSetting(CurrentPath, 7);
        m_store->flush();
        QCOMPARE(stored(kInternal, u"Current path"_s).toInt(), 3);
    }

    void emptyStringsTakeTheirDefaults()
    {
        preset(kInternal, u"RTF text font name"_s, QString());
        preset(kInternal, u"Plain text font name"_s, u"Monospace"_s);
        CSupportDoc& doc = load();
        QCOMPARE(doc.stringSetting(RtfFontName), u"Arial"_s);
        QCOMPARE(doc.stringSetting(PlainFontName), u"Monospace"_s);
        QVERIFY(doc.WriteStringSetting(PlainFontName, QString()));
        QCOMPARE(stored(kInternal, u"Plain text font name"_s).toString(), u"Courier New"_s);
        QCOMPARE(doc.stringSetting(PlainFontName), u"Courier New"_s);
    }

    void columnMasksAndWidthsFallBack()
    {
        preset(kInternal, u"Sent mask"_s, 0);
        preset(kInternal, u"Inbox mask"_s, 0x1000000 | 0x37F); // a column it lacks
        preset(kInternal, u"Others mask"_s, 0x3FF);
        preset(kColumns, u"CW8"_s, 0);
        preset(kColumns, u"CWC3"_s, -20);
        preset(kColumns, u"CW9"_s, 333);
        CSupportDoc& doc = load();
        QCOMPARE(doc.columnMask(MaskKind::Sent), 0x97Fu);
        QCOMPARE(stored(kInternal, u"Sent mask"_s).toUInt(), 0x97Fu);
        QCOMPARE(doc.columnWidth(8, WidthList::Messages), 230);
        QCOMPARE(doc.columnWidth(3, WidthList::Contacts), 200);
        QCOMPARE(doc.columnWidth(9, WidthList::Messages), 333);
        QCOMPARE(stored(kColumns, u"CW8"_s).toInt(), 230);

        // Validation replaces the bad mask in memory only; it is stored at shut-down.
        QCOMPARE(doc.columnMask(MaskKind::Inbox), 0x100037Fu);
        doc.ValidateColumnMasks();
        QCOMPARE(doc.columnMask(MaskKind::Inbox), 0x37Fu);
        QCOMPARE(doc.columnMask(MaskKind::Others), 0x3FFu);
        QCOMPARE(stored(kInternal, u"Inbox mask"_s).toUInt(), 0x100037Fu);

        // Columns above 31 are ignored by both width operations.
        doc.WriteColumnWidth(32, 50, WidthList::Messages);
        doc.ReadColumnWidth(40, WidthList::Contacts);
        m_store->flush();
        QVERIFY(!stored(kColumns, u"CW32"_s).isValid());
        QCOMPARE(doc.columnWidth(32, WidthList::Messages), 0);
    }

    void supportPathsAndTheirList()
    {
        preset(kInternal, u"Support path 4"_s, u"/srv/answers"_s);
        CSupportDoc& doc = load();
        QCOMPARE(doc.GetSupportPath(0), m_home + u"support1"_s);
        QCOMPARE(doc.GetSupportPath(2), m_home + u"support1"_s);
        QCOMPARE(doc.GetSupportPath(3), u"/srv/answers"_s);
        QCOMPARE(doc.GetSupportPath(9), m_home + u"Examples"_s);
        QCOMPARE(doc.GetSupportPath(10), doc.GetSupportPath(0));
        QCOMPARE(doc.GetSupportPath(-1), doc.GetSupportPath(0));
        doc.RebuildSupportPathList();
        QCOMPARE(doc.supportPathList().size(), 10);
        QCOMPARE(doc.supportPathList().at(3), u"/srv/answers"_s);

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
        preset(kInternal, u"Edit out"_s, 0x1000000);
        CSupportDoc& doc = load();
        QCOMPARE(doc.ReadBoxColour(EditOutColour), 0xFFFFFFu);
        preset(kInternal, u"Support path 3"_s, u"/elsewhere"_s);
        preset(kColumns, u"CW5"_s, 77);

        ViewSettings view;
        view.gridOn = 0;
        view.previewOn = 0;
        view.outgoingTextType = 1;
        view.boxColours[EditOutColour] = doc.ReadBoxColour(EditOutColour);
        view.boxColours[NotePadColour] = 0x00C0FFEE;
        doc.setIntSetting(PlainWrapLength, 30); // accepted by Preferences, written as 76
        QCOMPARE(doc.SaveAllSettings(view), 0);
        QCOMPARE(stored(kInternal, u"Grid On"_s).toInt(), 0);
        QCOMPARE(stored(kInternal, u"Preview on"_s).toInt(), 0);
        QCOMPARE(stored(kInternal, u"Outgoing text type"_s).toInt(), 1);
        QCOMPARE(stored(kInternal, u"Plain text wrap length"_s).toInt(), 76);
        QCOMPARE(stored(kInternal, u"Edit out"_s).toUInt(), 0xFFFFFFu);
        QCOMPARE(stored(kInternal, u"Note pad"_s).toUInt(), 0x00C0FFEEu);
        // Unchanged paths and widths are left as they are in the store.
        QCOMPARE(stored(kInternal, u"Support path 3"_s).toString(), u"/elsewhere"_s);
        QCOMPARE(stored(kColumns, u"CW5"_s).toInt(), 77);

        doc.setSupportPath(2, u"/tmp/topics"_s);
        doc.setColumnWidth(5, 64, WidthList::Messages);
        QCOMPARE(doc.SaveAllSettings(view), 0);
        QCOMPARE(stored(kInternal, u"Support path 3"_s).toString(), u"/tmp/topics"_s);
        QCOMPARE(stored(kColumns, u"CW5"_s).toInt(), 64);
    }

    void failedStringWritesAreCounted()
    {
        // A settings path below a regular file cannot be written, even by root.
        const QString blocker = m_dir.filePath(u"blocker"_s);
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_iniPath = blocker + u"/settings.ini"_s;
        CSupportDoc& doc = load();
        QCOMPARE(doc.stringSetting(PlainFontName), u"Courier New"_s);
        QVERIFY(!doc.WriteStringSetting(RtfFontName, u"Serif"_s));
        QCOMPARE(doc.stringSetting(RtfFontName), u"Serif"_s);
        QCOMPARE(doc.SaveAllSettings(ViewSettings{}), 4);
        doc.setSupportPath(1, u"/x"_s);
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
        QVERIFY(doc.WriteStringSetting(RtfFontName, u"Serif"_s));
        QCOMPARE(doc.SaveAllSettings(ViewSettings{}), 0);
        QCOMPARE(stored(kInternal, u"RTF text font name"_s).toString(), u"Serif"_s);
    }

    void closingAsksOnlyWhileComposing_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<bool>("composing");
        QTest::addColumn<int>("answer"); // -1 none expected, 0 No, 1 Yes
        QTest::addColumn<bool>("mayClose");
        QTest::addColumn<QString>("calls");
        QTest::newRow("logged off") << false << false << -1 << true << QString();
        QTest::newRow("logged on, idle") << true << false << -1 << true << u"logoff"_s;
        QTest::newRow("composing, No") << true << true << 0 << false << QString();
        QTest::newRow("composing, Yes") << true << true << 1 << true << u"stop logoff"_s;
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
            made << u"stop"_s;
        };
        hooks.logoff = [&] {
            made << u"logoff"_s;
        };
        CSupportDoc& doc = load();
        QCOMPARE(doc.CanCloseFrame(nullptr, hooks), mayClose);
        QCOMPARE(made.join(u' '), calls);
        QCOMPARE(prompter.notices().size(), answer < 0 ? 0 : 1);
        if (answer >= 0) {
            QCOMPARE(prompter.notices().first().text, u"Still within a message. Are you sure?"_s);
            QCOMPARE(prompter.notices().first().title, u"Warning! Still logged onto your mail"_s);
        }
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
