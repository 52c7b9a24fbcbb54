// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

// The tray icon while automatic work (watch or daemon) runs. Its look tells the
// state; its menu shows the main window or the history and stops the automatic
// work; a click shows the main window. Where the desktop has no tray the menu
// and the state are kept all the same, only nothing is shown.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    enum class State { Off, Watching, Sending, Failing };

    explicit TTrayIcon(QObject *parent = nullptr);
    ~TTrayIcon() override;

    // The state of automatic work as the tray shows it.
    static State StateOf(bool automatic, bool passRunning, bool failing);
    void SetState(State state);
    State CurrentState() const { return m_state; }
    QString ToolTip() const;
    QIcon StateIcon() const { return m_icon; }

    QMenu *Menu;
    QAction *ShowMainAction;
    QAction *ShowHistoryAction;
    QAction *StopAction;

signals:
    void showMainRequested();
    void showHistoryRequested();
    void stopRequested();
    // The state is on: the owner is asked every second whether it still is.
    void pollRequested();

private:
    State m_state = State::Off;
    QIcon m_icon;
    QSystemTrayIcon *m_tray = nullptr;
    QTimer *m_poll;
};
