// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>

namespace ui {

Form::Form(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

Form::~Form()
{
    if (m_loop)
        m_loop->quit();
}

int Form::showModal()
{
    if (m_loop)
        return mrNone;
    m_modalResult = mrNone;
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    m_loop = &loop;
    QPointer<Form> guard(this);
    loop.exec(QEventLoop::DialogExec);
    if (!guard)
        return mrCancel;
    m_loop = nullptr;
    hide();
    setWindowModality(Qt::NonModal);
    if (m_modalResult == mrNone)
        m_modalResult = mrCancel;
    return m_modalResult;
}

void Form::setModalResult(int result)
{
    m_modalResult = result;
    if (result != mrNone && m_loop)
        close();
}

void Form::setStayOnTop(bool onTop)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

void Form::setFixedBorder(bool fixed, int width, int height)
{
    if (fixed)
        setFixedSize(width, height);
    else
        resize(width, height);
}

void Form::setNoCloseBox()
{
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
                   & ~Qt::WindowCloseButtonHint);
}

void Form::closeEvent(QCloseEvent *event)
{
    if (!closeQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    closed();
    if (m_loop)
        m_loop->quit();
    emit formClosed();
}

void Form::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        shown();
}

void Form::keyPressEvent(QKeyEvent *event)
{
    // Escape does not close the program's windows; only their own controls do.
    QWidget::keyPressEvent(event);
}

} // namespace ui
