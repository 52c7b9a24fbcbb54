// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Wildcard.h"

namespace platform {

namespace {

char fold(char c, bool caseFold)
{
    if (caseFold && c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Iterative glob with single-star backtracking: linear in practice, never recursive.
bool globMatch(std::string_view s, std::string_view p, bool caseFold)
{
    size_t si = 0, pi = 0, starP = std::string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starS = si;
        } else if (pi < p.size() && (p[pi] == '?' || fold(p[pi], caseFold) == fold(s[si], caseFold))) {
            ++pi;
            ++si;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool hasWildcards(std::string_view pattern)
{
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view name, std::string_view pattern, bool caseFold)
{
    if (pattern == "*" || pattern == "*.*")
        return true;
    if (globMatch(name, pattern, caseFold))
        return true;
    // "stem.*" also matches "stem" when the name has no extension.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*"
        && name.find('.') == std::string_view::npos)
        return globMatch(name, pattern.substr(0, pattern.size() - 2), caseFold);
    return false;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace platform
