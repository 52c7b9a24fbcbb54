#include "ui/Memo.h"

namespace ui {

Memo::Memo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
}

void Memo::addLine(const QString &line)
{
    m_lines.append(line);
    appendPlainText(line);
}

void Memo::clearLines()
{
    m_lines.clear();
    clear();
}

} // namespace ui
