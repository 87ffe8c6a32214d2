// How the message list draws: image cells and image headers centred, and the grid the user
// may ask for.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace vantrel::mail {

class MessageListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setGrid(bool on) { m_grid = on; }
    bool grid() const { return m_grid; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    bool m_grid = false;
};

// Header sections of icon columns show the column's image in the middle, and no text.
class MessageListHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit MessageListHeader(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

} // namespace vantrel::mail
