// The main window's automation: change detection, watch mode and daemons.
#include "app/MainForm.h"

// Watch mode and the daemons arrive with the automation; until then these do nothing.
void TMainForm::SpeedAutoUpClick() {}
void TMainForm::TimerDemonTimer() {}
void TMainForm::BitBtnAutoUpDaemonClick() {}
void TMainForm::BitBtnAutoDownDaemonClick() {}
