// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Language.h"

#include "ui/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace ui {

namespace {

std::unique_ptr<QTranslator> g_program;
std::unique_ptr<QTranslator> g_qt;
std::string g_language = "ja";

void removeTranslator(std::unique_ptr<QTranslator> &translator)
{
    if (translator)
        QCoreApplication::removeTranslator(translator.get());
    translator.reset();
}

} // namespace

QString translate(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

std::string translated(const char *context, const char *source)
{
    return fromQ(translate(context, source));
}

QString fillQ(const QString &pattern, std::initializer_list<std::string> parts)
{
    std::vector<QString> shown;
    shown.reserve(parts.size());
    for (const std::string &part : parts)
        shown.push_back(toQ(part));
    QString result;
    result.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 1 < pattern.size()) {
            const int n = pattern.at(i + 1).digitValue();
            if (n >= 1 && static_cast<size_t>(n) <= shown.size()) {
                result += shown[static_cast<size_t>(n - 1)];
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

std::string fill(const QString &pattern, std::initializer_list<std::string> parts)
{
    return fromQ(fillQ(pattern, parts));
}

std::string chooseLanguage(const std::string &setting, const QString &localeName)
{
    const QString chosen = QString::fromStdString(setting).trimmed().toLower();
    if (chosen == u"ja" || chosen == u"en")
        return chosen.toStdString();
    return localeName.startsWith(u"ja", Qt::CaseInsensitive) ? "ja" : "en";
}

bool installLanguage(const std::string &language, const std::vector<QString> &folders)
{
    removeTranslator(g_program);
    removeTranslator(g_qt);
    g_language = "ja";
    const QString name = QString::fromStdString(language);

    // Qt's own texts (the standard buttons, the file dialog) in the language.
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        g_qt = std::move(qt);
    }
    if (language == "ja")
        return true;

    auto program = std::make_unique<QTranslator>();
    for (const QString &folder : folders) {
        if (program->load(QStringLiteral("vexmora_") + name, folder)) {
            QCoreApplication::installTranslator(program.get());
            g_program = std::move(program);
            g_language = language;
            return true;
        }
    }
    // Without the program's translation the interface stays Japanese, and so
    // do Qt's own texts beside it.
    installLanguage("ja", folders);
    return false;
}

std::string currentLanguage()
{
    return g_language;
}

} // namespace ui
