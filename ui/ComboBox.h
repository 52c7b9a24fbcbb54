// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <string>

namespace ui {

// An editable combo box addressed by item index. itemIndex() is -1 when the text
// in the edit is not the selected item (the user typed something else). Setting
// the index or the text from the program raises no signal; picked() fires only
// when the user chooses an entry from the list.
//
// Entries and the program's text can be kept as bytes (names that need not be
// UTF-8): the box shows them decoded (ui::toQ) and gives the bytes back
// unchanged. What the user types into the edit never changes textBytes().
//
// Typed text acts only through Enter (entered()); leaving the edit without it
// shows the program's text again, so the box never keeps a text nobody acted on.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget *parent = nullptr);

    int itemIndex() const;
    // Selects an entry (or none for -1); textBytes() becomes its bytes.
    void setItemIndex(int index);
    QString text() const { return currentText(); }
    void setText(const QString &text);

    // Shows the bytes and keeps them as the program's text of the box.
    void setTextBytes(const std::string &bytes);
    // The text last set by the program (setText, setTextBytes, setItemIndex),
    // as bytes.
    const std::string &textBytes() const { return m_textBytes; }

    void addItemBytes(const std::string &bytes);
    // The bytes of an entry (an entry added as text: that text); empty when
    // there is no such entry.
    std::string itemBytes(int index) const;
    // The first entry with exactly these bytes, or -1.
    int findItemBytes(const std::string &bytes) const;

    // The text in the edit; typedBytes gives the bytes it stands for when it is
    // the program's text or an entry as shown (names need not be UTF-8), and
    // false for anything else the user typed.
    QString typedText() const { return currentText(); }
    bool typedBytes(std::string &bytes) const;
    // Shows textBytes() again in the edit.
    void restoreText();

signals:
    void picked(int index);
    // Enter in the edit, whatever it holds.
    void entered();

private:
    std::string m_textBytes;
};

} // namespace ui
