#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "database/DatabasePage.h"
#include "database/ProviderPicker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QList<int> kSortSettings = {ColumnIndex, IndexAscent, ColumnIndexKb, IndexAscentKb};
const QStringList kJobNames = {u"Job number"_s, u"Date"_s,     u"Customer"_s, u""_s,
                               u"Phone"_s,      u"Email"_s,    u"Topic"_s,    u"Problem"_s,
                               u"Solution"_s,   u"Priority"_s, u"Status"_s,   u"Closed"_s};
// One name short: the missing sixth is shown like an empty one.
const QStringList kKnowledgeNames = {u"Title"_s, u""_s, u"Keywords"_s, u"Text"_s, u"Author"_s};
const QStringList kProviders = {u"Microsoft.Jet.OLEDB.4.0"_s, u"Vantrel.SQLite"_s,
                                u"Vantrel.Workbook"_s};

QStringList entries(const QComboBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->itemText(i));
    return texts;
}

QList<QComboBox*> sortLists(const cproppage1& page)
{
    return {page.jobFieldList(), page.jobOrderList(), page.knowledgeFieldList(),
            page.knowledgeOrderList()};
}

enum PickerAction { PressOk, DoubleClick, Cancel };

} // namespace

class TestDatabasePage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSupportDoc> m_doc;

    // A loaded document over a fresh settings file. The sort values (column, order, column
    // KB, order KB) go through the writer, which keeps them in range in the file, and are
    // then held in memory as given, out-of-range values included.
    CSupportDoc& document(const QList<int>& sort, int type = 0)
    {
        m_doc.reset();
        m_store = std::make_unique<SettingsStore>(m_dir.filePath(u"s%1.ini"_s.arg(++m_run)));
        m_doc = std::make_unique<CSupportDoc>(*m_store, m_dir.path() + u"/"_s);
        m_doc->LoadSettings();
        for (int i = 0; i < 4; ++i)
            m_doc->setIntSetting(kSortSettings[i], sort[i]);
        m_doc->setIntSetting(DatabaseType, type);
        return *m_doc;
    }
    // The document's value: the page changes settings in memory, written at shut-down.
    int stored(int index) const { return m_doc->intSetting(index); }

private Q_SLOTS:
    void listsShowSidesAndSettings_data()
    {
        QTest::addColumn<QList<int>>("open");     // Job, Knowledge
        QTest::addColumn<QList<int>>("settings"); // column, order, column KB, order KB, type
        QTest::addColumn<QList<int>>("shown");
        const auto row = [](const char* name, QList<int> open, QList<int> settings,
                            QList<int> shown) {
            QTest::newRow(name) << open << settings << shown;
        };
        row("both open", {1, 1}, {5, 1, 2, 1, 1}, {5, 1, 2, 1, 1});
        row("out of range", {1, 1}, {12, 2, 6, -1, 999}, {0, 0, 0, 0, 0});
        row("job off", {0, 1}, {5, 1, 3, 0, 0}, {0, 0, 3, 0, 0});
        row("both off", {0, 0}, {5, 1, 3, 1, 1}, {0, 0, 0, 0, 1});
    }
    void listsShowSidesAndSettings()
    {
        QFETCH(QList<int>, open);
        QFETCH(QList<int>, settings);
        QFETCH(QList<int>, shown);
        const bool jobOpen = open[0] != 0;
        const bool knowledgeOpen = open[1] != 0;
        ViewSettings view;
        view.openDatabaseAtStart = 1;
        view.autoRecordUpdate = 0;
        cproppage1 page(document(settings, settings[4]), view,
                        {jobOpen, knowledgeOpen, kJobNames, kKnowledgeNames});

        QCOMPARE(page.windowTitle(), u"Database"_s);
        QVERIFY(page.openAtStartCheck()->isChecked() && !page.autoUpdateCheck()->isChecked());
        QCOMPARE(entries(page.databaseTypeList()),
                 QStringList({u"Microsoft Acesss\u00AE"_s, u"Microsoft Excel\u00AE"_s}));
        QStringList jobShown = kJobNames;
        jobShown[3] = u"Empty column name"_s;
        const QStringList knowledgeShown = {u"Title"_s,    u"Empty column name"_s,
                                            u"Keywords"_s, u"Text"_s,
                                            u"Author"_s,   u"Empty column name"_s};
        const QStringList orders = {u"Ascending"_s, u"Descending"_s};
        const QList<QStringList> expected = {jobOpen ? jobShown : QStringList{u"Database off"_s},
                                             jobOpen ? orders : QStringList{u"Off"_s},
                                             knowledgeOpen ? knowledgeShown
                                                           : QStringList{u"Knowledge base off"_s},
                                             knowledgeOpen ? orders : QStringList{u"Off"_s}};
        QList<int> current;
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(entries(sortLists(page)[i]), expected[i]);
            QCOMPARE(sortLists(page)[i]->isEnabled(), i < 2 ? jobOpen : knowledgeOpen);
            current.append(sortLists(page)[i]->currentIndex());
        }
        current.append(page.databaseTypeList()->currentIndex());
        QCOMPARE(current, shown);
    }

    void applyStoresSettings_data()
    {
        QTest::addColumn<QList<int>>("open");    // Job, Knowledge
        QTest::addColumn<QList<int>>("before");  // column, order, column KB, order KB
        QTest::addColumn<QList<int>>("chosen");  // -1 leaves the list alone
        QTest::addColumn<QList<int>>("after");   // in the file afterwards
        QTest::addColumn<QList<int>>("changed"); // Job, Knowledge
        const auto row = [](const char* name, QList<int> open, QList<int> before, QList<int> chosen,
                            QList<int> after, QList<int> changed) {
            QTest::newRow(name) << open << before << chosen << after << changed;
        };
        const QList<int> keep = {-1, -1, -1, -1};
        row("unchanged", {1, 1}, {4, 1, 2, 0}, keep, {4, 1, 2, 0}, {0, 0});
        row("job direction only", {1, 1}, {4, 1, 2, 0}, {-1, 0, -1, -1}, {4, 0, 2, 0}, {1, 0});
        row("knowledge column only", {1, 1}, {4, 1, 2, 0}, {-1, -1, 5, -1}, {4, 1, 5, 0}, {0, 1});
        row("out of range kept as first", {1, 1}, {40, 1, 9, 0}, keep, {0, 1, 0, 0}, {0, 0});
        row("job off never written", {0, 1}, {7, 1, 2, 0}, {-1, -1, -1, 1}, {7, 1, 2, 1}, {0, 1});
        row("both off", {0, 0}, {7, 1, 2, 1}, keep, {7, 1, 2, 1}, {0, 0});
    }
    void applyStoresSettings()
    {
        QFETCH(QList<int>, open);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, chosen);
        QFETCH(QList<int>, after);
        CSupportDoc& doc = document(before);
        ViewSettings view;
        view.openDatabaseAtStart = 0;
        view.autoRecordUpdate = 1;
        cproppage1 page(doc, view, {open[0] != 0, open[1] != 0, kJobNames, kKnowledgeNames});
        for (int i = 0; i < 4; ++i) {
            if (chosen[i] >= 0)
                sortLists(page)[i]->setCurrentIndex(chosen[i]);
        }
        page.openAtStartCheck()->setChecked(true);
        page.autoUpdateCheck()->setChecked(false);
        page.databaseTypeList()->setCurrentIndex(1);

        const DatabasePageChanges changes = page.apply(doc, view);
        QTEST(QList<int>({changes.jobSortChanged, changes.knowledgeSortChanged}), "changed");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(stored(kSortSettings[i]), after[i]);
        QCOMPARE(QList({view.openDatabaseAtStart, view.autoRecordUpdate}), QList({1, 0}));
        QCOMPARE(
            QList({stored(OpenDatabaseAtStart), stored(AutoRecordUpdate), stored(DatabaseType)}),
            QList({1, 0, 1}));
        QCOMPARE(doc.intSetting(DatabaseType), 1);
    }

    void keyboardOrderAndBuddies()
    {
        cproppage1 page(document({0, 0, 0, 0}), ViewSettings{}, {true, false, kJobNames, {}});
        const QList<QWidget*> chain = page.focusChain();
        for (qsizetype i = 1; i < chain.size(); ++i)
            QCOMPARE(chain[i - 1]->nextInFocusChain(), chain[i]);
        const QList<QLabel*> labels = page.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 5);
        for (const QLabel* label : labels)
            QVERIFY2(label->buddy() && label->text().contains(u'&'), qPrintable(label->text()));
    }

    void chooseRunsPicker_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("ok") << int(PressOk) << true << kProviders[1];
        QTest::newRow("double-click") << int(DoubleClick) << true << kProviders[2];
        QTest::newRow("cancel") << int(Cancel) << false << u"unchanged"_s;
    }
    void chooseRunsPicker()
    {
        QFETCH(int, action);
        ScriptedPrompter prompter;
        bool okWasDisabled = false;
        prompter.dialogScript([&](QDialog& dialog) {
            auto& picker = static_cast<ProviderPicker&>(dialog);
            okWasDisabled = !picker.okButton()->isEnabled();
            picker.show();
            if (!QTest::qWaitForWindowExposed(&picker))
                return int(QDialog::Rejected);
            QListWidget* list = picker.providerList();
            if (action == PressOk) {
                list->setCurrentRow(1);
                QTest::mouseClick(picker.okButton(), Qt::LeftButton);
            } else if (action == DoubleClick) {
                const QPoint centre = list->visualItemRect(list->item(2)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
            } else {
                picker.reject();
            }
            return picker.result();
        });
        QString chosen = u"unchanged"_s;
        QTEST(ProviderPicker::choose(nullptr, kProviders, u"Unlisted"_s, &chosen), "accepted");
        QTEST(chosen, "chosen");
        QVERIFY(okWasDisabled);
        QCOMPARE(prompter.notices().size(), 1);
    }
};

QTEST_MAIN(TestDatabasePage)
#include "tst_databasepage.moc"
