// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

class QWidget;

namespace ui {

// The desktop without its task bars, on the screen the window is on (the
// primary screen when the window has none yet).
QRect workArea(const QWidget *window);

// Outer bounds of a top-level window, title bar and frame included.
QRect windowBounds(const QWidget *window);

// Places the window's frame centred over the owner's frame, or over the work area
// when there is no owner. Odd differences round toward zero.
void centerOn(QWidget *window, const QWidget *owner);

} // namespace ui
