#include "ColumnPage.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr ColumnMask kKeyColumns = 0x3; // instance key and entry identifier

ColumnMask bit(int column)
{
    return ColumnMask(1) << column;
}

} // namespace

cproppage3::cproppage3(ColumnPageInput input, QWidget* parent)
    : QWidget(parent)
    , m_input(std::move(input))
    , m_widths(m_input.widths)
{
    setObjectName(QStringLiteral("cproppage3"));
    // The caption's trailing blank is the program's own.
    setWindowTitle(QStringLiteral("Column "));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("c1134"));
    m_list->setHeaderLabels({QStringLiteral("Column name")});
    m_list->setColumnWidth(0, kNameColumnWidth);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    const ColumnMask allowed = allowedColumns(m_input.kind);
    for (int column = kFirstListedColumn; column < kColumnCount; ++column) {
        if ((allowed & bit(column)) == 0)
            continue;
        auto* item = new QTreeWidgetItem(m_list, {m_input.names[static_cast<size_t>(column)]});
        item->setData(0, Qt::UserRole, column);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, (m_input.mask & bit(column)) != 0 ? Qt::Checked : Qt::Unchecked);
    }

    m_width = new QLineEdit(this);
    m_width->setObjectName(QStringLiteral("c1135"));
    m_width->setMaximumWidth(m_width->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));

    auto* listLabel = new QLabel(QStringLiteral("Colu&mns shown in the message list:"), this);
    listLabel->setBuddy(m_list);
    auto* widthLabel = new QLabel(QStringLiteral("Column &width"), this);
    widthLabel->setBuddy(m_width);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addWidget(widthLabel);
    layout->addWidget(m_width);
    setTabOrder(m_list, m_width);

    connect(m_list, &QTreeWidget::currentItemChanged, this, &cproppage3::showWidth);
    connect(m_width, &QLineEdit::editingFinished, this, &cproppage3::takeWidth);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    showWidth();
}

ColumnMask cproppage3::mask() const
{
    ColumnMask result = m_input.mask | kKeyColumns;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        const ColumnMask column = bit(item->data(0, Qt::UserRole).toInt());
        if (item->checkState(0) == Qt::Checked)
            result |= column;
        else
            result &= ~column;
    }
    return result;
}

int cproppage3::selectedColumn() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

void cproppage3::showWidth()
{
    const int column = selectedColumn();
    m_width->setEnabled(column >= 0);
    m_width->setText(column >= 0 ? QString::number(m_widths[static_cast<size_t>(column)])
                                 : QString());
    m_width->setModified(false);
}

void cproppage3::takeWidth()
{
    const int column = selectedColumn();
    // Only what the user typed counts, once; leaving the box untouched changes nothing.
    if (column < 0 || !m_width->isModified())
        return;
    m_width->setModified(false);
    bool number = false;
    const int width = m_width->text().trimmed().toInt(&number);
    if (!number || width < kMinWidth || width > kMaxWidth) {
        QApplication::beep();
        Q_EMIT widthRejected();
        return;
    }
    m_widths[static_cast<size_t>(column)] = width;
    m_widthsChanged = true;
}
