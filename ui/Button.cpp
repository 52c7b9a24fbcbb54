// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Button.h"

namespace ui {

Button::Button(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

} // namespace ui
