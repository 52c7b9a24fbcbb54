// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>
#include <vector>

namespace ui {

// A captioned group of radio buttons laid out in columns, addressed by item index
// (-1 = none selected).
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(const QString &caption, QWidget *parent = nullptr);

    void setItems(const QStringList &items);
    void setColumns(int columns);
    int count() const { return static_cast<int>(m_buttons.size()); }
    QString itemText(int index) const;

    int itemIndex() const;
    // An index outside the items selects nothing.
    void setItemIndex(int index);

signals:
    void clicked(int index);

private:
    void relayout();

    QButtonGroup m_group;
    std::vector<QRadioButton *> m_buttons;
    int m_columns = 1;
};

} // namespace ui
