#pragma once

#include <QPlainTextEdit>
#include <QStringList>

namespace ui {

// A multi-line text used as a list of lines.
class Memo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit Memo(QWidget *parent = nullptr);

    int lineCount() const { return static_cast<int>(m_lines.size()); }
    QString line(int index) const { return m_lines.value(index); }
    void addLine(const QString &line);
    void clearLines();

private:
    QStringList m_lines;
};

} // namespace ui
