// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ListView.h"

#include "ui/ImageList.h"
#include "ui/Text.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>

namespace ui {

namespace {
constexpr int ImageRole = Qt::UserRole + 1;
constexpr int NameRole = Qt::UserRole + 2;
} // namespace

ListView::ListView(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    setColumnCount(0);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &ListView::columnClicked);
    connect(this, &QTreeWidget::itemClicked, this, [this] { emit rowClicked(); });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { emit rowDoubleClicked(); });
    // Keyboard and rubber-band selection count as clicks for the selection rules.
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { emit rowClicked(); });
}

void ListView::addColumn(const QString &caption, int width, int minWidth)
{
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, caption);
    setColumnWidth(column, width);
    m_columnTags.push_back(0);
    m_columnMinWidths.push_back(minWidth);
    if (minWidth > 0)
        header()->setMinimumSectionSize(std::min(header()->minimumSectionSize(), minWidth));
}

QTreeWidgetItem *ListView::addRow(const QStringList &texts, int imageIndex)
{
    auto *item = new QTreeWidgetItem(texts);
    item->setData(0, ImageRole, imageIndex);
    if (m_images)
        item->setIcon(0, m_images->icon(imageIndex));
    addTopLevelItem(item);
    return item;
}

QTreeWidgetItem *ListView::addRow(const std::string &name, const QStringList &subItems, int imageIndex)
{
    QTreeWidgetItem *item = addRow(QStringList{toQ(name)} + subItems, imageIndex);
    item->setData(0, NameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    return item;
}

std::string ListView::rowName(const QTreeWidgetItem *item)
{
    if (!item)
        return {};
    const QVariant bytes = item->data(0, NameRole);
    if (!bytes.isValid())
        return fromQ(item->text(0));
    const QByteArray name = bytes.toByteArray();
    return std::string(name.constData(), static_cast<size_t>(name.size()));
}

int ListView::imageIndex(const QTreeWidgetItem *item)
{
    return item ? item->data(0, ImageRole).toInt() : -1;
}

int ListView::selectedCount() const
{
    return static_cast<int>(selectedItems().size());
}

std::vector<int> ListView::selectedRows() const
{
    std::vector<int> rows;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->isSelected())
            rows.push_back(i);
    return rows;
}

void ListView::selectRow(int index, bool selected)
{
    if (QTreeWidgetItem *item = topLevelItem(index))
        item->setSelected(selected);
}

int ListView::columnTag(int column) const
{
    return column >= 0 && column < static_cast<int>(m_columnTags.size())
               ? m_columnTags[static_cast<size_t>(column)]
               : 0;
}

void ListView::setColumnTag(int column, int tag)
{
    if (column >= 0 && column < static_cast<int>(m_columnTags.size()))
        m_columnTags[static_cast<size_t>(column)] = tag;
}

int ListView::columnMinWidth(int column) const
{
    return column >= 0 && column < static_cast<int>(m_columnMinWidths.size())
               ? m_columnMinWidths[static_cast<size_t>(column)]
               : 0;
}

int ListView::textColumnWidth(int column, const QStringList &texts) const
{
    // The same measure the list's delegate uses for a cell of that text.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    int width = std::max(0, header()->sectionSizeHint(column));
    for (const QString &text : texts) {
        option.text = text;
        width = std::max(width,
                         style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width());
    }
    return width;
}

void ListView::customSort(const Compare &compare)
{
    const bool blocked = blockSignals(true);
    // Selection lives in the view, not the items: remember it across the reinsert.
    const QList<QTreeWidgetItem *> selected = selectedItems();
    std::vector<QTreeWidgetItem *> items;
    items.reserve(static_cast<size_t>(topLevelItemCount()));
    while (topLevelItemCount() > 0)
        items.push_back(takeTopLevelItem(0));
    std::stable_sort(items.begin(), items.end(),
                     [&](const QTreeWidgetItem *a, const QTreeWidgetItem *b) { return compare(a, b) < 0; });
    for (QTreeWidgetItem *item : items)
        addTopLevelItem(item);
    for (QTreeWidgetItem *item : selected)
        item->setSelected(true);
    blockSignals(blocked);
}

} // namespace ui
