// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ImageList.h"

namespace ui {

QIcon ImageList::icon(int index) const
{
    const auto it = m_icons.find(index);
    return it == m_icons.end() ? QIcon() : it->second;
}

} // namespace ui
