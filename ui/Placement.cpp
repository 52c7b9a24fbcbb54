// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ui {

QRect workArea(const QWidget *window)
{
    QScreen *screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QRect windowBounds(const QWidget *window)
{
    return window->frameGeometry();
}

void centerOn(QWidget *window, const QWidget *owner)
{
    const QRect area = owner ? windowBounds(owner) : workArea(window);
    const QRect bounds = windowBounds(window);
    window->move(area.x() + (area.width() - bounds.width()) / 2,
                 area.y() + (area.height() - bounds.height()) / 2);
}

} // namespace ui
