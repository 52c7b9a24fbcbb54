#include "app/Ftpfunc.h"

#include "app/MainForm.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"

void ShowStatus(const std::string &text, int panel)
{
    if (!MainForm)
        return;
    if (panel == 999)
        MainForm->StatusBar1->setSimpleText(ui::toQ(text));
    else
        MainForm->StatusBar->setPanelText(panel, ui::toQ(text));
}
