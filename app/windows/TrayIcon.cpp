// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows/TrayIcon.h"

#include "ui/Language.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// A round badge in the state's colour with a glyph, drawn rather than themed
// so that the three states always look different.
QIcon badge(const QColor &color, const QString &glyph)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 30, 30);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

} // namespace

TTrayIcon::TTrayIcon(QObject *parent)
    : QObject(parent), Menu(new QMenu),
      ShowMainAction(Menu->addAction(ui::translate("TrayIcon", "ﾒｲﾝ画面を表示"))),
      ShowHistoryAction(Menu->addAction(ui::translate("TrayIcon", "履歴"))), StopAction(nullptr),
      m_poll(new QTimer(this))
{
    setObjectName(QStringLiteral("TrayIcon"));
    Menu->addSeparator();
    StopAction = Menu->addAction(ui::translate("TrayIcon", "自動UPを停止"));
    ShowMainAction->setObjectName(QStringLiteral("TrayShowMain"));
    ShowHistoryAction->setObjectName(QStringLiteral("TrayShowHistory"));
    StopAction->setObjectName(QStringLiteral("TrayStop"));
    connect(ShowMainAction, &QAction::triggered, this, &TTrayIcon::showMainRequested);
    connect(ShowHistoryAction, &QAction::triggered, this, &TTrayIcon::showHistoryRequested);
    connect(StopAction, &QAction::triggered, this, &TTrayIcon::stopRequested);
    m_poll->setInterval(1000);
    connect(m_poll, &QTimer::timeout, this, &TTrayIcon::pollRequested);
}

TTrayIcon::~TTrayIcon()
{
    delete m_tray;
    delete Menu;
}

TTrayIcon::State TTrayIcon::StateOf(bool automatic, bool passRunning, bool failing)
{
    if (!automatic)
        return State::Off;
    if (failing)
        return State::Failing;
    return passRunning ? State::Sending : State::Watching;
}

QString TTrayIcon::ToolTip() const
{
    switch (m_state) {
    case State::Watching:
        return ui::translate("TrayIcon", "Vexmora - 自動UP 監視中");
    case State::Sending:
        return ui::translate("TrayIcon", "Vexmora - 自動UP 送信中");
    case State::Failing:
        return ui::translate("TrayIcon", "Vexmora - 自動UP 失敗あり");
    case State::Off:
        break;
    }
    return QStringLiteral("Vexmora");
}

void TTrayIcon::SetState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    switch (state) {
    case State::Watching:
        m_icon = badge(QColor(0x2e, 0x8b, 0x57), QStringLiteral("W"));
        break;
    case State::Sending:
        m_icon = badge(QColor(0x1e, 0x6f, 0xd9), QStringLiteral("↑"));
        break;
    case State::Failing:
        m_icon = badge(QColor(0xd0, 0x21, 0x21), QStringLiteral("!"));
        break;
    case State::Off:
        m_icon = QIcon();
        break;
    }
    if (state == State::Off) {
        m_poll->stop();
        if (m_tray)
            m_tray->hide();
        return;
    }
    m_poll->start();
    if (!m_tray && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon;
        m_tray->setContextMenu(Menu);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                emit showMainRequested();
        });
    }
    if (m_tray) {
        m_tray->setIcon(m_icon);
        m_tray->setToolTip(ToolTip());
        m_tray->show();
    }
}
