#include "ui/ComboBox.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace ui {

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setFocusPolicy(Qt::ClickFocus);
    connect(this, &QComboBox::activated, this, &ComboBox::picked);
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
    } else {
        setCurrentIndex(-1);
        if (lineEdit())
            lineEdit()->clear();
    }
}

void ComboBox::setText(const QString &text)
{
    const QSignalBlocker block(this);
    const int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        setCurrentIndex(index);
    else
        setEditText(text);
}

} // namespace ui
