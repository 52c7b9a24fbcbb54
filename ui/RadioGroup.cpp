// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RadioGroup.h"

#include <QGridLayout>

namespace ui {

RadioGroup::RadioGroup(const QString &caption, QWidget *parent) : QGroupBox(caption, parent)
{
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(3, 0, 1, 0);
    layout->setSpacing(0);
    // Narrow groups: keep the text close to its indicator.
    setStyleSheet(QStringLiteral("QRadioButton { spacing: 1px; }"));
    m_group.setExclusive(true);
    connect(&m_group, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
}

void RadioGroup::setItems(const QStringList &items)
{
    for (QRadioButton *b : m_buttons) {
        m_group.removeButton(b);
        delete b;
    }
    m_buttons.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto *b = new QRadioButton(items[i], this);
        b->setObjectName(QStringLiteral("%1_item%2").arg(objectName()).arg(i));
        m_group.addButton(b, i);
        m_buttons.push_back(b);
    }
    relayout();
}

void RadioGroup::setColumns(int columns)
{
    m_columns = columns < 1 ? 1 : columns;
    relayout();
}

QString RadioGroup::itemText(int index) const
{
    return index >= 0 && index < count() ? m_buttons[static_cast<size_t>(index)]->text() : QString();
}

int RadioGroup::itemIndex() const
{
    return m_group.checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (index >= 0 && index < count()) {
        m_buttons[static_cast<size_t>(index)]->setChecked(true);
        return;
    }
    // Exclusive groups refuse to uncheck their last button; lift that briefly.
    m_group.setExclusive(false);
    for (QRadioButton *b : m_buttons)
        b->setChecked(false);
    m_group.setExclusive(true);
}

void RadioGroup::relayout()
{
    auto *grid = static_cast<QGridLayout *>(layout());
    const int n = count();
    const int rows = (n + m_columns - 1) / m_columns;
    for (int i = 0; i < n; ++i) {
        grid->removeWidget(m_buttons[static_cast<size_t>(i)]);
        grid->addWidget(m_buttons[static_cast<size_t>(i)], rows ? i % rows : 0, rows ? i / rows : 0);
    }
}

} // namespace ui
