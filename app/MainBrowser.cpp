// The main window's file browser: lists, navigation, sorting and file operations.
#include "app/MainForm.h"

// Navigation, sorting and the file operations are wired with the browser; until
// then these handlers do nothing.
void TMainForm::LocalFileListVColumnClick(int) {}
void TMainForm::RemoteFileListVColumnClick(int) {}
void TMainForm::LocalFileListVDblClick() {}
void TMainForm::RemoteFileListVDblClick() {}
void TMainForm::UpDirectoryExecute() {}
void TMainForm::UpLDirectoryExecute() {}
void TMainForm::OpenDirBoxExecute() {}
void TMainForm::OpenDialogBoxExecute() {}
void TMainForm::DirEditKeyPress() {}
void TMainForm::ComboLocalDirChange() {}
void TMainForm::ComboCurrDirChange() {}
void TMainForm::MakeLDirClick() {}
void TMainForm::LocalRenameClick() {}
void TMainForm::LocalDeleteClick() {}
void TMainForm::MakeHDirClick() {}
void TMainForm::RemoteRenameClick() {}
void TMainForm::RemoteDeleteClick() {}
