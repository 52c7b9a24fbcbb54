// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SpeedButton.h"

namespace ui {

SpeedButton::SpeedButton(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QToolButton::clicked, this, &SpeedButton::onClicked);
}

void SpeedButton::setGroupIndex(int group)
{
    m_group = group;
    setCheckable(group != 0);
}

void SpeedButton::setDown(bool down)
{
    if (down && m_group != 0 && parentWidget()) {
        for (SpeedButton *other : parentWidget()->findChildren<SpeedButton *>(Qt::FindDirectChildrenOnly))
            if (other != this && other->m_group == m_group)
                other->setChecked(false);
    }
    setChecked(down);
}

void SpeedButton::onClicked()
{
    // A grouped button pressed while down stays down; pressing another releases the rest.
    if (m_group != 0)
        setDown(true);
}

} // namespace ui
