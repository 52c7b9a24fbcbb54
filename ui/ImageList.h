// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <map>

namespace ui {

// Icons addressed by image index, shared by actions, tool buttons and list rows.
class ImageList {
public:
    void set(int index, const QIcon &icon) { m_icons[index] = icon; }
    QIcon icon(int index) const;
    bool has(int index) const { return m_icons.count(index) != 0; }

private:
    std::map<int, QIcon> m_icons;
};

} // namespace ui
