// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QToolButton>

namespace ui {

// A flat button that can stay down. Buttons sharing a non-zero group index behave
// like radio buttons: pressing one puts it down and releases the others, and a
// down button stays down when pressed again.
class SpeedButton : public QToolButton {
    Q_OBJECT
public:
    explicit SpeedButton(QWidget *parent = nullptr);

    void setGroupIndex(int group);
    int groupIndex() const { return m_group; }
    void setTag(int tag) { m_tag = tag; }
    int tag() const { return m_tag; }

    bool isDown() const { return isChecked(); }
    // Puts the button down (releasing the group's others) or up, without a click.
    void setDown(bool down);

private:
    void onClicked();

    int m_group = 0;
    int m_tag = 0;
};

} // namespace ui
