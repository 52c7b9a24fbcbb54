// SPDX-License-Identifier: GPL-3.0-or-later
#include "VexmoraBuild.h"
#include "app/FileLocations.h"
#include "app/Startup.h"
#include "platform/IniProfile.h"
#include "platform/InstanceLock.h"
#include "ui/Language.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <cstdio>

namespace {

// --help and --version; every other option is refused by the parser.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();

    // folder: where the program keeps its files, shown in the help text.
    explicit CommandLine(const std::string &folder)
    {
        parser.setApplicationDescription(
            QStringLiteral(
                "Vexmora: ウェブサイトを FTP サーバーへ手動・自動でアップロードする FTP クライアント\n"
                "(a two-pane FTP client that uploads a web site by hand or automatically)\n\n"
                "設定とホスト一覧の保存先 (settings and accounts): %1\n\n"
                "表示言語はシステムのロケールに従い (ja* は日本語、それ以外は英語)、設定ファイル"
                "の [Params] Language=ja または Language=en で変えられます。\n"
                "(The interface follows the system locale: Japanese for ja*, English for any other;\n"
                "Language=ja or Language=en in section [Params] of the settings file overrides it.)")
                .arg(QString::fromStdString(folder)));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vexmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEXMORA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vexmora"));

    // --help and --version print and end without a window, so they work without
    // a display: they run under a console application, before any window system
    // is opened.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        CommandLine early({});
        early.parser.parse(arguments);
        if (early.parser.isSet(early.help) || early.parser.isSet(early.version)) {
            QCoreApplication console(argc, argv);
            CommandLine commandLine(
                ChooseFileLocation(QCoreApplication::applicationFilePath().toStdString()).folder);
            commandLine.parser.process(console); // prints and exits
            return 0;
        }
    }

    QApplication app(argc, argv);
    const FileLocation location = ChooseFileLocation(QCoreApplication::applicationFilePath().toStdString());
    CommandLine(location.folder).parser.process(app); // ends with a message on an unknown option
    // The interface's language: the setting "Language" in Params, else the
    // system locale (its first interface language: LANGUAGE, LC_ALL, LC_MESSAGES,
    // LANG). The program's translations are in translations/ beside the
    // executable in the build tree, under share/vexmora/ when installed.
    const std::string language = ui::chooseLanguage(
        platform::IniProfile(location.folder + "/Vexmora.INI").readString("Params", "Language", ""),
        QLocale::system().uiLanguages().value(0));
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!ui::installLanguage(language, {exeDir + QStringLiteral("/translations"),
                                        exeDir + QStringLiteral("/../share/vexmora/translations")}))
        std::fprintf(stderr, "vexmora: no translation for the language %s; the interface stays Japanese\n",
                     language.c_str());

    if (!PrepareFileFolder(location))
        std::fprintf(stderr, "vexmora: cannot create %s; settings will not be saved\n",
                     location.folder.c_str());

    StartupOptions options;
    options.exePath = location.filesPath;
    options.lockPath = platform::InstanceLock::defaultPath();
    return VexmoraMain(options, location.startFolder);
}
