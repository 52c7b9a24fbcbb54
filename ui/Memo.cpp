// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Memo.h"

#include "ui/Text.h"

namespace ui {

Memo::Memo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
}

std::string Memo::line(int index) const
{
    return index >= 0 && index < lineCount() ? m_lines[static_cast<size_t>(index)] : std::string();
}

void Memo::addLine(const std::string &line)
{
    m_lines.push_back(line);
    appendPlainText(toQ(line));
}

void Memo::clearLines()
{
    m_lines.clear();
    clear();
}

} // namespace ui
