// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

namespace ui {

class ImageList;

// A report-style, read-only, multi-select list with whole-row selection. Rows
// carry an image index; columns carry an integer tag. Sorting is done by the
// caller's comparison, once, when asked (never automatically).
class ListView : public QTreeWidget {
    Q_OBJECT
public:
    using Compare = std::function<int(const QTreeWidgetItem *, const QTreeWidgetItem *)>;

    explicit ListView(QWidget *parent = nullptr);

    void setImageList(const ImageList *images) { m_images = images; }
    void addColumn(const QString &caption, int width, int minWidth = 0);

    // Appends a row: the caption, then the sub-item texts.
    QTreeWidgetItem *addRow(const QStringList &texts, int imageIndex);
    // Appends a row named by bytes: the caption shows them (ui::toQ), and
    // rowName() gives them back unchanged.
    QTreeWidgetItem *addRow(const std::string &name, const QStringList &subItems, int imageIndex);
    int rowCount() const { return topLevelItemCount(); }
    QTreeWidgetItem *row(int index) const { return topLevelItem(index); }
    static int imageIndex(const QTreeWidgetItem *item);
    // The exact bytes a row was named with; for a row added by its texts, the
    // caption in the platform encoding.
    static std::string rowName(const QTreeWidgetItem *item);

    int selectedCount() const;
    std::vector<int> selectedRows() const;
    void selectRow(int index, bool selected = true);

    int columnTag(int column) const;
    void setColumnTag(int column, int tag);
    int columnMinWidth(int column) const;
    // The width a column needs to show each of these texts (and its caption)
    // whole, measured with the list's own font and style.
    int textColumnWidth(int column, const QStringList &texts) const;

    // Reorders the rows by the comparison (negative: a before b); stable.
    void customSort(const Compare &compare);

signals:
    void rowClicked();
    void rowDoubleClicked();
    void columnClicked(int column);

private:
    const ImageList *m_images = nullptr;
    std::vector<int> m_columnTags;
    std::vector<int> m_columnMinWidths;
};

} // namespace ui
