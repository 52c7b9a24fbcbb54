// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Form.h"

#include <cstdint>

class QLabel;
class QPushButton;

namespace ui {
class Timer;
}

// The timed question window: a stay-on-top dialog with two buttons that answers
// by itself when its countdown runs out. The loop upload fills in the label, the
// button captions and visibility, the caption and CountdownSeconds, shows it
// modally and then reads Answer (not the modal result).
//
// Only the two buttons and the countdown close it: it has no close box, and any
// other close request (keyboard, window manager) is refused.
class TMssgForm : public ui::Form {
    Q_OBJECT
public:
    explicit TMssgForm(QWidget *owner = nullptr);
    ~TMssgForm() override;

    // --- Controls ---
    QLabel *MsgLabel;
    QPushButton *ButtonOK; // first button: Answer 1, modal result 1
    QPushButton *ButtonNO; // second button: Answer 0, modal result 7
    ui::Timer *Timer;      // once a second while the window is shown

    // --- Fields ---
    int ElapsedTicks = 0;     // timer ticks since the window was last shown
    std::uint8_t Answer = 0;  // 1 = go on (first button or countdown), 0 = stop
    int CountdownSeconds = 0; // seconds after which the window answers 1 by itself
    int RemainingSeconds = 0; // CountdownSeconds - ElapsedTicks at the last tick

    // --- Handlers ---
    void FormShow();
    void TimerTimer();
    void ButtonOKClick();
    void ButtonNOClick();

protected:
    bool closeQuery() override;
    void closed() override;
    void shown() override;

private:
    // Closes the window on behalf of a button or the countdown.
    void CloseWith(int result);

    bool m_closeAllowed = false;
};

extern TMssgForm *MssgForm;
