// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Form.h"

class QLabel;
class QPushButton;
class QWidget;

namespace ui {
class Button;
class ListView;
} // namespace ui

// The host list window: the user picks a stored account to put into the
// connection fields, or one to delete. The window only reports the choice, in
// two tags that the main window resets before and reads after a modal showing:
// Tag is the row to put into the fields, the tag of ButtonDelete the row to
// delete; -1 in either means nothing was chosen. Row i is host list entry i; the
// main window fills ListView1.
class THostForm : public ui::Form {
    Q_OBJECT
public:
    explicit THostForm(QWidget *owner = nullptr);
    ~THostForm() override;

    // --- Controls ---
    ui::ListView *ListView1; // columns "ホスト名" and "ユーザー名", single selection
    // Shown above the buttons while the passwords are kept in the file only.
    QLabel *LabelPasswordNotice;
    QWidget *Panel1;          // button panel along the bottom
    QPushButton *ButtonSet;   // "設定"
    ui::Button *ButtonDelete; // "削除"; its tag is the row to delete
    QPushButton *ButtonCancel;

    // The window's own tag: the row to put into the connection fields.
    int Tag = -1;

    // --- Handlers ---
    void ButtonSetClick();
    void ButtonDeleteClick();
    void ButtonCancelClick();

protected:
    void shown() override;

private:
    int SelectedRow() const;
};

extern THostForm *HostForm;

// The notice that no secret store keeps the passwords: they are only
// obfuscated in the host list file.
QString PasswordFileOnlyText();
