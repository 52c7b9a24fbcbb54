// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Form.h"

#include <string>

class QColor;
class QLabel;

namespace ui {
class StatusBar;
}

// The stay-on-top monitor of the automatic upload without the worker thread: it
// counts the files sent since it was shown, turns red while an upload pass runs,
// names the last file sent (status panel 0) and shows the watch timer's activity
// bar (status panel 1, written by the automation).
//
// Closing it stops the automatic upload; the automation therefore hides it with
// hide(), never with close().
class TSingleAutoUpForm : public ui::Form {
    Q_OBJECT
public:
    explicit TSingleAutoUpForm(QWidget *owner = nullptr);
    ~TSingleAutoUpForm() override;

    // --- Controls ---
    QLabel *Label1;
    ui::StatusBar *StatusBarSingleUp; // panel 0: last file sent, panel 1: activity bar

    // The window's tag: files sent by the automatic upload since it was last shown.
    int UploadCount = 0;

    // --- Handlers and operations ---
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    // Shows the count on a white window; a non-empty text (the file just sent)
    // goes to status panel 0 once the count is not 0. Repaints at once.
    void ShowUploadCount(const std::string &text);
    // Places the window: 0 inside the main window's top-right corner, 1 at the
    // work area's top-right corner, anything else centred over the main window.
    void MoveFormPos(int position);
    // An upload pass is running: red window, white text, repainted at once.
    void ShowPassRunning();

protected:
    bool closeQuery() override;
    void closed() override;
    void shown() override;

private:
    void SetColors(const QColor &window, const QColor &text);
};

extern TSingleAutoUpForm *SingleAutoUpForm;
