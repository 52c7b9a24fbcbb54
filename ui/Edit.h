// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <string>

namespace ui {

// One-line edit whose typed text is limited in bytes of the platform encoding (a
// double-byte character counts twice). Text set by the program is not limited.
class Edit : public QLineEdit {
    Q_OBJECT
public:
    explicit Edit(QWidget *parent = nullptr);

    void setMaxBytes(int bytes);
    int maxBytes() const { return m_maxBytes; }

    // Shows bytes (a path that need not be UTF-8) decoded, and keeps them.
    void setTextBytes(const std::string &bytes);
    // The kept bytes while the edit still shows them; false once the text was
    // changed (typed) or set as text.
    bool textBytes(std::string &bytes) const;

private:
    int m_maxBytes = 0;
    std::string m_bytes;
    QString m_bytesShown;
    bool m_hasBytes = false;
};

} // namespace ui
