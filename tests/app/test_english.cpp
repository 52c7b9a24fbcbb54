// SPDX-License-Identifier: GPL-3.0-or-later
// The English interface: the language chosen at start-up, and the windows and
// the messages of a session in English, every text fitting its control.
#include "app/MainForm.h"
#include "app/session/CertificateTrust.h"
#include "app/windows/History.h"
#include "app/windows/Hostlist.h"
#include "app/windows/Mssg.h"
#include "app/windows/Singleup.h"
#include "app/windows/TrayIcon.h"
#include "app/windows/Upanddown.h"
#include "platform/Tls.h"
#include "support/SessionFixture.h"
#include "ui/Edit.h"
#include "ui/Language.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

using testsupport::ScriptedDialogs;

namespace {

TEST(Language, SettingWinsOverTheLocaleAndOnlyJapaneseLocalesGiveJapanese)
{
    const struct {
        const char *setting, *locale, *language;
    } cases[] = {
        {"", "ja_JP", "ja"},   {"", "ja", "ja"},    {"", "en_US", "en"},   {"", "de_DE", "en"},
        {"", "C", "en"},       {"", "", "en"},      {"en", "ja_JP", "en"}, {"ja", "fr_FR", "ja"},
        {"EN", "ja_JP", "en"}, {" ja ", "C", "ja"}, {"fr", "ja_JP", "ja"}, {"fr", "en_GB", "en"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ui::chooseLanguage(c.setting, QString::fromLatin1(c.locale)), c.language)
            << "setting '" << c.setting << "', locale '" << c.locale << "'";
}

TEST(Language, PartsArePlacedByTheTranslationInOnePass)
{
    // The translation may put the parts in another order; a part that holds
    // "%2" (a file name) is not filled again.
    EXPECT_EQ(ui::fill(QStringLiteral("%2 then %1"), {"a%2", "b"}), "b then a%2");
    EXPECT_EQ(ui::fill(QStringLiteral("100% of %1"), {"x"}), "100% of x");
    EXPECT_EQ(ui::fill(QStringLiteral("%1%3"), {"x"}), "x%3");
}

bool hasJapanese(const QString &text)
{
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3000}-\\x{30ff}\\x{ff00}-\\x{ffef}\\x{4e00}-\\x{9fff}]"));
    return japanese.match(text).hasMatch();
}

::testing::AssertionResult english(const QString &text)
{
    if (hasJapanese(text))
        return ::testing::AssertionFailure() << "Japanese in \"" << text.toStdString() << "\"";
    return ::testing::AssertionSuccess();
}

QString where(const QWidget *widget)
{
    QString path;
    for (const QWidget *w = widget; w; w = w->parentWidget())
        path = w->objectName() + (path.isEmpty() ? QString() : QStringLiteral("/") + path);
    return path;
}

// The width a control's text needs, beside what the control draws around it.
int neededWidth(const QWidget *widget, const QString &text)
{
    const QFontMetrics metrics(widget->font());
    int width = 0;
    for (const QString &line : text.split(u'\n'))
        width = std::max(width, metrics.horizontalAdvance(line));
    if (qobject_cast<const QCheckBox *>(widget) || qobject_cast<const QRadioButton *>(widget))
        return static_cast<const QAbstractButton *>(widget)->sizeHint().width();
    if (qobject_cast<const QPushButton *>(widget))
        return width + widget->style()->pixelMetric(QStyle::PM_ButtonMargin)
               + 2 * widget->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return width;
}

int availableWidth(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->contentsRect().width() - 2 * label->margin() - label->indent();
    return widget->width();
}

// Every text a window shows (title, captions, tool tips, column heads, list
// items): none holds a Japanese character, and no label or button caption is
// wider than its control.
void checkWindow(QWidget *window)
{
    SCOPED_TRACE(window->objectName().toStdString());
    EXPECT_TRUE(english(window->windowTitle()));
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const std::string name = where(widget).toStdString();
        EXPECT_TRUE(english(widget->toolTip())) << name;
        QString text;
        bool measured = true; // a wrapped label or an icon-only tool button needs no width
        if (const auto *label = qobject_cast<QLabel *>(widget)) {
            text = label->text();
            measured = !label->wordWrap();
        } else if (const auto *button = qobject_cast<QAbstractButton *>(widget)) {
            text = button->text();
            const auto *tool = qobject_cast<QToolButton *>(widget);
            measured = !tool || tool->toolButtonStyle() != Qt::ToolButtonIconOnly;
        } else if (const auto *group = qobject_cast<QGroupBox *>(widget)) {
            text = group->title();
        } else if (const auto *tree = qobject_cast<QTreeWidget *>(widget)) {
            for (int c = 0; c < tree->columnCount(); ++c)
                EXPECT_TRUE(english(tree->headerItem()->text(c))) << name;
        } else if (const auto *box = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < box->count(); ++i)
                EXPECT_TRUE(english(box->itemText(i))) << name;
        }
        text.remove(u'&');
        EXPECT_TRUE(english(text)) << name;
        if (!text.isEmpty() && measured) {
            EXPECT_LE(neededWidth(widget, text), availableWidth(widget))
                << name << ": " << text.toStdString();
        }
    }
    for (const QAction *action : window->findChildren<QAction *>())
        for (const QString &text : {action->text(), action->toolTip(), action->statusTip()})
            EXPECT_TRUE(english(text)) << action->objectName().toStdString();
}

// The history window with an entry of every kind of pass, a failure among
// them: its captions, column heads and rows; and the tray icon's menu and tips.
void checkHistoryAndTray()
{
    for (const PassKind pass : {PassKind::Manual, PassKind::Watch, PassKind::Daemon, PassKind::Loop}) {
        const bool ok = pass != PassKind::Watch;
        MainForm->History.Add({QDateTime::currentMSecsSinceEpoch(), pass == PassKind::Daemon ? 1 : 0,
                               "index.html", 269, 1234, ok, ok ? "" : "550 Refused.", pass, 2});
    }
    MainForm->ShowHistoryExecute();
    THistoryForm *history = MainForm->HistoryWindow;
    ASSERT_TRUE(history && history->isVisible());
    history->Refresh();
    checkWindow(history);
    const QAbstractItemModel *rows = history->HistoryView->model();
    for (int c = 0; c < rows->columnCount(); ++c) {
        const QString head = rows->headerData(c, Qt::Horizontal).toString();
        EXPECT_FALSE(head.isEmpty() || hasJapanese(head)) << head.toStdString();
    }
    const QStringList lines = history->SelectionText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 4);
    for (const QString &line : lines)
        EXPECT_TRUE(english(line));
    // The refused file of the watch's pass, as the window and the log file show it.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &line) {
        return line.contains(u"\tUpload\tindex.html\t269\t1.23 s\tFailed: 550 Refused.\tAuto UP #2");
    })) << lines.join(u'\n').toStdString();
    history->close();

    for (const QAction *action : MainForm->Tray->Menu->actions())
        EXPECT_TRUE(english(action->text())) << action->objectName().toStdString();
    for (const auto state :
         {TTrayIcon::State::Watching, TTrayIcon::State::Sending, TTrayIcon::State::Failing}) {
        MainForm->Tray->SetState(state);
        EXPECT_TRUE(english(MainForm->Tray->ToolTip()));
    }
    MainForm->Tray->SetState(TTrayIcon::State::Off);
}

void checkAllWindows()
{
    for (QWidget *window : {static_cast<QWidget *>(MainForm), static_cast<QWidget *>(HostForm),
                            static_cast<QWidget *>(UpDownLoadForm), static_cast<QWidget *>(MssgForm),
                            static_cast<QWidget *>(SingleAutoUpForm)})
        checkWindow(window);
}

// The windows made in English: the translation is installed before the fixture
// builds them, and Japanese is put back after they are gone.
class EnglishTest : public testsupport::SessionTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui::installLanguage("en", {QStringLiteral(VEXMORA_TRANSLATIONS_DIR)}));
        SessionTest::SetUp();
    }
    void TearDown() override
    {
        SessionTest::TearDown();
        ui::installLanguage("ja", {});
    }
};

} // namespace

TEST_F(EnglishTest, WindowsAndMessagesOfASessionAreEnglishAndFitTheirControls)
{
    startServer();
    checkAllWindows();
    checkHistoryAndTray();

    // The messages of a session, from a missing field to the closing question.
    ScriptedDialogs &dialogs = app.dialogs();
    const QString host = form->EHost->text();
    form->EHost->clear();
    dialogs.expectMessage(QStringLiteral("Enter the host name."));
    form->ConnectActionExecute();
    form->EHost->setText(host);
    dialogs.expectMessage(QStringLiteral("No host is selected."));
    HostForm->ButtonSet->click();
    const QString password = form->EPassword->text();
    form->EPassword->setText(QStringLiteral("wrong"));
    dialogs.expectMessage(QStringLiteral("The password is incorrect."));
    dialogs.expectMessage(QStringLiteral("Could not open the host."));
    form->ConnectActionExecute();
    ASSERT_FALSE(form->Connected);
    form->EPassword->setText(password);
    form->ConnectActionExecute();
    ASSERT_TRUE(form->Connected) << panel(0);
    EXPECT_EQ(panel(1).rfind("Files=", 0), 0u) << panel(1);
    dialogs.expectConfirm({}, false);
    form->ActionDelBackupExecute();
    form->LoopInterval = 5;
    dialogs.expectConfirm({}, false);
    form->UploadExecute();
    // The certificate questions, for a self-signed certificate and for one that
    // differs from the one trusted before.
    // Host, port, subject, issuer, no dates, fingerprint and OpenSSL's verdict.
    const platform::CertificateInfo certificate{
        "127.0.0.1", 990, "CN=site", "CN=site", "", "", "AA:BB", 18, "self-signed certificate"};
    const std::string store = app.dir() + "/Vexmora.TRUST";
    dialogs.expectContaining(
        ScriptedDialogs::Kind::Confirm,
        QStringLiteral("Reason: The certificate is self-signed (self-signed certificate)"),
        ScriptedDialogs::Answer::No);
    EXPECT_FALSE(TrustCertificate(certificate, store));
    app.writeFile(store, "127.0.0.1:990 CC:DD\n");
    dialogs.expectContaining(ScriptedDialogs::Kind::Message,
                             QStringLiteral("Warning: the certificate of 127.0.0.1:990"));
    dialogs.expectConfirm({}, false);
    EXPECT_FALSE(TrustCertificate(certificate, store));
    dialogs.expectConfirm(QStringLiteral("Connected to a host.\nDisconnect and quit?"), false);
    EXPECT_FALSE(form->FormCloseQuery());
    dialogs.verifyAllMet();
    for (const ScriptedDialogs::Call &call : dialogs.calls())
        EXPECT_TRUE(english(call.text));
    // The status panels with the texts the session left in them.
    checkAllWindows();
}
