// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Which files of the local site the automatic work never sends. Two sets of
// rules: the built-in ones (version-control folders, editor temporaries and
// probes, desktop litter, the program's own files and temporaries), which
// nothing can re-include, and the patterns of the file ".vexmoraignore" at the
// top of the local folder, in gitignore syntax:
//   blank lines and lines starting with '#' are skipped ("\#" is a literal '#');
//   '!' re-includes what an earlier pattern excluded ("\!" is a literal '!');
//   a trailing '/' matches folders only;
//   a pattern with a '/' before its end is anchored at the top folder, one
//   without matches the name at any depth;
//   '*' and '?' never match '/', "[...]" is a byte class ('!' or '^' negates),
//   "**" as a whole segment matches any number of folders (at the end, at least
//   one entry);
//   the last matching pattern decides, and nothing below an excluded folder can
//   be re-included.
// Paths are relative to the top folder with '/' separators; names are bytes,
// compared exactly (the built-in desktop names fold ASCII case).
// Built in besides the patterns: the temporaries of downloads under way.
class IgnoreRules {
public:
    static constexpr const char *FileName = ".vexmoraignore";

    // Built-in rules only.
    IgnoreRules();

    // Replaces the user patterns with those of an ignore file's text.
    void SetUserPatterns(std::string_view text);
    void ClearUserPatterns();
    bool HasUserPatterns() const { return !m_user.empty(); }

    // Whether the entry at `path` is excluded, looking at its folders first.
    bool Ignored(std::string_view path, bool isFolder) const;
    // The same for an entry whose folders are known not to be excluded (a
    // folder walk that never descends into an excluded folder).
    bool IgnoredEntry(std::string_view path, bool isFolder) const;
    // The user patterns alone, with the ignore file itself (the flat watch).
    bool IgnoredByUser(std::string_view path, bool isFolder) const;

private:
    struct Rule {
        std::vector<std::string> segments; // the pattern split at '/'
        bool negated = false;
        bool folderOnly = false;
        bool anchored = false; // matched against the whole path, else the last name
        bool foldCase = false;
    };
    static bool Parse(std::string_view line, Rule &rule);
    static bool Matches(const Rule &rule, std::string_view path, bool isFolder);
    static bool Decide(const std::vector<Rule> &rules, std::string_view path, bool isFolder, bool &ignored);

    std::vector<Rule> m_builtin;
    std::vector<Rule> m_user;
};

// A glob of one path segment: '*', '?' and "[...]" classes, never crossing '/'.
bool GlobSegmentMatch(std::string_view name, std::string_view pattern, bool foldCase);
