// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ComboBox.h"

#include "ui/Text.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace ui {

namespace {
constexpr int BytesRole = Qt::UserRole; // where addItem() puts its data
}

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setFocusPolicy(Qt::ClickFocus);
    connect(this, &QComboBox::activated, this, &ComboBox::picked);
    // Qt would pick an entry whose text the user happened to type when the edit
    // loses the focus, and complete typed text from the entries: what is typed
    // acts on Enter only, as typed.
    setCompleter(nullptr);
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    connect(lineEdit(), &QLineEdit::returnPressed, this, &ComboBox::entered);
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (!lineEdit()->hasFocus())
            restoreText();
    });
}

bool ComboBox::typedBytes(std::string &bytes) const
{
    const QString typed = currentText();
    if (typed == toQ(m_textBytes)) {
        bytes = m_textBytes;
        return true;
    }
    for (int i = 0; i < count(); ++i)
        if (itemText(i) == typed) {
            bytes = itemBytes(i);
            return true;
        }
    return false;
}

void ComboBox::restoreText()
{
    if (!lineEdit() || currentText() == toQ(m_textBytes))
        return;
    const QSignalBlocker block(this);
    const int index = findItemBytes(m_textBytes);
    if (index >= 0 && index != currentIndex())
        setCurrentIndex(index);
    setEditText(toQ(m_textBytes));
}

int ComboBox::itemIndex() const
{
    const int index = currentIndex();
    if (index < 0 || itemText(index) != currentText())
        return -1;
    return index;
}

void ComboBox::setItemIndex(int index)
{
    const QSignalBlocker block(this);
    if (index >= 0 && index < count()) {
        setCurrentIndex(index);
        m_textBytes = itemBytes(index);
    } else {
        setCurrentIndex(-1);
        if (lineEdit())
            lineEdit()->clear();
        m_textBytes.clear();
    }
}

void ComboBox::setText(const QString &text)
{
    const QSignalBlocker block(this);
    m_textBytes = fromQ(text);
    const int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        setCurrentIndex(index);
    else
        setEditText(text);
}

void ComboBox::setTextBytes(const std::string &bytes)
{
    const QSignalBlocker block(this);
    m_textBytes = bytes;
    const int index = findItemBytes(bytes);
    if (index >= 0)
        setCurrentIndex(index);
    else
        setEditText(toQ(bytes));
}

void ComboBox::addItemBytes(const std::string &bytes)
{
    addItem(toQ(bytes), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string ComboBox::itemBytes(int index) const
{
    if (index < 0 || index >= count())
        return {};
    const QVariant bytes = itemData(index, BytesRole);
    if (!bytes.isValid())
        return fromQ(itemText(index));
    const QByteArray raw = bytes.toByteArray();
    return std::string(raw.constData(), static_cast<size_t>(raw.size()));
}

int ComboBox::findItemBytes(const std::string &bytes) const
{
    for (int i = 0; i < count(); ++i)
        if (itemBytes(i) == bytes)
            return i;
    return -1;
}

} // namespace ui
