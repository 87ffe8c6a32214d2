// The folder tree's images, drawn for the palette in use at the size and pixel density asked
// for, so that they stay sharp and readable on light and dark themes alike.
#pragma once

#include <QIcon>

namespace vantrel::mail {

constexpr int kFolderImageCount = 8;

// Image `index` (0 selected, 1 store, 2 Inbox, 3 Sent, 4 Outbox, 5 Deleted, 6 folder,
// 7 contacts); a null icon for any other index.
QIcon FolderTreeImage(int index);
// An item's icon: `image`, and `selectedImage` while the item is selected.
QIcon FolderTreeItemIcon(int image, int selectedImage);

} // namespace vantrel::mail
