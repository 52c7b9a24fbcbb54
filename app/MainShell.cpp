// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's shell: construction, control inventory, settings file and
// the rules that enable and disable controls.
#include "app/MainForm.h"

#include "app/model/Ecypt.h"
#include "app/session/CertificateTrust.h"
#include "app/session/Ftpfunc.h"
#include "platform/IniProfile.h"
#include "platform/LocalFiles.h"
#include "ui/Application.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Language.h"
#include "ui/ListView.h"
#include "ui/Memo.h"
#include "ui/RadioGroup.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"
#include "ui/Timer.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TMainForm *MainForm = nullptr;

namespace {

const char *const Section = "Params";

// The executable's path with its extension replaced (or appended).
std::string replaceExtension(const std::string &path, const std::string &extension)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + extension;
    return path + extension;
}

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int x, int y)
{
    auto *label = named(new QLabel(text, parent), name);
    label->setTextFormat(Qt::PlainText);
    label->adjustSize();
    label->move(x, y);
    return label;
}

QToolButton *makeToolButton(QWidget *parent, const char *name, QAction *action)
{
    auto *button = named(new QToolButton(parent), name);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A glyph drawn on a coloured tile, for image indices without a fitting standard icon.
QIcon tileIcon(const QColor &color, const QString &glyph)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(color.darker(150));
    painter.drawRoundedRect(QRectF(2, 2, 28, 28), 5, 5);
    QFont font = painter.font();
    font.setPixelSize(glyph.size() > 1 ? 13 : 18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

// The widest texts a column shows: the pattern with every '#' one digit, for
// each digit, so that the widest digit of a proportional font decides.
QStringList widestDigitTexts(const QString &pattern)
{
    QStringList texts;
    for (char digit = '0'; digit <= '9'; ++digit)
        texts << QString(pattern).replace(QLatin1Char('#'), QLatin1Char(digit));
    return texts;
}

// Column widths as the settings file keeps them: "name,date,size" in pixels, 0
// for a column left at its default width.
std::string columnWidthsText(const ui::ListView *list, const std::array<int, 3> &defaults)
{
    std::string text;
    for (int column = 0; column < 3; ++column) {
        const int width = list->columnWidth(column);
        if (column)
            text += ',';
        text += std::to_string(width == defaults[static_cast<size_t>(column)] ? 0 : width);
    }
    return text;
}

void applyColumnWidths(ui::ListView *list, const std::string &text)
{
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    for (int column = 0; column < 3 && column < parts.size(); ++column) {
        bool ok = false;
        const int width = parts[column].trimmed().toInt(&ok);
        if (ok && width > 0 && width <= 4000)
            list->setColumnWidth(column, std::max(width, list->columnMinWidth(column)));
    }
}

// A control's own enabled flag, whatever its parents say (a disabled tool bar
// must not make the buttons on it read as disabled).
bool ownEnabled(const QWidget *widget)
{
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

} // namespace

TMainForm::TMainForm(const std::string &exePath, const std::string &startDir, QWidget *parent)
    : ui::Form(parent), ExePath(exePath), IniPath(replaceExtension(exePath, ".INI")),
      HostListPath(replaceExtension(exePath, ".H$$")), ProgramDir(platform::folderOf(exePath)),
      StartDir(startDir)
{
    MainForm = this;
    BeginUserAction();
    setObjectName(QStringLiteral("MainForm"));
    resize(640, 541);

    buildImages();
    buildActions();
    buildTopPanel();
    buildPanes();
    buildStatusBars();
    TimerDemon = new ui::Timer(this);
    TimerDemon->setObjectName(QStringLiteral("TimerDemon"));
    TimerDemon->setInterval(0);
    connectHandlers();
    BuildHistoryParts();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // What a crash during an earlier save left beside the files.
    platform::removeStaleTemporaries(IniPath);
    platform::removeStaleTemporaries(HostListPath);
    platform::removeStaleTemporaries(TrustedCertificatesPath(IniPath));
    LoadSettings();
    HostEdited = false;
    HostListSaved = false;
    RestorePassword();
    FormCreate();
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::buildImages()
{
    QStyle *style = QApplication::style();
    ImageList1.set(0, style->standardIcon(QStyle::SP_ArrowUp));
    ImageList1.set(1, style->standardIcon(QStyle::SP_ArrowDown));
    ImageList1.set(2, style->standardIcon(QStyle::SP_DialogCloseButton));
    ImageList1.set(4, style->standardIcon(QStyle::SP_FileDialogToParent));
    ImageList1.set(5, style->standardIcon(QStyle::SP_DirOpenIcon));
    ImageList1.set(8, style->standardIcon(QStyle::SP_FileDialogDetailedView));
    ImageList1.set(9, style->standardIcon(QStyle::SP_DirIcon));
    ImageList1.set(10, style->standardIcon(QStyle::SP_FileIcon));
    ImageList1.set(15, tileIcon(QColor(0x2e, 0x8b, 0x57), QCoreApplication::translate("MainFormIcon", "接")));
    ImageList1.set(16, tileIcon(QColor(0xb2, 0x22, 0x22), QCoreApplication::translate("MainFormIcon", "断")));
    ImageList1.set(21, tileIcon(QColor(0xff, 0x8c, 0x00), QCoreApplication::translate("MainFormIcon", "自")));
    ImageList1.set(23, tileIcon(QColor(0x46, 0x82, 0xb4), QStringLiteral("↻")));
    ImageList1.set(30, style->standardIcon(QStyle::SP_DialogOpenButton));
    ImageList1.set(32, tileIcon(QColor(0x6a, 0x5a, 0xcd), QCoreApplication::translate("MainFormIcon", "全")));
    ImageList1.set(35, style->standardIcon(QStyle::SP_TrashIcon));
}

void TMainForm::buildActions()
{
    auto make = [this](QAction *&action, const char *name, const QString &caption, const QString &hint,
                       int image) {
        action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setText(caption);
        action->setToolTip(hint.isEmpty() ? caption : hint);
        action->setStatusTip(hint);
        action->setIcon(ImageList1.icon(image));
        action->setProperty("imageIndex", image);
    };
    make(Upload, "Upload", QStringLiteral("Upload"), ui::translate("MainForm", "ｼﾝﾌﾟﾙｱﾌﾟﾛｰﾄﾞ"), 0);
    make(Dounload, "Dounload", QStringLiteral("Dounload"), ui::translate("MainForm", "ダウンロード"), 1);
    make(CloseAppri, "CloseAppri", ui::translate("MainForm", "終了"), ui::translate("MainForm", "終了"), 2);
    make(UpDirectory, "UpDirectory", {}, {}, 4);
    make(UpLDirectory, "UpLDirectory", {}, ui::translate("MainForm", "一つ上のﾌｫﾙﾀﾞに上がる"), 4);
    make(OpenDirBox, "OpenDirBox", {}, ui::translate("MainForm", "ﾌｫﾙﾀﾞｵｰﾌﾟﾝ"), 5);
    make(OpenHostList, "OpenHostList", ui::translate("MainForm", "ホスト一覧"),
         ui::translate("MainForm", "ホスト一覧"), 8);
    make(ConnectAction, "ConnectAction", ui::translate("MainForm", "接続"), ui::translate("MainForm", "接続"),
         15);
    make(DisconnectAction, "DisconnectAction", ui::translate("MainForm", "切断"),
         ui::translate("MainForm", "切断"), 16);
    make(WatchAction, "WatchAction", ui::translate("MainForm", "自動UP"), ui::translate("MainForm", "自動UP"),
         21);
    make(ActLoopUpload, "ActLoopUpload", QStringLiteral("ActLoopUpload"),
         ui::translate("MainForm", "ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞ"), 23);
    make(OpenDialogBox, "OpenDialogBox", {}, ui::translate("MainForm", "ﾌｧｲﾙからﾌｫﾙﾀﾞｵｰﾌﾟﾝ"), 30);
    make(ReUpload, "ReUpload", QStringLiteral("ReUpload"), ui::translate("MainForm", "全ｱﾌﾟﾛｰﾄﾞ"), 32);
    make(ActionDelBackup, "ActionDelBackup", ui::translate("MainForm", "ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの削除"), {}, 35);
}

void TMainForm::buildTopPanel()
{
    PanelTop = named(new QFrame(this), "PanelTop");
    PanelTop->setFixedHeight(113);

    Label1 = makeLabel(PanelTop, "Label1", ui::translate("MainForm", "ホスト名"), 24, 2);
    Label2 = makeLabel(PanelTop, "Label2", ui::translate("MainForm", "ユーザー名"), 6, 28);
    Label3 = makeLabel(PanelTop, "Label3", ui::translate("MainForm", "パスワード"), 7, 52);

    auto makeEdit = [this](const char *name, int y) {
        auto *edit = named(new ui::Edit(PanelTop), name);
        edit->setGeometry(68, y, 189, 20);
        edit->setFocusPolicy(Qt::ClickFocus);
        return edit;
    };
    EHost = makeEdit("EHost", 2);
    EUserId = makeEdit("EUserId", 28);
    EPassword = makeEdit("EPassword", 52);
    EPassword->setEchoMode(QLineEdit::Password);

    Mode = named(new ui::RadioGroup(QStringLiteral("Mode"), PanelTop), "Mode");
    Mode->setItems({QStringLiteral("ASCII"), QStringLiteral("BINARY"), QStringLiteral("AUTO")});
    Mode->setGeometry(264, 2, 73, 78);
    Mode->setItemIndex(2);

    auto makeModeButton = [this](const char *name, const QString &caption, int tag, int x) {
        auto *button = named(new ui::SpeedButton(PanelTop), name);
        button->setGroupIndex(1);
        button->setTag(tag);
        button->setText(caption);
        button->setIcon(ImageList1.icon(21));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(16, 16));
        button->setGeometry(x, 4, 45, 39);
        return button;
    };
    SpeedNormalUp = makeModeButton("SpeedNormalUp", ui::translate("MainFormModeButton", "手動UP"), 0, 344);
    SpeedNormalUp->setIcon(ImageList1.icon(0));
    SpeedAutoUp = makeModeButton("SpeedAutoUp", ui::translate("MainFormModeButton", "自動UP"), 1, 387);
    SpeedAutoUp->setToolTip(ui::translate("MainForm", "自動UP"));
    SpeedNormalUp->setDown(true);

    Target = named(new ui::RadioGroup(ui::translate("MainForm", "対象"), PanelTop), "Target");
    Target->setItems({QStringLiteral("HTML"), ui::translate("MainForm", "全て")});
    Target->setColumns(2);
    Target->setGeometry(344, 45, 115, 35);
    Target->setItemIndex(1);

    Label4 = makeLabel(PanelTop, "Label4", ui::translate("MainForm", "自動UPﾀｲﾏｰ(秒)"), 479, 30);
    Label4->setFixedWidth(87);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    ComboTimer = named(new ui::ComboBox(PanelTop), "ComboTimer");
    for (int i = 1; i <= 10; ++i)
        ComboTimer->addItem(QString::number(i));
    ComboTimer->setGeometry(570, 27, 34, 20);
    // The interval boxes take only their listed values: nothing can be typed.
    ComboTimer->setEditable(false);
    ComboTimer->setItemIndex(DefaultTimerItem);

    LabelTimer = makeLabel(PanelTop, "LabelTimer", ui::translate("MainForm", "ﾙｰﾌﾟUPﾀｲﾏｰ(秒)"), 463, 57);
    LabelTimer->setFixedWidth(89);
    LabelTimer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    ComboLoopTimer = named(new ui::ComboBox(PanelTop), "ComboLoopTimer");
    ComboLoopTimer->setGeometry(555, 54, 48, 20);
    ComboLoopTimer->setEditable(false);

    LblCounter = makeLabel(PanelTop, "LblCounter", QStringLiteral(" "), 468, 44);
    LblCounter->setStyleSheet(QStringLiteral("color: black"));

    CheckUseThread = named(new QCheckBox(ui::translate("MainForm", "ｽﾚｯﾄﾞ使用"), PanelTop), "CheckUseThread");
    CheckUseThread->setLayoutDirection(Qt::RightToLeft);
    CheckUseThread->setFocusPolicy(Qt::NoFocus);
    CheckUseThread->setGeometry(528, 5, 73, 17);

    CheckSubFolders =
        named(new QCheckBox(ui::translate("MainForm", "ｻﾌﾞﾌｫﾙﾀﾞ含む"), PanelTop), "CheckSubFolders");
    CheckSubFolders->setLayoutDirection(Qt::RightToLeft);
    CheckSubFolders->setFocusPolicy(Qt::NoFocus);
    CheckSubFolders->setGeometry(434, 5, 92, 17);

    ToolBar1 = named(new QToolBar(PanelTop), "ToolBar1");
    ToolBar1->setIconSize(QSize(20, 20));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setGeometry(0, 113 - 28, 640, 28);
    auto addButton = [this](QToolButton *&button, const char *name, QAction *action) {
        button = makeToolButton(ToolBar1, name, action);
        ToolBar1->addWidget(button);
    };
    ToolBar1->addSeparator();
    addButton(ToolButtonSetHost, "ToolButtonSetHost", OpenHostList);
    ToolBar1->addSeparator();
    addButton(ToolButton5, "ToolButton5", ConnectAction);
    addButton(ToolButton6, "ToolButton6", DisconnectAction);
    ToolBar1->addSeparator();
    addButton(ToolButtonDownLoad, "ToolButtonDownLoad", Dounload);
    addButton(ToolButtonUpload, "ToolButtonUpload", Upload);
    addButton(LoopUpload, "LoopUpload", ActLoopUpload);
    ToolBar1->addSeparator();
    addButton(TB_ReUpload, "TB_ReUpload", ReUpload);
    addButton(ToolButton8, "ToolButton8", ActionDelBackup);
    addButton(ToolButton3, "ToolButton3", CloseAppri);
    ReUpload->setEnabled(false);
}

void TMainForm::buildPanes()
{
    PanelRemote = named(new QFrame(this), "PanelRemote");
    auto *paneLayout = new QHBoxLayout(PanelRemote);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = named(new QSplitter(Qt::Horizontal, PanelRemote), "Splitter1");
    Splitter1->setHandleWidth(2);
    Splitter1->setChildrenCollapsible(false);
    paneLayout->addWidget(Splitter1);

    auto makeList = [this](QWidget *parent, const char *name) {
        auto *list = named(new ui::ListView(parent), name);
        list->setImageList(&ImageList1);
        list->addColumn(ui::translate("MainForm", "名前"), 120, 50);
        list->addColumn(ui::translate("MainForm", "更新日時"), 80);
        list->addColumn(ui::translate("MainForm", "ｻｲｽﾞ"), 60, 50);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        return list;
    };
    auto makeStripButton = [](QWidget *parent, const char *name, QAction *action, int x) {
        auto *button = makeToolButton(parent, name, action);
        button->setGeometry(x, 1, 23, 22);
        return button;
    };

    // Left pane: local folder.
    PanelLocal = named(new QFrame(Splitter1), "PanelLocal");
    auto *localLayout = new QVBoxLayout(PanelLocal);
    localLayout->setContentsMargins(0, 0, 0, 0);
    localLayout->setSpacing(0);
    auto *localStrip = new QWidget(PanelLocal);
    localStrip->setFixedHeight(48);
    SpeedButtonOpenDialog = makeStripButton(localStrip, "SpeedButtonOpenDialog", OpenDialogBox, 1);
    SpeedOpenDirBox = makeStripButton(localStrip, "SpeedOpenDirBox", OpenDirBox, 25);
    SpeedLUpDir = makeStripButton(localStrip, "SpeedLUpDir", UpLDirectory, 49);
    DirEdit = named(new ui::Edit(localStrip), "DirEdit");
    ComboLocalDir = named(new ui::ComboBox(localStrip), "ComboLocalDir");
    BitBtnAutoUpDaemon = named(new QPushButton(QStringLiteral("DUp "), localStrip), "BitBtnAutoUpDaemon");
    BitBtnAutoUpDaemon->setToolTip(QStringLiteral("Daemon upload"));
    BitBtnAutoUpDaemon->setEnabled(false);
    BitBtnAutoUpDaemon->setVisible(false);
    auto *localStripLayout = new QVBoxLayout(localStrip);
    localStripLayout->setContentsMargins(74, 1, 1, 1);
    localStripLayout->setSpacing(2);
    localStripLayout->addWidget(DirEdit);
    localStripLayout->addStretch();
    ComboLocalDir->setParent(localStrip);
    localLayout->addWidget(localStrip);
    localLayout->addWidget(ComboLocalDir);
    LocalFileListV = makeList(PanelLocal, "LocalFileListV");
    LocalFileListV->setToolTip(ui::translate("MainForm", "ﾌｧｲﾙのあるﾌｫﾙﾀﾞｵｰﾌﾟﾝ"));
    localLayout->addWidget(LocalFileListV, 1);
    localStrip->setFixedHeight(25);

    // Right pane: remote folder.
    Panel2 = named(new QFrame(Splitter1), "Panel2");
    auto *remoteLayout = new QVBoxLayout(Panel2);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    remoteLayout->setSpacing(0);
    auto *remoteStrip = new QWidget(Panel2);
    remoteStrip->setFixedHeight(24);
    SpeedUpDir = makeStripButton(remoteStrip, "SpeedUpDir", UpDirectory, 1);
    cbPriodDown = named(new QCheckBox(ui::translate("MainForm", "ﾋﾟﾘｵﾄﾞﾀﾞｳﾝ"), remoteStrip), "cbPriodDown");
    cbPriodDown->setEnabled(false);
    BitBtnAutoDownDaemon =
        named(new QPushButton(QStringLiteral("DDown"), remoteStrip), "BitBtnAutoDownDaemon");
    BitBtnAutoDownDaemon->setToolTip(QStringLiteral("Daemon download"));
    BitBtnAutoDownDaemon->setEnabled(false);
    auto *remoteStripLayout = new QHBoxLayout(remoteStrip);
    remoteStripLayout->setContentsMargins(28, 1, 2, 1);
    remoteStripLayout->addStretch();
    remoteStripLayout->addWidget(cbPriodDown);
    remoteStripLayout->addWidget(BitBtnAutoDownDaemon);
    ComboCurrDir = named(new ui::ComboBox(Panel2), "ComboCurrDir");
    remoteLayout->addWidget(remoteStrip);
    remoteLayout->addWidget(ComboCurrDir);
    RemoteFileListV = makeList(Panel2, "RemoteFileListV");
    remoteLayout->addWidget(RemoteFileListV, 1);
    MemoDir = named(new ui::Memo(Panel2), "MemoDir");
    MemoDir->setVisible(false);

    // The date and size columns fit the longest date and a ten-digit size in
    // the lists' font.
    const int dateWidth = std::max(
        80, LocalFileListV->textColumnWidth(1, widestDigitTexts(QStringLiteral("####/##/## ##:##.##"))));
    const int sizeWidth =
        std::max(60, LocalFileListV->textColumnWidth(2, widestDigitTexts(QStringLiteral("##########"))));
    DefaultColumnWidths = {120, dateWidth, sizeWidth};
    for (ui::ListView *list : {LocalFileListV, RemoteFileListV}) {
        list->setColumnWidth(1, dateWidth);
        list->setColumnWidth(2, sizeWidth);
    }

    Splitter1->addWidget(PanelLocal);
    Splitter1->addWidget(Panel2);
    Splitter1->setSizes({288, 640 - 288 - 2});

    PMLocal = named(new QMenu(this), "PMLocal");
    MakeLDir = PMLocal->addAction(ui::translate("MainForm", "ﾌｫﾙﾀﾞ作成"));
    MakeLDir->setObjectName(QStringLiteral("MakeLDir"));
    LocalRename = PMLocal->addAction(ui::translate("MainForm", "名前変更"));
    LocalRename->setObjectName(QStringLiteral("LocalRename"));
    LocalDelete = PMLocal->addAction(ui::translate("MainForm", "削除"));
    LocalDelete->setObjectName(QStringLiteral("LocalDelete"));
    PMRemote = named(new QMenu(this), "PMRemote");
    MakeHDir = PMRemote->addAction(ui::translate("MainForm", "ﾌｫﾙﾀﾞ作成"));
    MakeHDir->setObjectName(QStringLiteral("MakeHDir"));
    RemoteRename = PMRemote->addAction(ui::translate("MainForm", "名前変更"));
    RemoteRename->setObjectName(QStringLiteral("RemoteRename"));
    RemoteDelete = PMRemote->addAction(ui::translate("MainForm", "削除"));
    RemoteDelete->setObjectName(QStringLiteral("RemoteDelete"));
}

void TMainForm::buildStatusBars()
{
    StatusBar = named(new ui::StatusBar(this), "StatusBar");
    StatusBar->setPanels({200, 140, 140, 50});
    StatusBar1 = named(new ui::StatusBar(this), "StatusBar1");
    StatusBar1->setSimplePanel(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelTop);
    layout->addWidget(PanelRemote, 1);
    layout->addWidget(StatusBar);
    layout->addWidget(StatusBar1);
}

void TMainForm::connectHandlers()
{
    connect(Upload, &QAction::triggered, this, &TMainForm::UploadExecute);
    connect(Dounload, &QAction::triggered, this, &TMainForm::DounloadExecute);
    connect(CloseAppri, &QAction::triggered, this, &TMainForm::CloseAppriExecute);
    connect(UpDirectory, &QAction::triggered, this, &TMainForm::UpDirectoryExecute);
    connect(UpLDirectory, &QAction::triggered, this, &TMainForm::UpLDirectoryExecute);
    connect(OpenDirBox, &QAction::triggered, this, &TMainForm::OpenDirBoxExecute);
    connect(OpenHostList, &QAction::triggered, this, &TMainForm::OpenHostListExecute);
    connect(ConnectAction, &QAction::triggered, this, &TMainForm::ConnectActionExecute);
    connect(DisconnectAction, &QAction::triggered, this, &TMainForm::DisconnectActionExecute);
    connect(WatchAction, &QAction::triggered, this, &TMainForm::WatchActionExecute);
    connect(ActLoopUpload, &QAction::triggered, this, &TMainForm::ActLoopUploadExecute);
    connect(OpenDialogBox, &QAction::triggered, this, &TMainForm::OpenDialogBoxExecute);
    connect(ReUpload, &QAction::triggered, this, &TMainForm::ReUploadExecute);
    connect(ActionDelBackup, &QAction::triggered, this, &TMainForm::ActionDelBackupExecute);

    connect(EHost, &QLineEdit::textChanged, this, &TMainForm::EHostChange);
    connect(EUserId, &QLineEdit::textChanged, this, &TMainForm::EUserIdChange);
    connect(SpeedNormalUp, &QToolButton::clicked, this, [this] { SpeedAutoUpClick(SpeedNormalUp); });
    connect(SpeedAutoUp, &QToolButton::clicked, this, [this] { SpeedAutoUpClick(SpeedAutoUp); });
    connect(ComboLoopTimer, &ui::ComboBox::picked, this, &TMainForm::ComboLoopTimerChange);
    connect(ComboLocalDir, &ui::ComboBox::picked, this, &TMainForm::ComboLocalDirChange);
    connect(ComboCurrDir, &ui::ComboBox::picked, this, &TMainForm::ComboCurrDirChange);
    connect(ComboLocalDir, &ui::ComboBox::entered, this, &TMainForm::ComboLocalDirEnter);
    connect(ComboCurrDir, &ui::ComboBox::entered, this, &TMainForm::ComboCurrDirEnter);
    connect(DirEdit, &QLineEdit::returnPressed, this, &TMainForm::DirEditKeyPress);
    connect(BitBtnAutoUpDaemon, &QPushButton::clicked, this, &TMainForm::BitBtnAutoUpDaemonClick);
    connect(BitBtnAutoDownDaemon, &QPushButton::clicked, this, &TMainForm::BitBtnAutoDownDaemonClick);
    connect(TimerDemon, &ui::Timer::timeout, this, &TMainForm::TimerDemonTimer);

    connect(LocalFileListV, &ui::ListView::rowClicked, this, &TMainForm::LocalFileListVClick);
    connect(RemoteFileListV, &ui::ListView::rowClicked, this, &TMainForm::RemoteFileListVClick);
    connect(LocalFileListV, &ui::ListView::rowDoubleClicked, this, &TMainForm::LocalFileListVDblClick);
    connect(RemoteFileListV, &ui::ListView::rowDoubleClicked, this, &TMainForm::RemoteFileListVDblClick);
    connect(LocalFileListV, &ui::ListView::columnClicked, this, &TMainForm::LocalFileListVColumnClick);
    connect(RemoteFileListV, &ui::ListView::columnClicked, this, &TMainForm::RemoteFileListVColumnClick);
    connect(LocalFileListV, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PMLocal->popup(LocalFileListV->viewport()->mapToGlobal(pos)); });
    connect(RemoteFileListV, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PMRemote->popup(RemoteFileListV->viewport()->mapToGlobal(pos)); });

    connect(MakeLDir, &QAction::triggered, this, &TMainForm::MakeLDirClick);
    connect(LocalRename, &QAction::triggered, this, &TMainForm::LocalRenameClick);
    connect(LocalDelete, &QAction::triggered, this, &TMainForm::LocalDeleteClick);
    connect(MakeHDir, &QAction::triggered, this, &TMainForm::MakeHDirClick);
    connect(RemoteRename, &QAction::triggered, this, &TMainForm::RemoteRenameClick);
    connect(RemoteDelete, &QAction::triggered, this, &TMainForm::RemoteDeleteClick);
}

// --- Window events ---

void TMainForm::FormCreate()
{
    EHost->setMaxBytes(79);
    EUserId->setMaxBytes(79);
    EPassword->setMaxBytes(79);
    UploadMode = 0;
    AutoUpAllowed = false;
    Connected = false;
    ApplyConnectionState();
}

void TMainForm::shown()
{
    // The window's OnShow runs on its first showing only (it is never hidden).
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    FormShow();
}

void TMainForm::FormShow()
{
    setWindowTitle(QString::fromUtf8(VersionCaption));
    ComboLoopTimer->clear();
    for (int seconds : LoopIntervalTable)
        ComboLoopTimer->addItem(QString::number(seconds));
    int selected = 0;
    for (size_t i = 0; i < LoopIntervalTable.size(); ++i)
        if (LoopIntervalTable[i] == LoopInterval) {
            selected = static_cast<int>(i);
            break;
        }
    ComboLoopTimer->setItemIndex(selected);
}

bool TMainForm::FormCloseQuery()
{
    if (Connected) {
        if (!ui::dialogs().confirm(
                ui::translate("MainForm", "ホストに接続中です。\n切断して終了してもいいですか？")))
            return false;
        DisconnectActionExecute();
        return true;
    }
    // A session whose connection was lost is remembered with its folders too.
    if (SessionFoldersShown)
        RememberShownFolders();
    StopAutomation();
    return true;
}

void TMainForm::FormClose()
{
    SaveSettings();
    LoadHostList(false);
    StoreCurrentHost();
    SaveHostList();
}

void TMainForm::CloseAppriExecute()
{
    close();
}

void TMainForm::WatchActionExecute() {}

// --- Settings ---

void TMainForm::LoadSettings()
{
    const platform::IniProfile ini(IniPath);
    Mode->setItemIndex(ini.readInt(Section, "ModeNum", 2));
    Target->setItemIndex(ini.readInt(Section, "Target", 1));
    LastRemoteDir = ini.readString(Section, "LastHDir", "");
    LastLocalDir = ini.readString(Section, "LastLDir", "");
    if (LastLocalDir.empty() || !platform::directoryExists(LastLocalDir))
        LastLocalDir = !StartDir.empty() && platform::directoryExists(StartDir) ? StartDir : ProgramDir;
    CheckUseThread->setChecked(ini.readInt(Section, "UseThread", CheckUseThread->isChecked() ? 1 : 0) != 0);
    CheckSubFolders->setChecked(ini.readInt(Section, "SubFolders", 0) != 0);
    LogFileEnabled = ini.readInt(Section, "LogFile", 0) != 0;
    EHost->setText(ui::toQ(ini.readString(Section, "HostName", ui::fromQ(EHost->text()))));
    EUserId->setText(ui::toQ(ini.readString(Section, "UserID", ui::fromQ(EUserId->text()))));
    // A value the boxes do not list reads as the default.
    const int timer = ini.readInt(Section, "Timer", DefaultTimerItem);
    ComboTimer->setItemIndex(timer >= 0 && timer < ComboTimer->count() ? timer : DefaultTimerItem);
    LoopInterval = ini.readInt(Section, "LoopTimer", 0);
    SetTransferConnections(ini.readInt(Section, "Connections", DefaultTransferConnections));
    SetSafeTransferSettings(ini.readInt(Section, "TempUploadMin", static_cast<int>(DefaultTempUploadMin)),
                            ini.readInt(Section, "KeepTimes", 1) != 0);
    SavePasswords = ini.readInt(Section, "SavePasswords", 1) == 0 ? 0 : 1;
    if (std::find(LoopIntervalTable.begin(), LoopIntervalTable.end(), LoopInterval)
        == LoopIntervalTable.end())
        LoopInterval = 0;
    applyColumnWidths(LocalFileListV, ini.readString(Section, "LocalColumns", ""));
    applyColumnWidths(RemoteFileListV, ini.readString(Section, "RemoteColumns", ""));
}

int TMainForm::TimerItem() const
{
    // Only a program's own setItemIndex(-1) can leave the box without an item.
    return ComboTimer->itemIndex() >= 0 ? ComboTimer->itemIndex() : DefaultTimerItem;
}

void TMainForm::SaveSettings()
{
    platform::IniProfile ini(IniPath);
    ini.beginUpdate();
    ini.writeInt(Section, "ModeNum", Mode->itemIndex());
    ini.writeString(Section, "LastHDir", LastRemoteDir);
    ini.writeString(Section, "LastLDir", LastLocalDir);
    ini.writeString(Section, "HostName", ui::fromQ(EHost->text()));
    ini.writeString(Section, "UserID", ui::fromQ(EUserId->text()));
    int status = 0;
    if (SavePasswords != 0)
        PasswordCipher = CryptPassword(ui::fromQ(EPassword->text()), status, 0);
    ini.writeInt(Section, "UseThread", CheckUseThread->isChecked() ? 1 : 0);
    ini.writeInt(Section, "SubFolders", CheckSubFolders->isChecked() ? 1 : 0);
    ini.writeInt(Section, "LogFile", LogFileEnabled ? 1 : 0);
    ini.writeInt(Section, "Timer", TimerItem());
    if (ComboLoopTimer->itemIndex() < 0)
        ComboLoopTimer->setItemIndex(0);
    const int loopIndex = ComboLoopTimer->itemIndex();
    if (loopIndex >= 0 && loopIndex < static_cast<int>(LoopIntervalTable.size()))
        LoopInterval = LoopIntervalTable[static_cast<size_t>(loopIndex)];
    ini.writeInt(Section, "LoopTimer", LoopInterval);
    ini.writeInt(Section, "Connections", TransferConnections());
    ini.writeInt(Section, "TempUploadMin",
                 static_cast<int>(std::clamp<int64_t>(TempUploadMin(), -1, INT32_MAX)));
    ini.writeInt(Section, "KeepTimes", KeepTimes() ? 1 : 0);
    ini.writeInt(Section, "SavePasswords", SavePasswords);
    ini.writeInt(Section, "Target", Target->itemIndex());
    ini.writeString(Section, "LocalColumns", columnWidthsText(LocalFileListV, DefaultColumnWidths));
    ini.writeString(Section, "RemoteColumns", columnWidthsText(RemoteFileListV, DefaultColumnWidths));
    ini.commit();
}

// --- Control state ---

void TMainForm::SetBusy(bool enabled)
{
    ui::setScreenCursor(enabled ? ui::Cursor::Default : ui::Cursor::Hourglass);
    ConnectAction->setEnabled(enabled);
    ToolBar1->setEnabled(enabled);
    if (enabled)
        SetToolButtonsEnabled(true); // undoes the watch's lock
    DisconnectAction->setEnabled(enabled);
    BitBtnAutoDownDaemon->setEnabled(enabled);
    cbPriodDown->setEnabled(ownEnabled(BitBtnAutoDownDaemon));
    BitBtnAutoUpDaemon->setEnabled(enabled);
    ToolButtonUpload->setEnabled(enabled);
    LoopUpload->setEnabled(ownEnabled(ToolButtonUpload) && LoopInterval != 0);
    ToolButtonDownLoad->setEnabled(enabled);
    PanelRemote->setEnabled(enabled);
    PanelLocal->setEnabled(enabled);
    SpeedUpDir->setEnabled(enabled);
    Mode->setEnabled(enabled);
    CheckSubFolders->setEnabled(enabled);
    PanelTop->setEnabled(enabled);
    ui::processPendingMessages();
}

void TMainForm::BeginBusy()
{
    if (BusyDepth == 0)
        BeginUserAction();
    ++BusyDepth;
    SetBusy(false);
}

// Busy sections nest: only the end of the outermost one unlocks the window, so
// a listing inside a transfer cannot hand the controls back to the user while
// the transfer still runs.
void TMainForm::EndBusy()
{
    if (BusyDepth > 0)
        --BusyDepth;
    ReleaseLocks();
}

void TMainForm::ReleaseLocks()
{
    if (BusyDepth > 0)
        return;
    SetBusy(true);
    ApplyConnectionState();
}

void TMainForm::ApplyConnectionState()
{
    DisconnectAction->setEnabled(Connected);
    ConnectAction->setEnabled(!Connected);
    if (!SpeedAutoUp->isDown())
        SpeedAutoUp->setEnabled(AutoUpAllowed);
    RemoteFileListV->setEnabled(Connected);
    LocalFileListV->setEnabled(Connected);
    ComboLocalDir->setEnabled(Connected);
    DirEdit->setEnabled(Connected);
    UpLDirectory->setEnabled(Connected);
    OpenDirBox->setEnabled(Connected);
    OpenDialogBox->setEnabled(Connected);
    Upload->setEnabled(Connected);
    LoopUpload->setEnabled(Connected && LoopInterval != 0);
    Dounload->setEnabled(Connected);
    ToolButtonSetHost->setEnabled(!Connected);
    SpeedUpDir->setEnabled(Connected);
    ComboCurrDir->setEnabled(Connected);
    EHost->setEnabled(!Connected);
    EUserId->setEnabled(!Connected);
    EPassword->setEnabled(!Connected);
    UpdateTransferButtons(0);
    UpdateTransferButtons(1);
    if (!ownEnabled(SpeedAutoUp) && Connected && LocalFileCount == 0)
        SpeedAutoUp->setEnabled(true);
    // A disabled "自動UP" says why.
    SpeedAutoUp->setToolTip(
        ownEnabled(SpeedAutoUp) || !Connected
            ? ui::translate("MainForm", "自動UP")
            : ui::translate("MainForm",
                            "自動UPは、今のﾛｰｶﾙとﾘﾓｰﾄのﾌｫﾙﾀﾞでｱｯﾌﾟﾛｰﾄﾞを行うと使えるようになります。\n"
                            "(ﾌｫﾙﾀﾞを移動すると、そこでｱｯﾌﾟﾛｰﾄﾞを行うまで使えません)"));
    // The daemons need a connection to work with.
    BitBtnAutoDownDaemon->setEnabled(Connected);
    cbPriodDown->setEnabled(Connected);
    BitBtnAutoUpDaemon->setEnabled(Connected);
}

void TMainForm::DisallowAutoUp()
{
    const bool wasUsable = AutoUpAllowed && Connected && !SpeedAutoUp->isDown();
    AutoUpAllowed = false;
    if (wasUsable)
        ShowStatus(ui::translated("MainForm",
                                  "ﾌｫﾙﾀﾞを移動したため、自動UPはこのﾌｫﾙﾀﾞでｱｯﾌﾟﾛｰﾄﾞを行うまで使えません。"),
                   999);
    // Inside a busy section its end shows the button's new state.
    if (BusyDepth == 0)
        ApplyConnectionState();
}

void TMainForm::UpdateTransferButtons(int side)
{
    // Without a connection the transfer buttons cannot act, so they do not look
    // as if they could (leaving the busy state enables them directly).
    if (!Connected) {
        ToolButtonUpload->setEnabled(false);
        LoopUpload->setEnabled(false);
        ToolButtonDownLoad->setEnabled(false);
        return;
    }
    if (side == 0) {
        ToolButtonUpload->setEnabled(SelectionCount(0) > 0);
        LoopUpload->setEnabled(ownEnabled(ToolButtonUpload));
        if (LoopInterval == 0)
            LoopUpload->setEnabled(false);
    } else {
        ToolButtonDownLoad->setEnabled(SelectionCount(1) > 0);
    }
}

int TMainForm::SelectionCount(int side) const
{
    return side == 0 ? LocalFileListV->selectedCount() : RemoteFileListV->selectedCount();
}

void TMainForm::LocalFileListVClick()
{
    UpdateTransferButtons(0);
}

void TMainForm::RemoteFileListVClick()
{
    UpdateTransferButtons(1);
}

void TMainForm::EHostChange()
{
    HostEdited = true;
}

void TMainForm::EUserIdChange()
{
    HostEdited = true;
}
