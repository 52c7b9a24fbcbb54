// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows/Singleup.h"

#include "app/MainForm.h"
#include "app/windows/Upanddown.h"
#include "ui/InterfaceWait.h"
#include "ui/Language.h"
#include "ui/Placement.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"

#include <QCheckBox>
#include <QLabel>

TSingleAutoUpForm *SingleAutoUpForm = nullptr;

TSingleAutoUpForm::TSingleAutoUpForm(QWidget *owner)
    : ui::Form(owner), Label1(new QLabel(ui::translate("SingleAutoUpForm", "起動回数"), this)),
      StatusBarSingleUp(new ui::StatusBar(this))
{
    SingleAutoUpForm = this;
    setObjectName(QStringLiteral("SingleAutoUpForm"));
    // Its close box ends the watch also while the watch waits.
    ui::acceptInputWhileWaiting(this);
    setWindowTitle(ui::translate("SingleAutoUpForm", "自動ｱﾌﾟﾛｰﾄﾞ監視中"));
    // Dialog frame with a close box: no minimise or maximise, fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setStayOnTop(true);
    setFixedBorder(true, 196, 55);
    setAutoFillBackground(true);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(0, 0, 196, 36);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setTextFormat(Qt::PlainText);
    QFont labelFont;
    labelFont.setPixelSize(16);
    labelFont.setBold(true);
    Label1->setFont(labelFont);

    StatusBarSingleUp->setObjectName(QStringLiteral("StatusBarSingleUp"));
    StatusBarSingleUp->setPanels({160, 50});
    StatusBarSingleUp->setGeometry(0, 36, 196, 19);

    SetColors(Qt::white, Qt::red);
}

TSingleAutoUpForm::~TSingleAutoUpForm()
{
    if (SingleAutoUpForm == this)
        SingleAutoUpForm = nullptr;
}

void TSingleAutoUpForm::SetColors(const QColor &window, const QColor &text)
{
    QPalette formPalette = palette();
    formPalette.setColor(QPalette::Window, window);
    setPalette(formPalette);
    QPalette labelPalette = Label1->palette();
    labelPalette.setColor(QPalette::WindowText, text);
    Label1->setPalette(labelPalette);
}

void TSingleAutoUpForm::shown()
{
    FormShow();
}

void TSingleAutoUpForm::FormShow()
{
    MoveFormPos(0);
    UploadCount = 0;
    // The watch cannot be switched to the worker thread while this window is up.
    if (MainForm)
        MainForm->CheckUseThread->setEnabled(false);
    const int tag = UpDownLoadForm ? UpDownLoadForm->Tag : 0;
    const int mode = UpDownLoadForm ? UpDownLoadForm->OperationCode : 0;
    setWindowTitle(QStringLiteral("Tag=%1 : Mode=%2").arg(tag).arg(mode));
    ShowUploadCount(std::string());
}

void TSingleAutoUpForm::ShowUploadCount(const std::string &text)
{
    SetColors(Qt::white, Qt::red);
    Label1->setText(
        ui::translate("SingleAutoUpForm", "起動回数：%1").arg(UploadCount, 5, 10, QLatin1Char('0')));
    if (UploadCount != 0 && !text.empty())
        StatusBarSingleUp->setPanelText(0, ui::toQ(text));
    repaint();
}

void TSingleAutoUpForm::ShowPassRunning()
{
    SetColors(Qt::red, Qt::white);
    repaint();
}

void TSingleAutoUpForm::MoveFormPos(int position)
{
    const QWidget *owner = parentWidget();
    const QRect main = owner ? ui::windowBounds(owner) : ui::workArea(this);
    const QRect area = ui::workArea(this);
    const QRect bounds = ui::windowBounds(this);
    switch (position) {
    case 0:
        move(main.x() + main.width() - bounds.width(), main.y());
        break;
    case 1:
        move(area.x() + area.width() - bounds.width(), area.y());
        break;
    default:
        move(main.x() + (main.width() - bounds.width()) / 2,
             main.y() + (main.height() - bounds.height()) / 2);
        break;
    }
}

bool TSingleAutoUpForm::FormCloseQuery()
{
    return true;
}

bool TSingleAutoUpForm::closeQuery()
{
    return FormCloseQuery();
}

void TSingleAutoUpForm::closed()
{
    FormClose();
}

void TSingleAutoUpForm::FormClose()
{
    // Closing the monitor ends the watch.
    if (MainForm)
        MainForm->StopAutomation();
}
