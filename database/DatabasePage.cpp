#include "DatabasePage.h"

#include "core/CSupportDoc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace {

// A stored value outside the list's range shows the first entry.
int shownIndex(int value, int count)
{
    return value >= 0 && value < count ? value : 0;
}

QComboBox* makeList(const QString& objectName, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

QLabel* makeLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

cproppage1::cproppage1(const CSupportDoc& doc, const ViewSettings& view, DatabasePageInput input,
                       QWidget* parent)
    : QWidget(parent)
    , m_jobOpen(input.jobOpen)
    , m_knowledgeOpen(input.knowledgeOpen)
{
    setObjectName(QStringLiteral("cproppage1"));
    setWindowTitle(QStringLiteral("Database"));

    // The trailing blank of the first caption is the program's own text.
    m_openAtStart =
        new QCheckBox(QStringLiteral("Automatically &open the database at startup "), this);
    m_openAtStart->setObjectName(QStringLiteral("openDatabaseAtStart"));
    m_openAtStart->setChecked(view.openDatabaseAtStart == 1);
    m_autoUpdate = new QCheckBox(
        QStringLiteral("Automatically &update record before moving to the next"), this);
    m_autoUpdate->setObjectName(QStringLiteral("autoRecordUpdate"));
    m_autoUpdate->setChecked(view.autoRecordUpdate == 1);

    m_databaseType = makeList(QStringLiteral("databaseType"), this);
    m_databaseType->addItems(
        {QStringLiteral("Microsoft Acesss\u00AE"), QStringLiteral("Microsoft Excel\u00AE")});
    m_databaseType->setCurrentIndex(shownIndex(doc.intSetting(DatabaseType), 2));

    m_jobField = makeList(QStringLiteral("jobIndexField"), this);
    m_jobOrder = makeList(QStringLiteral("jobIndexOrder"), this);
    m_knowledgeField = makeList(QStringLiteral("knowledgeIndexField"), this);
    m_knowledgeOrder = makeList(QStringLiteral("knowledgeIndexOrder"), this);
    fillSort({m_jobField, m_jobOrder}, m_jobOpen, input.jobColumnNames, kJobColumns,
             doc.intSetting(ColumnIndex), doc.intSetting(IndexAscent),
             QStringLiteral("Database off"));
    fillSort({m_knowledgeField, m_knowledgeOrder}, m_knowledgeOpen, input.knowledgeColumnNames,
             kKnowledgeColumns, doc.intSetting(ColumnIndexKb), doc.intSetting(IndexAscentKb),
             QStringLiteral("Knowledge base off"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_openAtStart, 0, 0, 1, 2);
    grid->addWidget(m_autoUpdate, 1, 0, 1, 2);
    grid->addWidget(
        makeLabel(QStringLiteral("Select a database &type at start up:"), m_databaseType, this), 2,
        0, 1, 2);
    grid->addWidget(m_databaseType, 3, 0, Qt::AlignLeft);
    grid->addWidget(
        makeLabel(QStringLiteral("Select the &Database field you want to index"), m_jobField, this),
        4, 0);
    grid->addWidget(makeLabel(QStringLiteral("o&rder"), m_jobOrder, this), 4, 1);
    grid->addWidget(m_jobField, 5, 0);
    grid->addWidget(m_jobOrder, 5, 1);
    grid->addWidget(makeLabel(QStringLiteral("Select the &Knowledge base field you want to index:"),
                              m_knowledgeField, this),
                    6, 0);
    grid->addWidget(makeLabel(QStringLiteral("ord&er"), m_knowledgeOrder, this), 6, 1);
    grid->addWidget(m_knowledgeField, 7, 0);
    grid->addWidget(m_knowledgeOrder, 7, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(8, 1);

    const QList<QWidget*> chain = focusChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

QList<QWidget*> cproppage1::focusChain() const
{
    return {m_openAtStart, m_autoUpdate,     m_databaseType,  m_jobField,
            m_jobOrder,    m_knowledgeField, m_knowledgeOrder};
}

void cproppage1::fillSort(const SortControls& controls, bool open, const QStringList& names,
                          int count, int column, int descending, const QString& offText)
{
    if (!open) {
        // A side that is not connected has no columns to offer.
        controls.field->addItem(offText);
        controls.order->addItem(QStringLiteral("Off"));
        controls.field->setEnabled(false);
        controls.order->setEnabled(false);
        return;
    }
    for (int index = 0; index < count; ++index) {
        const QString name = names.value(index);
        controls.field->addItem(name.isEmpty() ? QStringLiteral("Empty column name") : name);
    }
    controls.order->addItems({QStringLiteral("Ascending"), QStringLiteral("Descending")});
    controls.field->setCurrentIndex(shownIndex(column, count));
    controls.order->setCurrentIndex(shownIndex(descending, 2));
}

DatabasePageChanges cproppage1::apply(CSupportDoc& doc, ViewSettings& view) const
{
    view.openDatabaseAtStart = m_openAtStart->isChecked() ? 1 : 0;
    view.autoRecordUpdate = m_autoUpdate->isChecked() ? 1 : 0;
    doc.setIntSetting(OpenDatabaseAtStart, view.openDatabaseAtStart);
    doc.setIntSetting(AutoRecordUpdate, view.autoRecordUpdate);
    // Takes effect at the next start, when the file names are derived again.
    doc.setIntSetting(DatabaseType, m_databaseType->currentIndex());

    DatabasePageChanges changes;
    if (m_jobOpen) {
        changes.jobSortChanged =
            applySort(doc, {m_jobField, m_jobOrder}, ColumnIndex, IndexAscent, kJobColumns);
    }
    if (m_knowledgeOpen) {
        changes.knowledgeSortChanged = applySort(doc, {m_knowledgeField, m_knowledgeOrder},
                                                 ColumnIndexKb, IndexAscentKb, kKnowledgeColumns);
    }
    return changes;
}

bool cproppage1::applySort(CSupportDoc& doc, const SortControls& controls, int columnSetting,
                           int orderSetting, int count) const
{
    // Compared with what the page showed, so an out-of-range value that sorted by the
    // first column anyway does not count as a change.
    const int oldColumn = shownIndex(doc.intSetting(columnSetting), count);
    const int oldOrder = shownIndex(doc.intSetting(orderSetting), 2);
    const int column = controls.field->currentIndex();
    const int order = controls.order->currentIndex();
    doc.setIntSetting(columnSetting, column);
    doc.setIntSetting(orderSetting, order);
    return column != oldColumn || order != oldOrder;
}
