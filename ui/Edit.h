#pragma once

#include <QLineEdit>

namespace ui {

// One-line edit whose typed text is limited in bytes of the platform encoding (a
// double-byte character counts twice). Text set by the program is not limited.
class Edit : public QLineEdit {
    Q_OBJECT
public:
    explicit Edit(QWidget *parent = nullptr);

    void setMaxBytes(int bytes);
    int maxBytes() const { return m_maxBytes; }

private:
    int m_maxBytes = 0;
};

} // namespace ui
