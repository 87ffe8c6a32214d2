#pragma once

#include <QStringList>
#include <QWidget>

class CSupportDoc;
class QCheckBox;
class QComboBox;
struct ViewSettings;

// What the page needs to know of the connection when the sheet opens.
struct DatabasePageInput
{
    bool jobOpen = false;
    bool knowledgeOpen = false;
    QStringList jobColumnNames;       // 12 names
    QStringList knowledgeColumnNames; // 6 names
};

// Which sort orders the page changed; the caller rebuilds those queries and starts the
// re-query timers.
struct DatabasePageChanges
{
    bool jobSortChanged = false;       // column or direction of the Job side changed
    bool knowledgeSortChanged = false; // same for the Knowledge side
};

// The "Database" page of the Preferences sheet: start-up flags, the database type used
// at the next start, and the sort column and direction of the Job and Knowledge tables.
class cproppage1 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kJobColumns = 12;
    static constexpr int kKnowledgeColumns = 6;

    cproppage1(const CSupportDoc& doc, const ViewSettings& view, DatabasePageInput input,
               QWidget* parent = nullptr);

    QCheckBox* openAtStartCheck() const { return m_openAtStart; }
    QCheckBox* autoUpdateCheck() const { return m_autoUpdate; }
    QComboBox* databaseTypeList() const { return m_databaseType; }
    QComboBox* jobFieldList() const { return m_jobField; }
    QComboBox* jobOrderList() const { return m_jobOrder; }
    QComboBox* knowledgeFieldList() const { return m_knowledgeField; }
    QComboBox* knowledgeOrderList() const { return m_knowledgeOrder; }
    // The page's controls in keyboard order, for the sheet's tab chain.
    QList<QWidget*> focusChain() const;

    // Stores the two flags (view copies and document) and the database type; for each
    // open side also its sort column and direction. Reports which sort order changed.
    DatabasePageChanges apply(CSupportDoc& doc, ViewSettings& view) const;

private:
    struct SortControls
    {
        QComboBox* field;
        QComboBox* order;
    };

    void fillSort(const SortControls& controls, bool open, const QStringList& names, int count,
                  int column, int descending, const QString& offText);
    bool applySort(CSupportDoc& doc, const SortControls& controls, int columnSetting,
                   int orderSetting, int count) const;

    bool m_jobOpen = false;
    bool m_knowledgeOpen = false;
    QCheckBox* m_openAtStart = nullptr;
    QCheckBox* m_autoUpdate = nullptr;
    QComboBox* m_databaseType = nullptr;
    QComboBox* m_jobField = nullptr;
    QComboBox* m_jobOrder = nullptr;
    QComboBox* m_knowledgeField = nullptr;
    QComboBox* m_knowledgeOrder = nullptr;
};
