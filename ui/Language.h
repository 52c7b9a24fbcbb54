// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <initializer_list>
#include <string>
#include <vector>

namespace ui {

// Every text the program shows is written in Japanese in the code and passed
// through translate(), which returns it in the language chosen at start-up
// (unchanged for Japanese). A text built from parts is translated whole, with
// %1, %2, ... where the parts go, and filled with fill().

// The shown form of a source text of the context.
QString translate(const char *context, const char *source);
// The same as bytes of the platform encoding (UTF-8).
std::string translated(const char *context, const char *source);

// The pattern with %1..%9 replaced in one pass by the parts (shown forms of
// bytes, see displayText), so a part that itself holds "%2" stays as it is.
QString fillQ(const QString &pattern, std::initializer_list<std::string> parts);
std::string fill(const QString &pattern, std::initializer_list<std::string> parts);

// The language of the interface: "ja" or "en". The setting ("ja" or "en", in
// any case; anything else is no choice) wins; without one a locale whose name
// starts with "ja" gives Japanese and every other locale English.
std::string chooseLanguage(const std::string &setting, const QString &localeName);

// Installs the translations of the language: the program's own
// (vexmora_<language>.qm, looked for in the folders in order) and Qt's for its
// standard buttons and dialogs. Japanese needs no program translation. Replaces
// whatever an earlier call installed; false when the program's translation
// was not found (the interface then stays Japanese).
bool installLanguage(const std::string &language, const std::vector<QString> &folders);

// The language installLanguage last set ("ja" before any call).
std::string currentLanguage();

} // namespace ui
