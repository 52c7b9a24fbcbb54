// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/IgnoreRules.h"

#include "platform/LocalFiles.h"

#include <cstddef>

namespace {

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameByte(char a, char b, bool foldCase)
{
    return foldCase ? foldAscii(a) == foldAscii(b) : a == b;
}

// A "[...]" class starting at pattern[at]: whether it holds `c`, and the
// position after its ']'. False when the class is not closed (the '[' is then
// an ordinary byte).
bool matchClass(std::string_view pattern, size_t at, char c, bool foldCase, bool &holds, size_t &end)
{
    size_t p = at + 1;
    bool negate = false;
    if (p < pattern.size() && (pattern[p] == '!' || pattern[p] == '^')) {
        negate = true;
        ++p;
    }
    bool found = false;
    bool first = true;
    while (p < pattern.size() && (first || pattern[p] != ']')) {
        first = false;
        char low = pattern[p];
        if (low == '\\' && p + 1 < pattern.size())
            low = pattern[++p];
        char high = low;
        if (p + 2 < pattern.size() && pattern[p + 1] == '-' && pattern[p + 2] != ']') {
            high = pattern[p + 2];
            if (high == '\\' && p + 3 < pattern.size()) {
                high = pattern[p + 3];
                ++p;
            }
            p += 2;
        }
        const auto cu = static_cast<unsigned char>(foldCase ? foldAscii(c) : c);
        const auto lu = static_cast<unsigned char>(foldCase ? foldAscii(low) : low);
        const auto hu = static_cast<unsigned char>(foldCase ? foldAscii(high) : high);
        if (cu >= lu && cu <= hu)
            found = true;
        ++p;
    }
    if (p >= pattern.size())
        return false;
    holds = found != negate;
    end = p + 1;
    return true;
}

std::vector<std::string_view> splitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const size_t end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

bool matchSegments(const std::vector<std::string> &pattern, size_t pi,
                   const std::vector<std::string_view> &path, size_t si, bool foldCase)
{
    if (pi == pattern.size())
        return si == path.size();
    if (pattern[pi] == "**") {
        // At the end it stands for everything inside, not the folder itself.
        if (pi + 1 == pattern.size())
            return path.size() > si;
        for (size_t k = si; k <= path.size(); ++k)
            if (matchSegments(pattern, pi + 1, path, k, foldCase))
                return true;
        return false;
    }
    if (si == path.size())
        return false;
    return GlobSegmentMatch(path[si], pattern[pi], foldCase)
           && matchSegments(pattern, pi + 1, path, si + 1, foldCase);
}

} // namespace

bool GlobSegmentMatch(std::string_view name, std::string_view pattern, bool foldCase)
{
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char c = pattern[p];
            if (c == '*') {
                starP = p++;
                starN = n;
                continue;
            }
            if (c == '?' && name[n] != '/') {
                ++p;
                ++n;
                continue;
            }
            bool holds = false;
            size_t end = 0;
            if (c == '[' && matchClass(pattern, p, name[n], foldCase, holds, end)) {
                if (holds) {
                    p = end;
                    ++n;
                    continue;
                }
            } else if (c != '?') {
                const bool escaped = c == '\\' && p + 1 < pattern.size();
                const char literal = escaped ? pattern[p + 1] : c;
                if (sameByte(literal, name[n], foldCase)) {
                    p += escaped ? 2 : 1;
                    ++n;
                    continue;
                }
            }
        }
        if (starP == std::string_view::npos || name[starN] == '/')
            return false;
        p = starP + 1;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

IgnoreRules::IgnoreRules()
{
    struct Builtin {
        const char *pattern;
        bool foldCase;
    };
    static const Builtin builtins[] = {
        // Version control.
        {".git/", false},
        {".svn/", false},
        {".hg/", false},
        // Editor temporaries, backups, lock files and vim's write probe.
        {"*.swp", false},
        {"*.swx", false},
        {"*~", false},
        {".#*", false},
        {"\\#*#", false},
        {"4913", false},
        // Desktop litter.
        {".DS_Store", true},
        {"Thumbs.db", true},
        {"desktop.ini", true},
        // The ignore file, the program's own files and their temporaries.
        {".vexmoraignore", false},
        {"Vexmora.INI", true},
        {"Vexmora.INI.~*", true},
        {"Vexmora.H$$", true},
        {"Vexmora.H$$.~*", true},
        {"Vexmora.TRUST", true},
        {"Vexmora.TRUST.~*", true},
        {"Vexmora.log", true},
        {"Vexmora.log.[0-9]", true},
    };
    for (const Builtin &builtin : builtins) {
        Rule rule;
        if (Parse(builtin.pattern, rule)) {
            rule.foldCase = builtin.foldCase;
            m_builtin.push_back(std::move(rule));
        }
    }
}

void IgnoreRules::SetUserPatterns(std::string_view text)
{
    m_user.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        Rule rule;
        if (Parse(text.substr(start, end - start), rule))
            m_user.push_back(std::move(rule));
        start = end + 1;
    }
}

void IgnoreRules::ClearUserPatterns()
{
    m_user.clear();
}

bool IgnoreRules::Parse(std::string_view line, Rule &rule)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // Trailing blanks go unless the last one is escaped.
    while (!line.empty() && line.back() == ' ') {
        if (line.size() >= 2 && line[line.size() - 2] == '\\')
            break;
        line.remove_suffix(1);
    }
    if (line.empty() || line.front() == '#')
        return false;
    if (line.front() == '!') {
        rule.negated = true;
        line.remove_prefix(1);
    }
    while (!line.empty() && line.back() == '/') {
        rule.folderOnly = true;
        line.remove_suffix(1);
    }
    if (line.empty())
        return false;
    rule.anchored = line.find('/') != std::string_view::npos;
    for (std::string_view part : splitPath(line))
        rule.segments.emplace_back(part);
    return !rule.segments.empty();
}

bool IgnoreRules::Matches(const Rule &rule, std::string_view path, bool isFolder)
{
    if (rule.folderOnly && !isFolder)
        return false;
    const std::vector<std::string_view> parts = splitPath(path);
    if (parts.empty())
        return false;
    if (!rule.anchored)
        return GlobSegmentMatch(parts.back(), rule.segments.front(), rule.foldCase);
    return matchSegments(rule.segments, 0, parts, 0, rule.foldCase);
}

bool IgnoreRules::Decide(const std::vector<Rule> &rules, std::string_view path, bool isFolder, bool &ignored)
{
    bool matched = false;
    for (const Rule &rule : rules) {
        if (Matches(rule, path, isFolder)) {
            ignored = !rule.negated;
            matched = true;
        }
    }
    return matched;
}

bool IgnoreRules::IgnoredEntry(std::string_view path, bool isFolder) const
{
    bool ignored = false;
    if (Decide(m_builtin, path, isFolder, ignored) && ignored)
        return true;
    // A download's temporary, or a transfer's to be continued, named by the program.
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (!isFolder && (platform::isDownloadTemporaryName(name) || platform::isTransferTempName(name)))
        return true;
    ignored = false;
    Decide(m_user, path, isFolder, ignored);
    return ignored;
}

bool IgnoreRules::Ignored(std::string_view path, bool isFolder) const
{
    for (size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
        if (slash > 0 && IgnoredEntry(path.substr(0, slash), true))
            return true;
    }
    return IgnoredEntry(path, isFolder);
}

bool IgnoreRules::IgnoredByUser(std::string_view path, bool isFolder) const
{
    if (path == FileName)
        return true;
    bool ignored = false;
    Decide(m_user, path, isFolder, ignored);
    return ignored;
}
