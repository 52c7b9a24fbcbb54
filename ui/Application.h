// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ui {

enum class Cursor { Default, Hourglass, NoEntry };

// The screen cursor for the whole application.
void setScreenCursor(Cursor cursor);
Cursor screenCursor();

// Lets the window process every pending message (input, paint, timers).
void processPendingMessages();

// The font every window asks for: the Japanese proportional Gothic at 12 px.
void applyProgramFont();

} // namespace ui
