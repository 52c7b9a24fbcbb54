// The main window's transfers: single transfer, backup store, transfer list,
// manual and loop upload.
#include "app/MainForm.h"

// The transfer commands arrive with the transfer engine; until then they do nothing.
void TMainForm::UploadExecute() {}
void TMainForm::DounloadExecute() {}
void TMainForm::ReUploadExecute() {}
void TMainForm::ActLoopUploadExecute() {}
void TMainForm::ActionDelBackupExecute() {}
void TMainForm::ComboLoopTimerChange() {}
