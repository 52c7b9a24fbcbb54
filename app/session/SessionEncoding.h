// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Text.h"

#include <string>
#include <string_view>

// The encoding of the server's names: UTF-8 when the server announced UTF8 in
// FEAT, or while every name it has listed is valid UTF-8; CP932 once it has
// listed a name that is valid only as CP932 (a legacy Shift-JIS server), and
// also despite FEAT while the folder last listed holds such names (the
// listing is the evidence). Names from the server keep their exact bytes in
// every row; they are converted only where they cross to the local disk,
// whose names are UTF-8 (LocalNameFor, ServerNameFor).
class SessionEncoding {
public:
    // A connection was made to `account` (server and user). What was learnt from
    // the listings of the same account is kept across reconnects.
    void Connected(const std::string &account, bool utf8Announced);
    // A listing of the current folder begins: the names noted from now on are
    // the folder's evidence.
    void FolderListingStarted();
    // A name the server listed in the current folder.
    void NoteListedName(std::string_view name);
    ui::NameEncoding Encoding() const;

    // The local form of a server path ('/' separators): with CP932 names, each
    // part that is CP932 becomes its UTF-8 text, when that text goes back to
    // the same bytes (ServerNameFor); any other part keeps its bytes.
    std::string LocalNameFor(const std::string &serverName) const;
    // The server's form of a local path: with CP932 names, each UTF-8 part
    // becomes its CP932 bytes; a part without a CP932 form, or not UTF-8,
    // keeps its bytes.
    std::string ServerNameFor(const std::string &localName) const;

private:
    std::string m_account;
    bool m_utf8Announced = false;
    bool m_legacyNameSeen = false;
    bool m_legacyFolder = false;
};
