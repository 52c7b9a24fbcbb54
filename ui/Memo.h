// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>
#include <string>
#include <vector>

namespace ui {

// A multi-line text used as a list of lines. Lines are kept as bytes (names that
// need not be UTF-8) and shown decoded (ui::toQ).
class Memo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit Memo(QWidget *parent = nullptr);

    int lineCount() const { return static_cast<int>(m_lines.size()); }
    // The bytes of a line; empty past the last line.
    std::string line(int index) const;
    void addLine(const std::string &line);
    void clearLines();

private:
    std::vector<std::string> m_lines;
};

} // namespace ui
