#pragma once

#include "WorkspaceTabs.h"

#include <QRect>
#include <array>

// The layout table of the workspace: for every control id 1000..1075 and every tab,
// whether the control is shown there and where. One of two variants is filled in once:
// the 800-pixel layout, or the wide layout from 801 pixels on.
class WorkspaceLayout
{
public:
    static constexpr int kFirstId = 1000;
    static constexpr int kRowCount = 76;
    static constexpr int kTabControl = 1075;
    static constexpr int kWideFrom = 801;
    static constexpr int kLowResolution = 640;

    struct Cell
    {
        bool visible = false;
        QRect rect{0, 0, 1, 1};
    };

    // `screenWidth` of 640 or less counts as 800.
    explicit WorkspaceLayout(int screenWidth);

    bool isWide() const { return m_wide; }
    // The extent of the form: every control of every tab but the tab control fits inside.
    QSize formSize() const;
    int screenWidth() const { return m_screenWidth; }

    // The cell of `id` on `tab`; ids outside 1000..1075 give an invisible cell.
    const Cell& cell(int id, int tab) const;
    static bool hasRow(int id) { return id >= kFirstId && id < kFirstId + kRowCount; }

    // The controls of the "Database" search line, placed but shown as the search
    // state decides.
    static bool isSearchLineControl(int id);
    QRect searchLinePlace(int id) const;

    // Preview on: the read box shows below the folder tree and message list on "Email
    // Folders", which take their shorter heights; off: the two take the full height.
    void setPreview(bool on);

private:
    Cell& at(int id, int tab);

    bool m_wide = false;
    int m_screenWidth = 800;
    std::array<std::array<Cell, WorkspaceTab::Count>, kRowCount> m_cells{};
    std::array<QRect, 4> m_searchLine{};
};
