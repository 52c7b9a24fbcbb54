// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Text.h"

#include <string>
#include <string_view>

// The encoding of the names the user types for the server: UTF-8 when the server
// announced UTF8 in FEAT, or while every name it has listed is valid UTF-8; CP932
// once it has listed a name that is valid only as CP932 (a legacy Shift-JIS
// server). Names from the server are never re-encoded: their bytes are used as
// they came.
class SessionEncoding {
public:
    // A connection was made to `account` (server and user). What was learnt from
    // the listings of the same account is kept across reconnects.
    void Connected(const std::string &account, bool utf8Announced);
    // A name the server listed.
    void NoteListedName(std::string_view name);
    ui::NameEncoding Encoding() const;

private:
    std::string m_account;
    bool m_utf8Announced = false;
    bool m_legacyNameSeen = false;
};
