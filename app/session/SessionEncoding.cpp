// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/SessionEncoding.h"

#include <algorithm>

namespace {

bool isAscii(std::string_view part)
{
    return std::all_of(part.begin(), part.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Applies `convert` to each '/'-separated part of a path. A CP932 character
// never holds the byte '/', so the parts of either form are the same parts.
template <typename Convert> std::string eachPart(const std::string &path, Convert convert)
{
    std::string result;
    result.reserve(path.size() + path.size() / 2);
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        result += isAscii(part) ? part : convert(part);
        if (slash == std::string::npos)
            return result;
        result += '/';
        start = slash + 1;
    }
}

} // namespace

void SessionEncoding::Connected(const std::string &account, bool utf8Announced)
{
    if (account != m_account)
        m_legacyNameSeen = false;
    m_account = account;
    m_utf8Announced = utf8Announced;
    m_legacyFolder = false;
}

void SessionEncoding::FolderListingStarted()
{
    m_legacyFolder = false;
}

void SessionEncoding::NoteListedName(std::string_view name)
{
    if (m_legacyFolder || !ui::isCp932Only(std::string(name)))
        return;
    m_legacyNameSeen = true;
    m_legacyFolder = true;
}

ui::NameEncoding SessionEncoding::Encoding() const
{
    if (m_legacyFolder || (m_legacyNameSeen && !m_utf8Announced))
        return ui::NameEncoding::Cp932;
    return ui::NameEncoding::Utf8;
}

std::string SessionEncoding::LocalNameFor(const std::string &serverName) const
{
    if (Encoding() != ui::NameEncoding::Cp932)
        return serverName;
    return eachPart(serverName, [](const std::string &part) {
        if (!ui::isCp932Only(part))
            return part;
        // Only a name whose UTF-8 form goes back to the same bytes is converted:
        // what is uploaded again must land on the server's own name.
        const QString text = ui::toQ(part);
        std::string back;
        return ui::encodeName(text, ui::NameEncoding::Cp932, back) && back == part ? ui::fromQ(text) : part;
    });
}

std::string SessionEncoding::ServerNameFor(const std::string &localName) const
{
    if (Encoding() != ui::NameEncoding::Cp932)
        return localName;
    return eachPart(localName, [](const std::string &part) {
        std::string bytes = part;
        const QString text = ui::toQ(part);
        // Only a UTF-8 part is a name of ours to convert: other bytes go as they are.
        if (ui::fromQ(text) == part)
            ui::encodeName(text, ui::NameEncoding::Cp932, bytes);
        return bytes;
    });
}
