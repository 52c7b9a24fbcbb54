// SPDX-License-Identifier: GPL-3.0-or-later
// The loop upload with the timed message window between rounds, against a real
// server.
#include "app/windows/Mssg.h"
#include "support/test_transfer_fixture.h"
#include "ui/ComboBox.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

using namespace transfertest;

namespace {

const QString LoopQuestion = QStringLiteral("ループアプロードを実行しますか？");

// Counts the showings of a window.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget *window) { window->installEventFilter(this); }
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

} // namespace

TEST_F(TransferTest, LoopIntervalChoiceDrivesTheLoopButtonAndTheUploadQuestion)
{
    writeLocal("a.html", "a");
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"a.html"}));
    form->LocalFileListVClick();

    form->ComboLoopTimer->setItemIndex(0);
    form->ComboLoopTimerChange();
    EXPECT_EQ(form->LoopInterval, 0);
    EXPECT_FALSE(form->LoopUpload->isEnabled());
    EXPECT_TRUE(form->ToolButtonUpload->isEnabled());
    form->ComboLoopTimer->setItemIndex(7);
    form->ComboLoopTimerChange();
    EXPECT_EQ(form->LoopInterval, 180);
    EXPECT_TRUE(form->LoopUpload->isEnabled());

    // With a loop interval the plain upload asks first; No sends nothing.
    app.dialogs().expectConfirm(
        QStringLiteral("ﾙｰﾌﾟUPﾀｲﾏｰが設定されています。\nここからはﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞはできませんでご注意下さい。\n"
                       "ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞは隣の腕時計のｺﾏﾝﾄﾎﾞﾀﾝから実行できます。"
                       "\n(※このﾒｯｾｰｼﾞを止めたい場合は、ﾙｰﾌﾟﾀｲﾏｰを 0 に設定して下さい。)"
                       "\n\nｼﾝﾌﾟﾙｱｯﾌﾟﾛｰﾄﾞを実行しますか？"),
        false);
    form->UploadExecute();
    EXPECT_FALSE(server.hasReceived("STOR"));
    app.dialogs().expectConfirm(LoopQuestion, false);
    form->ActLoopUploadExecute();
    EXPECT_FALSE(server.hasReceived("STOR"));
}

TEST_F(TransferTest, LoopUploadCountsDownUploadsAgainAndStopsOnRequest)
{
    writeLocal("dir/a.html", "a");
    ASSERT_NO_FATAL_FAILURE(connect());
    form->ComboLoopTimer->setItemIndex(1);
    form->ComboLoopTimerChange();
    ASSERT_EQ(form->LoopInterval, 20);
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"dir"}));

    ShowCounter shows(MssgForm);
    QStringList firstRound, secondRound;
    QString label, okCaption, noCaption;
    bool busyDuringLoop = false;
    int acted = 0;
    QObject::connect(MssgForm, &QWidget::windowTitleChanged, form, [&](const QString &title) {
        if (!title.startsWith(QStringLiteral("残り")))
            return;
        (shows.shows == 1 ? firstRound : secondRound) << title;
        // The second round runs in real time, so that its button beats the countdown.
        if (title == QStringLiteral("残り 0秒"))
            ui::Clock::setScale(1.0);
    });
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, form, [&] {
        if (!MssgForm->isVisible() || acted >= shows.shows)
            return;
        acted = shows.shows;
        if (acted == 1) {
            // Round one: let the countdown run out; a file added meanwhile goes next time.
            label = MssgForm->MsgLabel->text();
            okCaption = MssgForm->ButtonOK->text();
            noCaption = MssgForm->ButtonNO->text();
            busyDuringLoop = !form->PanelTop->isEnabled();
            testsupport::writeFileBytes(localPath("dir/b.html"), "b");
        } else if (acted == 2) {
            MssgForm->ButtonOK->click();
        } else {
            MssgForm->ButtonNO->click();
        }
    });
    driver.start(1);
    Watchdog watchdog([] {
        if (MssgForm->isVisible())
            MssgForm->ButtonNO->click();
    });

    app.dialogs().expectConfirm(LoopQuestion, true);
    form->ActLoopUploadExecute();
    driver.stop();
    ASSERT_FALSE(watchdog.fired());

    EXPECT_EQ(shows.shows, 3);
    QStringList countdown;
    for (int s = 20; s >= 0; --s)
        countdown << QStringLiteral("残り %1秒").arg(s);
    EXPECT_EQ(firstRound, countdown);
    EXPECT_TRUE(secondRound.isEmpty()) << "再アプロード answered before the first tick";
    EXPECT_EQ(label, QStringLiteral("20 秒経過すると自動的に\n再アプロードします。       "));
    EXPECT_EQ(okCaption, QStringLiteral("再アプロード"));
    EXPECT_EQ(noCaption, QStringLiteral("停止"));
    EXPECT_EQ(MssgForm->Answer, 0);

    // Three passes: the first, after the countdown, after the button; then 停止.
    EXPECT_EQ(countReceived("STOR dir/a.html"), 3);
    EXPECT_EQ(countReceived("STOR dir/b.html"), 2);
    EXPECT_EQ(served("dir/b.html"), "b");
    EXPECT_FALSE(form->AutoUpAllowed);

    // The busy state held the controls during the loop and released them at its end.
    EXPECT_TRUE(busyDuringLoop);
    EXPECT_TRUE(form->PanelTop->isEnabled());
    EXPECT_TRUE(form->ToolBar1->isEnabled());
    EXPECT_TRUE(form->ToolButtonUpload->isEnabled());
    EXPECT_TRUE(form->LoopUpload->isEnabled());
}

TEST_F(TransferTest, LoopUploadWithNothingSelectedEndsAfterTheQuestion)
{
    writeLocal("a.html", "a");
    ASSERT_NO_FATAL_FAILURE(connect());
    form->ComboLoopTimer->setItemIndex(1);
    form->ComboLoopTimerChange();
    form->LocalFileListV->clearSelection();
    app.dialogs().expectConfirm(LoopQuestion, true);
    form->ActLoopUploadExecute();
    EXPECT_FALSE(MssgForm->isVisible());
    EXPECT_FALSE(server.hasReceived("STOR"));
    EXPECT_TRUE(form->PanelTop->isEnabled());
}
