// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QLabel>
#include <vector>

namespace ui {

// A status bar of panels, or one simple text line across the whole width. A
// panel is never narrower than its width and grows with its text while the
// window has room; its tooltip shows the whole text. Text changes can be painted at once (repaintNow) so
// progress shows while the user-interface thread is busy. Every panel is one line high: a text is kept as
// given (panelText, simpleText) and drawn with its line breaks as blanks.
class StatusBar : public QFrame {
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    // Panel mode: one label per (minimum) width; the last one stretches.
    void setPanels(const std::vector<int> &widths);
    int panelCount() const { return static_cast<int>(m_panels.size()); }
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;

    // Simple mode: one line of text.
    void setSimplePanel(bool simple);
    void setSimpleText(const QString &text);
    QString simpleText() const { return m_simpleText; }

    void repaintNow();

private:
    std::vector<QLabel *> m_panels;
    std::vector<QString> m_texts;
    QLabel *m_simple;
    QString m_simpleText;
};

} // namespace ui
