// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ui {

// Every sleep and timer interval of the program goes through this scale, which is
// 1 in the program; tests compress time by setting a smaller one.
class Clock {
public:
    static double scale();
    static void setScale(double scale);

    // Milliseconds of program time turned into real milliseconds (at least 1 for
    // a positive input, so a scaled timer never becomes "stopped").
    static int scaled(int milliseconds);

    // Blocks the calling thread for the scaled time.
    static void sleep(int milliseconds);
    // The same wait, but on the user-interface thread the windows keep painting
    // and timers keep firing meanwhile (an InterfaceWait); elsewhere a sleep.
    static void wait(int milliseconds);
};

} // namespace ui
