// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up entry: the single-instance question and the five windows.
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/windows/Hostlist.h"
#include "app/windows/Mssg.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "platform/InstanceLock.h"
#include "support/ScriptedDialogs.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString AlreadyRunning = QStringLiteral("Vexmora はすでに起動されています。\n複数起動を行いますか？");

} // namespace

TEST(Startup, ASecondCopyAsksAndNoEndsBeforeAnyWindow)
{
    QTemporaryDir dir;
    const std::string lockPath = dir.path().toStdString() + "/mutex_ID_for_Vexmora";
    platform::InstanceLock first(lockPath);
    ASSERT_EQ(first.result(), platform::InstanceLock::Result::Created);

    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->expectConfirm(AlreadyRunning, false);
    EXPECT_EQ(VexmoraMain({dir.path().toStdString() + "/Vexmora", lockPath}), 0);
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(HostForm, nullptr);
}

TEST(Startup, YesStartsAFullCopyWhoseCloseEndsTheLoop)
{
    QTemporaryDir dir;
    const std::string lockPath = dir.path().toStdString() + "/mutex_ID_for_Vexmora";
    platform::InstanceLock first(lockPath);

    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->expectConfirm(AlreadyRunning, true);
    // Closing with an empty password field shows the cipher's message once.
    dialogs->expectMessage(QStringLiteral("入力データが空です。"));
    bool sawWindows = false;
    QTimer::singleShot(0, [&] {
        sawWindows =
            MainForm && HostForm && UpDownLoadForm && MssgForm && SingleAutoUpForm && MainForm->isVisible();
        if (MainForm)
            MainForm->close();
    });
    EXPECT_EQ(VexmoraMain({dir.path().toStdString() + "/Vexmora", lockPath}), 0);
    EXPECT_TRUE(sawWindows);
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/Vexmora.INI")));
}

TEST(Startup, TheFirstCopyStartsWithoutAQuestionAndHoldsTheLock)
{
    QTemporaryDir dir;
    const std::string lockPath = dir.path().toStdString() + "/mutex_ID_for_Vexmora";
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->expectMessage(QStringLiteral("入力データが空です。"));
    platform::InstanceLock::Result during = platform::InstanceLock::Result::Created;
    QTimer::singleShot(0, [&] {
        platform::InstanceLock probe(lockPath);
        during = probe.result();
        MainForm->close();
    });
    EXPECT_EQ(VexmoraMain({dir.path().toStdString() + "/Vexmora", lockPath}), 0);
    EXPECT_EQ(during, platform::InstanceLock::Result::AlreadyExists);
    // The lock is released when the program ends.
    platform::InstanceLock after(lockPath);
    EXPECT_EQ(after.result(), platform::InstanceLock::Result::Created);
}

TEST(Startup, AFifoAtTheLockPathIsReportedAndTheProgramStillStarts)
{
    QTemporaryDir dir;
    const std::string lockPath = dir.path().toStdString() + "/mutex_ID_for_Vexmora";
    ASSERT_EQ(mkfifo(lockPath.c_str(), 0666), 0);
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->expectMessage(QStringLiteral("Mutexの作成に失敗しました。"));
    dialogs->expectMessage(QStringLiteral("入力データが空です。"));
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = MainForm && MainForm->isVisible();
        MainForm->close();
    });
    EXPECT_EQ(VexmoraMain({dir.path().toStdString() + "/Vexmora", lockPath}), 0);
    EXPECT_TRUE(shown);
}

// The toolkit's own dialogs speak the interface's language: the folder chooser
// the program opens shows Japanese buttons.
TEST(Startup, TheFolderChooserOfARunningProgramHasJapaneseButtons)
{
    QTemporaryDir dir;
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->expectMessage(QStringLiteral("入力データが空です。"));
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        QFileDialog chooser(MainForm);
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        chooser.setFileMode(QFileDialog::Directory);
        chooser.setOption(QFileDialog::ShowDirsOnly);
        for (const QAbstractButton *button : chooser.findChild<QDialogButtonBox *>()->buttons())
            buttons << button->text();
        MainForm->close();
    });
    EXPECT_EQ(VexmoraMain({dir.path().toStdString() + "/Vexmora", dir.path().toStdString() + "/lock"}), 0);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("キャンセル"), QStringLiteral("選択(&C)")}));
}
