// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtDialogs.h"
#include "ui/Language.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {

const QString kTitle = QStringLiteral("Vexmora");

QWidget *parentWindow()
{
    return QApplication::activeWindow();
}

// Texts hold server replies and file names: "<a href=...>" in a reply is shown as
// it is, never as a link.
void setPlainText(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
}

bool askYesNo(QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, kTitle, text, QMessageBox::NoButton, parentWindow());
    setPlainText(box);
    QPushButton *yes = box.addButton(ui::translate("Dialogs", "はい"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(ui::translate("Dialogs", "いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

void QtDialogs::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::NoButton, parentWindow());
    setPlainText(box);
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool QtDialogs::confirm(const QString &text)
{
    return askYesNo(QMessageBox::Question, text);
}

bool QtDialogs::warnYesNo(const QString &text)
{
    return askYesNo(QMessageBox::Warning, text);
}

bool QtDialogs::input(const QString &caption, const QString &prompt, QString &value)
{
    QInputDialog dialog(parentWindow());
    dialog.setWindowTitle(caption.isEmpty() ? kTitle : caption);
    dialog.setLabelText(prompt);
    for (QLabel *label : dialog.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    dialog.setTextValue(value);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(ui::translate("Dialogs", "キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

bool QtDialogs::inputPassword(const QString &prompt, QString &value)
{
    QInputDialog dialog(parentWindow());
    dialog.setWindowTitle(kTitle);
    dialog.setLabelText(prompt);
    for (QLabel *label : dialog.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(ui::translate("Dialogs", "キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

QString QtDialogs::browseFolder(const QString &caption, const QString &start)
{
    return QFileDialog::getExistingDirectory(parentWindow(), caption.isEmpty() ? kTitle : caption, start);
}

QString QtDialogs::openFile(const QString &caption, const QString &start, const QString &filter)
{
    return QFileDialog::getOpenFileName(parentWindow(), caption.isEmpty() ? kTitle : caption, start, filter);
}

} // namespace ui
