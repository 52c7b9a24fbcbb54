// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows/Mssg.h"

#include "ui/Language.h"
#include "ui/Placement.h"
#include "ui/Timer.h"

#include <QLabel>
#include <QPushButton>

TMssgForm *MssgForm = nullptr;

TMssgForm::TMssgForm(QWidget *owner)
    : ui::Form(owner), MsgLabel(new QLabel(this)), ButtonOK(new QPushButton(QStringLiteral("msgA"), this)),
      ButtonNO(new QPushButton(QStringLiteral("msgB"), this)), Timer(new ui::Timer(this))
{
    MssgForm = this;
    setObjectName(QStringLiteral("MssgForm"));
    setWindowTitle(ui::translate("MssgForm", "メッセージフォーム"));
    // Title only: no system menu, no close, minimise or maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setStayOnTop(true);
    setFixedBorder(true, 277, 128);

    MsgLabel->setObjectName(QStringLiteral("MsgLabel"));
    MsgLabel->setGeometry(0, 0, 277, 89);
    MsgLabel->setAlignment(Qt::AlignCenter);
    MsgLabel->setWordWrap(true);
    MsgLabel->setTextFormat(Qt::PlainText);
    QFont labelFont;
    labelFont.setPixelSize(16);
    labelFont.setBold(true);
    MsgLabel->setFont(labelFont);
    QPalette labelPalette = MsgLabel->palette();
    labelPalette.setColor(QPalette::WindowText, Qt::red);
    MsgLabel->setPalette(labelPalette);

    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setGeometry(56, 96, 89, 25);
    ButtonOK->hide();
    connect(ButtonOK, &QPushButton::clicked, this, &TMssgForm::ButtonOKClick);

    ButtonNO->setObjectName(QStringLiteral("ButtonNO"));
    ButtonNO->setGeometry(152, 96, 81, 25);
    ButtonNO->hide();
    connect(ButtonNO, &QPushButton::clicked, this, &TMssgForm::ButtonNOClick);

    // The countdown only runs while the window is shown; showing switches it on.
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setEnabled(false);
    Timer->setInterval(1000);
    connect(Timer, &ui::Timer::timeout, this, &TMssgForm::TimerTimer);
}

TMssgForm::~TMssgForm()
{
    if (MssgForm == this)
        MssgForm = nullptr;
}

void TMssgForm::shown()
{
    ui::centerOn(this, parentWidget());
    FormShow();
}

void TMssgForm::FormShow()
{
    Timer->setEnabled(true);
    ElapsedTicks = 0;
}

void TMssgForm::TimerTimer()
{
    RemainingSeconds = CountdownSeconds - ElapsedTicks;
    setWindowTitle(ui::translate("MssgForm", "残り %1秒").arg(RemainingSeconds));
    ++ElapsedTicks;
    if (RemainingSeconds <= 0) {
        Answer = 1;
        CloseWith(mrNone);
    }
}

void TMssgForm::ButtonOKClick()
{
    Answer = 1;
    CloseWith(mrOk);
}

void TMssgForm::ButtonNOClick()
{
    Answer = 0;
    CloseWith(mrNo);
}

void TMssgForm::CloseWith(int result)
{
    m_closeAllowed = true;
    if (result != mrNone && isModalRunning())
        setModalResult(result);
    else
        close();
    m_closeAllowed = false;
}

bool TMssgForm::closeQuery()
{
    return m_closeAllowed;
}

void TMssgForm::closed()
{
    // A hidden window keeps no countdown running.
    Timer->setEnabled(false);
}
