#pragma once

#include "core/SettingDefinitions.h"

#include <QWidget>
#include <array>

class QLineEdit;
class QTreeWidget;

// What the "Column " page shows of the folder whose message list is open.
struct ColumnPageInput
{
    MaskKind kind = MaskKind::Others;
    bool contacts = false;
    ColumnMask mask = 0;
    // The widths of the folder's width list (contacts or messages), by column number.
    std::array<int, kColumnCount> widths{};
    // Each column's name in the folder's kind, by column number.
    std::array<QString, kColumnCount> names;
};

// The "Column " page of the Preferences sheet: which columns the open folder's kind shows
// and how wide they are. The page works on copies; the sheet stores them on OK.
class cproppage3 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kFirstListedColumn = 2;
    static constexpr int kMinWidth = 1;
    static constexpr int kMaxWidth = 1000;
    static constexpr int kNameColumnWidth = 220;

    explicit cproppage3(ColumnPageInput input, QWidget* parent = nullptr);

    QTreeWidget* columnList() const { return m_list; }
    QLineEdit* widthEdit() const { return m_width; }

    MaskKind kind() const { return m_input.kind; }
    bool contacts() const { return m_input.contacts; }
    // Columns 0 and 1 always, each listed column as ticked, every other bit as it was.
    ColumnMask mask() const;
    bool maskChanged() const { return mask() != m_input.mask; }
    const std::array<int, kColumnCount>& widths() const { return m_widths; }
    bool widthsChanged() const { return m_widthsChanged; }

Q_SIGNALS:
    // A width outside 1..1000 (or no number) was entered; it changed nothing.
    void widthRejected();

private:
    int selectedColumn() const;
    void showWidth();
    void takeWidth();

    ColumnPageInput m_input;
    std::array<int, kColumnCount> m_widths{};
    bool m_widthsChanged = false;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_width = nullptr;
};
