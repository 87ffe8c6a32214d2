#include "WorkspaceLayout.h"

#include "WorkspaceLayoutData.h"

namespace {

constexpr int kFolderTree = 1006;
constexpr int kMessageList = 1011;
constexpr int kReadBox = 1002;
constexpr std::array<int, 4> kSearchLineIds = {1034, 1035, 1072, 1073};

// Heights of the folder tree and message list with and without the preview below them.
constexpr int kPreviewHeightNarrow = 220;
constexpr int kPreviewHeightWide = 290;
constexpr int kFullHeightNarrow = 395;
constexpr int kFullHeightWide = 558;

// The two arrangements are kept in rows of tabs where the tree and list never show.
constexpr int kPreviewStore = WorkspaceTab::ReadEmail;
constexpr int kFullHeightStore = WorkspaceTab::CreateReply;

} // namespace

WorkspaceLayout::WorkspaceLayout(int screenWidth)
{
    m_screenWidth = screenWidth <= kLowResolution ? 800 : screenWidth;
    m_wide = m_screenWidth >= kWideFrom;

    for (const ControlPlacement& p : workspacePlacements(m_wide))
        at(p.id, p.tab) = Cell{true, QRect(p.x, p.y, p.width, p.height)};
    for (int tab = 0; tab < WorkspaceTab::Count; ++tab)
        at(kTabControl, tab) = Cell{true, QRect(2, 2, m_screenWidth - 10, 22)};
    for (const ControlPlacement& p : searchLinePlacements(m_wide)) {
        for (size_t i = 0; i < kSearchLineIds.size(); ++i) {
            if (kSearchLineIds[i] == p.id)
                m_searchLine[i] = QRect(p.x, p.y, p.width, p.height);
        }
    }
    for (int id : {kFolderTree, kMessageList}) {
        const QRect shown = cell(id, WorkspaceTab::EmailFolders).rect;
        at(id, kPreviewStore).rect = shown;
        at(id, kPreviewStore).rect.setHeight(m_wide ? kPreviewHeightWide : kPreviewHeightNarrow);
        at(id, kFullHeightStore).rect = shown;
        at(id, kFullHeightStore).rect.setHeight(m_wide ? kFullHeightWide : kFullHeightNarrow);
    }
}

WorkspaceLayout::Cell& WorkspaceLayout::at(int id, int tab)
{
    return m_cells[static_cast<size_t>(id - kFirstId)][static_cast<size_t>(tab)];
}

const WorkspaceLayout::Cell& WorkspaceLayout::cell(int id, int tab) const
{
    static const Cell none;
    if (!hasRow(id) || tab < 0 || tab >= WorkspaceTab::Count)
        return none;
    return m_cells[static_cast<size_t>(id - kFirstId)][static_cast<size_t>(tab)];
}

bool WorkspaceLayout::isSearchLineControl(int id)
{
    return std::find(kSearchLineIds.begin(), kSearchLineIds.end(), id) != kSearchLineIds.end();
}

QRect WorkspaceLayout::searchLinePlace(int id) const
{
    for (size_t i = 0; i < kSearchLineIds.size(); ++i) {
        if (kSearchLineIds[i] == id)
            return m_searchLine[i];
    }
    return {};
}

void WorkspaceLayout::setPreview(bool on)
{
    const int store = on ? kPreviewStore : kFullHeightStore;
    for (int id : {kFolderTree, kMessageList})
        at(id, WorkspaceTab::EmailFolders).rect = cell(id, store).rect;
    at(kReadBox, WorkspaceTab::EmailFolders).visible = on;
}

QSize WorkspaceLayout::formSize() const
{
    // The tab control spans the screen, not the form: counting it would make a window
    // narrower than the screen scroll although every other control fits.
    QRect extent;
    for (size_t row = 0; row < m_cells.size(); ++row) {
        if (int(row) + kFirstId == kTabControl)
            continue;
        for (const Cell& c : m_cells[row]) {
            if (c.visible)
                extent |= c.rect;
        }
    }
    return QSize(extent.right() + 5, extent.bottom() + 5);
}
