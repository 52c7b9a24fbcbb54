// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StatusBar.h"

#include <QHBoxLayout>

namespace ui {

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

StatusBar::StatusBar(QWidget *parent) : QFrame(parent), m_simple(new QLabel(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    m_simple->setFrameShape(QFrame::Panel);
    m_simple->setFrameShadow(QFrame::Sunken);
    m_simple->setTextFormat(Qt::PlainText);
    layout->addWidget(m_simple, 1);
    m_simple->hide();
    setFixedHeight(19);
}

void StatusBar::setPanels(const std::vector<int> &widths)
{
    for (QLabel *l : m_panels)
        delete l;
    m_panels.clear();
    m_texts.assign(widths.size(), QString());
    auto *layout = static_cast<QHBoxLayout *>(this->layout());
    for (size_t i = 0; i < widths.size(); ++i) {
        auto *label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setObjectName(QStringLiteral("%1_panel%2").arg(objectName()).arg(i));
        // At least its width; as the window widens, a panel gets the room its
        // text asks for before the last one takes what is left.
        const bool last = i + 1 == widths.size();
        label->setMinimumWidth(widths[i]);
        layout->insertWidget(static_cast<int>(i), label, last ? 1 : 0);
        m_panels.push_back(label);
    }
    setSimplePanel(false);
}

void StatusBar::setPanelText(int panel, const QString &text)
{
    if (panel >= 0 && panel < panelCount()) {
        m_texts[static_cast<size_t>(panel)] = text;
        QLabel *label = m_panels[static_cast<size_t>(panel)];
        label->setText(oneLine(text));
        // The whole text, also where the panel cuts it; server texts are
        // never read as markup.
        label->setToolTip(
            text.isEmpty() ? QString()
                           : QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped()));
    }
}

QString StatusBar::panelText(int panel) const
{
    return panel >= 0 && panel < panelCount() ? m_texts[static_cast<size_t>(panel)] : QString();
}

void StatusBar::setSimplePanel(bool simple)
{
    m_simple->setVisible(simple);
    for (QLabel *l : m_panels)
        l->setVisible(!simple);
}

void StatusBar::setSimpleText(const QString &text)
{
    m_simpleText = text;
    m_simple->setText(oneLine(text));
}

void StatusBar::repaintNow()
{
    if (isVisible())
        repaint();
}

} // namespace ui
