// The rows of the message list: for each row of the open folder's contents table its own copy
// of the instance key and entry identifier, and the cells the list shows, kept compact (text
// as UTF-8, times as file times formatted when shown) so that a folder of 100,000 messages
// stays small.
#pragma once

#include "mail/MessageColumns.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QPalette>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantrel::mail {

enum MessageListRole {
    // The cell's image number (0: none); for headers, the base image of an icon column.
    ImageRole = Qt::UserRole + 1,
    // Whether the column is an icon column (headers and cells).
    IconColumnRole,
};

// "%a %m/%d/%Y %I:%M %p" in the user's time zone, e.g. "Mon 01/15/2024 03:04 PM".
QString FormatListTime(std::uint64_t fileTime);

// The text a long cell keeps: enough for any use of it (the filter reads 510 characters).
inline constexpr int kMaxCellBytes = 2048;

class MessageListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit MessageListModel(QObject* parent = nullptr);
    ~MessageListModel() override;

    // The header of `set`: its shown columns, or the single column "No columns". Empties the
    // list.
    void setColumns(const ColumnSet& set);
    // No columns at all, as after logoff.
    void clearColumns();
    const ColumnSet& columnSet() const { return m_set; }
    // The set's entry behind list column `column`; null for "No columns".
    const ColumnSetEntry* shownColumn(int column) const;
    // A width the user gave list column `column`, kept for the next fill.
    void setShownWidth(int column, int width);
    // Images of `palette` (the list's).
    void setPalette(const QPalette& palette);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows. `row` holds the values of the set's columns in order: instance key, entry
    // identifier, then one per shown column (missing values show as errors do).
    bool insertRowAt(int position, const SRow& row);
    bool removeRowAt(int position);
    // The row's values change in place; the row keeps its place and selection.
    bool replaceRowAt(int position, const SRow& row);
    void clear();
    // Emptying and filling in one go: appendRow between the two sends no signal per row.
    void beginRefill();
    bool appendRow(const SRow& row);
    void endRefill();

    // The first row whose instance key has exactly these bytes; -1 when none does.
    int findInstanceKey(const QByteArray& key) const;
    QByteArray instanceKey(int row) const;
    QByteArray entryId(int row) const;
    // What a cell shows: its text (times formatted) and its image (0: none).
    QString cellText(int row, int column) const;
    int cellImage(int row, int column) const;

private:
    // One block per row: the key and identifier lengths, their bytes, then the cells.
    using Row = std::unique_ptr<std::byte[]>;
    struct Cell;

    Row encode(const SRow& row);
    Cell cellAt(int row, int column) const;
    bool validRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }

    ColumnSet m_set;
    bool m_hasColumns = false;
    bool m_refilling = false;
    std::vector<Row> m_rows;
    QPalette m_palette;
    std::vector<std::byte> m_scratch; // where a row is encoded before it gets its block
};

} // namespace vantrel::mail
