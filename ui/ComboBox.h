#pragma once

#include <QComboBox>

namespace ui {

// An editable combo box addressed by item index. itemIndex() is -1 when the text
// in the edit is not the selected item (the user typed something else). Setting
// the index or the text from the program raises no signal; picked() fires only
// when the user chooses an entry from the list.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget *parent = nullptr);

    int itemIndex() const;
    void setItemIndex(int index);
    QString text() const { return currentText(); }
    void setText(const QString &text);

signals:
    void picked(int index);
};

} // namespace ui
