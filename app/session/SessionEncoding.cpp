// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/SessionEncoding.h"

void SessionEncoding::Connected(const std::string &account, bool utf8Announced)
{
    if (account != m_account)
        m_legacyNameSeen = false;
    m_account = account;
    m_utf8Announced = utf8Announced;
}

void SessionEncoding::NoteListedName(std::string_view name)
{
    if (!m_legacyNameSeen && ui::isCp932Only(std::string(name)))
        m_legacyNameSeen = true;
}

ui::NameEncoding SessionEncoding::Encoding() const
{
    return m_utf8Announced || !m_legacyNameSeen ? ui::NameEncoding::Utf8 : ui::NameEncoding::Cp932;
}
