// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Application.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>

namespace ui {

namespace {
Cursor g_cursor = Cursor::Default;
}

void setScreenCursor(Cursor cursor)
{
    if (g_cursor != Cursor::Default)
        QGuiApplication::restoreOverrideCursor();
    g_cursor = cursor;
    if (cursor == Cursor::Hourglass)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (cursor == Cursor::NoEntry)
        QGuiApplication::setOverrideCursor(Qt::ForbiddenCursor);
}

Cursor screenCursor()
{
    return g_cursor;
}

void processPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void applyProgramFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(12);
    QApplication::setFont(font);
}

} // namespace ui
