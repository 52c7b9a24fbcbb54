// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Dialogs.h"

#include "ui/QtDialogs.h"

namespace ui {

namespace {
std::unique_ptr<Dialogs> &slot()
{
    static std::unique_ptr<Dialogs> current = std::make_unique<QtDialogs>();
    return current;
}
} // namespace

Dialogs &Dialogs::instance()
{
    return *slot();
}

std::unique_ptr<Dialogs> Dialogs::install(std::unique_ptr<Dialogs> dialogs)
{
    if (!dialogs)
        dialogs = std::make_unique<QtDialogs>();
    std::swap(slot(), dialogs);
    return dialogs;
}

} // namespace ui
