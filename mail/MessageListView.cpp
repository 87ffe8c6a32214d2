#include "mail/MessageListView.h"

#include "mail/ListImages.h"
#include "mail/MessageListModel.h"

#include <QApplication>
#include <QPainter>

namespace vantrel::mail {

namespace {

void drawCentred(QPainter* painter, const QRect& rect, int image, const QPalette& palette)
{
    const QPixmap pixmap = ListImagePixmap(image, palette, painter->device()->devicePixelRatioF());
    if (pixmap.isNull())
        return;
    const QSize size = pixmap.deviceIndependentSize().toSize();
    const QPoint at(rect.x() + (rect.width() - size.width()) / 2,
                    rect.y() + (rect.height() - size.height()) / 2);
    painter->drawPixmap(at, pixmap);
}

} // namespace

void MessageListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    if (index.data(IconColumnRole).toBool()) {
        // The style draws the cell's background, selection and focus; the image goes in
        // the middle of the cell however wide the column is.
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.icon = QIcon();
        opt.features &= ~(QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        drawCentred(painter, option.rect, index.data(ImageRole).toInt(), option.palette);
    } else {
        QStyledItemDelegate::paint(painter, option, index);
    }
    if (m_grid) {
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
}

MessageListHeader::MessageListHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSectionsMovable(false);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Interactive);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void MessageListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (!model())
        return;
    const int image = model()->headerData(logicalIndex, Qt::Horizontal, ImageRole).toInt();
    if (image != kListImageNone)
        drawCentred(painter, rect, image, palette());
}

} // namespace vantrel::mail
