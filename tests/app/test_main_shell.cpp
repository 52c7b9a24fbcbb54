// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's shell: first-run defaults, the settings file, the control
// state rules and closing.
#include "app/MainForm.h"
#include "app/model/Ecypt.h"
#include "support/AppFixture.h"
#include "ui/Application.h"
#include "ui/ComboBox.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/RadioGroup.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using testsupport::AppFixture;

namespace {

const QString EmptyInput = QStringLiteral("入力データが空です。");

// Enabled as the user sees it (parents included).
bool usable(const QWidget *w)
{
    return w->isEnabled();
}

} // namespace

TEST(MainShell, FirstRunShowsTheDefaultsAndTheUnconnectedState)
{
    AppFixture app;
    TMainForm *f = app.showMainForm();

    EXPECT_EQ(f->windowTitle(), QStringLiteral("Vexmora Ver6.5 by_Pellowin"));
    EXPECT_EQ(f->Mode->itemIndex(), 2);
    EXPECT_EQ(f->Mode->itemText(2), QStringLiteral("AUTO"));
    EXPECT_EQ(f->Target->itemIndex(), 1);
    EXPECT_EQ(f->Target->itemText(1), QStringLiteral("全て"));
    EXPECT_EQ(f->ComboTimer->itemIndex(), 2);
    EXPECT_EQ(f->ComboTimer->text(), QStringLiteral("3"));
    EXPECT_EQ(f->LoopInterval, 0);
    ASSERT_EQ(f->ComboLoopTimer->count(), 8);
    EXPECT_EQ(f->ComboLoopTimer->itemText(7), QStringLiteral("180"));
    EXPECT_EQ(f->ComboLoopTimer->itemIndex(), 0);
    EXPECT_EQ(f->LastLocalDir, app.dir());
    EXPECT_FALSE(f->CheckUseThread->isChecked());
    EXPECT_FALSE(f->CheckSubFolders->isChecked());
    EXPECT_TRUE(f->EHost->text().isEmpty());
    EXPECT_TRUE(f->EUserId->text().isEmpty());
    EXPECT_TRUE(f->EPassword->text().isEmpty());
    EXPECT_TRUE(f->SpeedNormalUp->isDown());
    EXPECT_FALSE(f->SpeedAutoUp->isDown());
    EXPECT_FALSE(f->HostEdited);

    // Not connected: connect and the host list open, everything that needs a
    // server closed.
    EXPECT_TRUE(f->ConnectAction->isEnabled());
    EXPECT_FALSE(f->DisconnectAction->isEnabled());
    EXPECT_TRUE(usable(f->ToolButtonSetHost));
    EXPECT_FALSE(usable(f->LocalFileListV));
    EXPECT_FALSE(usable(f->RemoteFileListV));
    EXPECT_FALSE(usable(f->ComboLocalDir));
    EXPECT_FALSE(usable(f->ComboCurrDir));
    EXPECT_FALSE(usable(f->DirEdit));
    EXPECT_FALSE(f->Upload->isEnabled());
    EXPECT_FALSE(f->Dounload->isEnabled());
    EXPECT_FALSE(usable(f->LoopUpload));
    EXPECT_FALSE(usable(f->SpeedAutoUp));
    EXPECT_FALSE(usable(f->TB_ReUpload));
    EXPECT_TRUE(usable(f->EHost));
    EXPECT_TRUE(usable(f->EUserId));
    EXPECT_TRUE(usable(f->EPassword));
    EXPECT_FALSE(f->BitBtnAutoUpDaemon->isVisible());
    EXPECT_FALSE(usable(f->BitBtnAutoDownDaemon));
    EXPECT_FALSE(usable(f->cbPriodDown));
}

TEST(MainShell, EveryToolButtonAndActionHasAnIcon)
{
    AppFixture app;
    TMainForm *f = app.makeMainForm();
    for (int index : {0, 1, 2, 4, 5, 8, 9, 10, 15, 16, 21, 23, 30, 32, 35})
        EXPECT_FALSE(f->ImageList1.icon(index).isNull()) << index;
    for (QToolButton *b : f->findChildren<QToolButton *>())
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
    // The tool bar's order, left to right.
    QStringList order;
    for (QToolButton *b : f->ToolBar1->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly))
        if (!b->objectName().startsWith(QLatin1String("qt_")))
            order << b->objectName();
    EXPECT_EQ(order, (QStringList{"ToolButtonSetHost", "ToolButton5", "ToolButton6", "ToolButtonDownLoad",
                                  "ToolButtonUpload", "LoopUpload", "TB_ReUpload", "ToolButton8",
                                  "ToolButton3", "ToolButtonHistory"}));
}

TEST(MainShell, SettingsRoundTripInTheirKeyOrder)
{
    AppFixture app;
    QDir(QString::fromStdString(app.dir())).mkdir(QStringLiteral("site"));
    {
        TMainForm *f = app.showMainForm();
        f->Mode->setItemIndex(0);
        f->Target->setItemIndex(0);
        f->CheckUseThread->setChecked(true);
        f->CheckSubFolders->setChecked(true);
        f->EHost->setText(QStringLiteral("ftp.example.test"));
        f->EUserId->setText(QStringLiteral("ユーザー"));
        f->EPassword->setText(QStringLiteral("secret"));
        f->ComboTimer->setItemIndex(6);
        f->ComboLoopTimer->setItemIndex(3);
        f->LastLocalDir = app.dir() + "/site";
        f->LastRemoteDir = "/public_html";
        f->LocalFileListV->setColumnWidth(0, 201);
        f->RemoteFileListV->setColumnWidth(2, 151);
        f->SaveSettings();
        EXPECT_EQ(f->LoopInterval, 40);
        int status = -9;
        EXPECT_EQ(f->PasswordCipher, CryptPassword("secret", status, CipherEncrypt));
    }
    const std::string ini = app.readFile(app.iniPath());
    const char *keys[] = {"ModeNum=0",       "LastHDir=/public_html",
                          "LastLDir=",       "HostName=ftp.example.test",
                          "UserID=ユーザー", "UseThread=1",
                          "SubFolders=1",    "Timer=6",
                          "LoopTimer=40",    "Target=0"};
    size_t at = ini.find("[Params]");
    ASSERT_NE(at, std::string::npos) << ini;
    for (const char *key : keys) {
        const size_t next = ini.find(key, at);
        ASSERT_NE(next, std::string::npos) << key << " missing or out of order in\n" << ini;
        at = next;
    }
    // No password in the settings file, ever.
    EXPECT_EQ(ini.find("secret"), std::string::npos);

    TMainForm *g = app.showMainForm();
    EXPECT_EQ(g->Mode->itemIndex(), 0);
    EXPECT_EQ(g->Target->itemIndex(), 0);
    EXPECT_TRUE(g->CheckUseThread->isChecked());
    EXPECT_TRUE(g->CheckSubFolders->isChecked());
    EXPECT_EQ(g->EHost->text(), QStringLiteral("ftp.example.test"));
    EXPECT_EQ(g->EUserId->text(), QStringLiteral("ユーザー"));
    EXPECT_EQ(g->ComboTimer->text(), QStringLiteral("7"));
    EXPECT_EQ(g->LoopInterval, 40);
    EXPECT_EQ(g->ComboLoopTimer->itemIndex(), 3);
    EXPECT_EQ(g->LastLocalDir, app.dir() + "/site");
    EXPECT_EQ(g->LastRemoteDir, "/public_html");
    // Column widths the user set come back; the others stay at their defaults.
    EXPECT_EQ(g->LocalFileListV->columnWidth(0), 201);
    EXPECT_EQ(g->RemoteFileListV->columnWidth(2), 151);
    EXPECT_EQ(g->LocalFileListV->columnWidth(2), g->DefaultColumnWidths[2]);
    EXPECT_EQ(g->RemoteFileListV->columnWidth(0), 120);
    // Loading the host and user fields is not an edit by the user.
    EXPECT_FALSE(g->HostEdited);
}

// In the program's font the lists show the longest date and a ten-digit size
// whole, and a long status text gets its room as the window widens.
TEST(MainShell, ColumnsAndStatusPanelsShowTheirWholeTexts)
{
    ui::applyProgramFont();
    AppFixture app;
    TMainForm *f = app.showMainForm();
    for (char digit = '0'; digit <= '9'; ++digit)
        f->LocalFileListV->addRow(std::string(1, digit),
                                  {QStringLiteral("0000/00/00 00:00.00").replace(u'0', QLatin1Char(digit)),
                                   QString(10, QLatin1Char(digit))},
                                  10);
    // Qt's own measure of what a column's cells need.
    const QAbstractItemView *view = f->LocalFileListV;
    for (int column : {1, 2})
        EXPECT_GE(f->LocalFileListV->columnWidth(column), view->sizeHintForColumn(column)) << column;
    EXPECT_EQ(f->RemoteFileListV->columnWidth(1), f->LocalFileListV->columnWidth(1));

    const QString text = QStringLiteral("<ftpes://127.0.0.1:21203>へ接続しています。しばらくお待ち下さい。");
    f->StatusBar->setPanelText(0, text);
    const QLabel *panel0 = f->StatusBar->findChild<QLabel *>(QStringLiteral("StatusBar_panel0"));
    ASSERT_NE(panel0, nullptr);
    EXPECT_EQ(QTextDocumentFragment::fromHtml(panel0->toolTip()).toPlainText(), text);
    f->resize(1400, f->height());
    QCoreApplication::processEvents();
    EXPECT_GE(panel0->width(), panel0->sizeHint().width());
    f->resize(640, f->height());
    QCoreApplication::processEvents();
    EXPECT_GE(panel0->width(), 200);
}

TEST(MainShell, OddStoredValuesAreKeptAsTheRulesSay)
{
    AppFixture app;
    app.writeFile(app.iniPath(), "[params]\nTIMER=-1\nLoopTimer=45\nLastLDir=" + app.dir()
                                     + "/deleted\nModeNum=banana\nTarget=7\n");
    TMainForm *f = app.showMainForm();
    // Values the interval boxes do not list read as their defaults.
    EXPECT_EQ(f->ComboTimer->itemIndex(), 2);
    EXPECT_EQ(f->LoopInterval, 0);
    EXPECT_EQ(f->ComboLoopTimer->itemIndex(), 0);
    EXPECT_FALSE(usable(f->LoopUpload));
    EXPECT_EQ(f->LastLocalDir, app.dir());
    EXPECT_EQ(f->Mode->itemIndex(), 2);
    EXPECT_EQ(f->Target->itemIndex(), -1);

    app.dialogs().expectMessage(EmptyInput);
    f->SaveSettings();
    EXPECT_EQ(f->LoopInterval, 0);
    const std::string ini = app.readFile(app.iniPath());
    EXPECT_NE(ini.find("LoopTimer=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\nTimer=2"), std::string::npos) << ini;

    // Garbage in the file never stops the start.
    app.writeFile(app.iniPath(), std::string("\x01\xff[Params\n=\n[Params]\nModeNum\nTimer=\xe3\x81\n", 33));
    TMainForm *g = app.showMainForm();
    EXPECT_EQ(g->Mode->itemIndex(), 2);
    EXPECT_EQ(g->ComboTimer->itemIndex(), 2);
}

TEST(MainShell, ControlStateFollowsConnectionSelectionAndLoopInterval)
{
    AppFixture app;
    TMainForm *f = app.showMainForm();
    f->Connected = true;
    f->LocalFileListV->addRow({"a.html", "2001/01/02 03:04.05", "10"}, 10);
    f->LocalFileCount = 1;
    f->RemoteFileListV->addRow({"b.html", "2001/01/02 03:04.05", "10"}, 10);
    f->ApplyConnectionState();

    EXPECT_FALSE(f->ConnectAction->isEnabled());
    EXPECT_TRUE(f->DisconnectAction->isEnabled());
    EXPECT_FALSE(usable(f->ToolButtonSetHost));
    EXPECT_FALSE(usable(f->EHost));
    EXPECT_TRUE(usable(f->LocalFileListV));
    EXPECT_TRUE(usable(f->ComboCurrDir));
    // Nothing selected: no transfer buttons.
    EXPECT_FALSE(usable(f->ToolButtonUpload));
    EXPECT_FALSE(usable(f->ToolButtonDownLoad));
    EXPECT_FALSE(usable(f->LoopUpload));
    // Files listed and watch mode not allowed yet: the auto button stays off.
    EXPECT_FALSE(usable(f->SpeedAutoUp));

    f->LocalFileListV->selectRow(0);
    EXPECT_TRUE(usable(f->ToolButtonUpload));
    EXPECT_FALSE(usable(f->LoopUpload)) << "loop interval 0 keeps loop upload off";
    f->RemoteFileListV->selectRow(0);
    EXPECT_TRUE(usable(f->ToolButtonDownLoad));

    f->LoopInterval = 20;
    f->UpdateTransferButtons(0);
    EXPECT_TRUE(usable(f->LoopUpload));

    // A busy period disables everything and its end recomputes the rules.
    f->BeginBusy();
    EXPECT_FALSE(usable(f->ToolButtonUpload));
    EXPECT_FALSE(usable(f->LocalFileListV));
    EXPECT_FALSE(f->ConnectAction->isEnabled());
    f->EndBusy();
    EXPECT_TRUE(usable(f->ToolButtonUpload));
    EXPECT_TRUE(usable(f->LoopUpload));
    EXPECT_FALSE(f->ConnectAction->isEnabled());
    // Leaving the busy state opens the daemon download whatever the connection.
    EXPECT_TRUE(usable(f->BitBtnAutoDownDaemon));
    EXPECT_TRUE(usable(f->cbPriodDown));

    // An empty local folder lets the watch mode start even when not allowed.
    f->LocalFileListV->clear();
    f->LocalFileCount = 0;
    f->ApplyConnectionState();
    EXPECT_TRUE(usable(f->SpeedAutoUp));

    // Back to unconnected: the selection rules no longer act.
    f->Connected = false;
    f->BeginBusy();
    f->EndBusy();
    EXPECT_TRUE(f->ConnectAction->isEnabled());
    EXPECT_FALSE(usable(f->LocalFileListV));
    EXPECT_FALSE(usable(f->BitBtnAutoDownDaemon));
}

TEST(MainShell, EditingHostOrUserMarksTheAccountEdited)
{
    AppFixture app;
    TMainForm *f = app.showMainForm();
    EXPECT_FALSE(f->HostEdited);
    f->EUserId->setText(QStringLiteral("someone"));
    EXPECT_TRUE(f->HostEdited);
    f->HostEdited = false;
    f->EHost->setText(QStringLiteral("h"));
    EXPECT_TRUE(f->HostEdited);
    // Typing is limited to 79 bytes: a double-byte character counts twice.
    EXPECT_EQ(f->EHost->maxBytes(), 79);
    f->EHost->clear();
    f->EHost->setFocus();
    for (int i = 0; i < 30; ++i)
        f->EHost->insert(QStringLiteral("表"));
    EXPECT_EQ(f->EHost->text().toUtf8().size(), 78);
}

TEST(MainShell, ClosingSavesSettingsThenMergesTheAccountIntoTheStoredList)
{
    AppFixture app;
    TMainForm *f = app.showMainForm();
    f->EHost->setText(QStringLiteral("127.0.0.1:2121"));
    f->EUserId->setText(QStringLiteral("demo"));
    f->EPassword->setText(QStringLiteral("demo"));

    // Another copy stored an account meanwhile: closing loads the file first and keeps it.
    {
        ::HostList other;
        int status = 0;
        StoreAccount(other, "other.test", "me", CryptPassword("pw", status, CipherEncrypt), "/l", "/r");
        SaveHostListFile(other, app.hostListPath());
    }
    ASSERT_TRUE(f->close());
    EXPECT_NE(app.readFile(app.iniPath()).find("HostName=127.0.0.1:2121"), std::string::npos);
    ::HostList stored;
    ASSERT_TRUE(LoadHostListFile(stored, app.hostListPath(), false));
    EXPECT_EQ(stored.CountInUse(), 2);
    EXPECT_EQ(stored[0].HostName(), "other.test");
    EXPECT_EQ(stored[1].HostName(), "127.0.0.1:2121");
    EXPECT_EQ(PasswordFromCipher(stored[1].PasswordCipher()), "demo");

    // The next start fills the password of the remembered account.
    TMainForm *g = app.makeMainForm();
    EXPECT_EQ(g->EHost->text(), QStringLiteral("127.0.0.1:2121"));
    EXPECT_EQ(g->EPassword->text(), QStringLiteral("demo"));
}

TEST(MainShell, ClosingWithEmptyHostAndPasswordWarnsOnceAndStoresNoAccount)
{
    AppFixture app;
    TMainForm *f = app.showMainForm();
    app.dialogs().expectMessage(EmptyInput);
    ASSERT_TRUE(f->close());
    EXPECT_EQ(app.dialogs().count(testsupport::ScriptedDialogs::Kind::Message), 1);
    EXPECT_NE(app.readFile(app.iniPath()).find("[Params]"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(app.hostListPath())));
}

TEST(MainShell, ClosingWhileConnectedAsksAndNoKeepsTheWindowOpen)
{
    AppFixture app;
    TMainForm *f = app.showMainForm();
    f->Connected = true;
    app.dialogs().expectConfirm(QStringLiteral("ホストに接続中です。\n切断して終了してもいいですか？"),
                                false);
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(f->Connected);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(app.iniPath())));
    f->Connected = false;
}

TEST(MainShell, AProgramFolderThatCannotBeWrittenReportsTheHostFileAndKeepsRunning)
{
    testsupport::ScopedScriptedDialogs dialogs;
    const std::string exe = "/nonexistent-vexmora-folder/sub/Vexmora";
    {
        TMainForm f(exe);
        EXPECT_EQ(f.LastLocalDir, "/nonexistent-vexmora-folder/sub");
        f.EHost->setText(QStringLiteral("h"));
        f.EPassword->setText(QStringLiteral("p"));
        dialogs->expectMessage(
            QStringLiteral("/nonexistent-vexmora-folder/sub/Vexmora.H$$\nを開けませんでした。"));
        f.FormClose();
    }
}
