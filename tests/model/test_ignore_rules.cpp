// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/IgnoreRules.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char *patterns; // the ignore file's text
    const char *path;
    bool folder;
    bool ignored;
};

} // namespace

TEST(IgnoreRules, PatternTableDecidesEachPath)
{
    const Case cases[] = {
        // Built-in rules, with no ignore file.
        {"", "index.html", false, false},
        {"", ".git/config", false, true},
        {"", "blog/.git", true, true},
        {"", "a/.svn/entries", false, true},
        {"", ".hg", true, true},
        {"", ".git", false, false}, // a file named .git is no repository
        {"", "css/.style.css.swp", false, true},
        {"", "page.html~", false, true},
        {"", ".#page.html", false, true},
        {"", "blog/#draft.html#", false, true},
        {"", "4913", false, true},
        {"", "49130", false, false},
        {"", "img/.DS_Store", false, true},
        {"", "img/thumbs.DB", false, true},
        {"", "Desktop.ini", false, true},
        {"", "Vexmora.INI", false, true},
        {"", "Vexmora.H$$.~123.4", false, true},
        {"", "Vexmora.TRUST", false, true},
        {"", "Vexmora.log.3", false, true},
        {"", "Vexmora.log.old", false, false},
        {"", "img/.vexmora-AbC123\x7f", false, true},
        {"", ".vexmora-notes", false, false},           // a user's own file
        {"", "img/.big.bin.vexmora-part", false, true}, // a cut download, continued later
        {"", "vexmora-part", false, false},
        {"", ".vexmoraignore", false, true},
        // Names at any depth, anchored paths.
        {"*.log", "a/b/c.log", false, true},
        {"*.log", "a/b/c.log.html", false, false},
        {"/top.html", "top.html", false, true},
        {"/top.html", "sub/top.html", false, false},
        {"drafts/*.html", "drafts/a.html", false, true},
        {"drafts/*.html", "drafts/x/a.html", false, false},
        {"drafts/*.html", "blog/drafts/a.html", false, false},
        // '*' and '?' never cross '/'; classes.
        {"a*z", "a/z", false, false},
        {"p?.html", "p1.html", false, true},
        {"p?.html", "p10.html", false, false},
        {"img[0-9].png", "img7.png", false, true},
        {"img[!0-9].png", "img7.png", false, false},
        {"img[!0-9].png", "imgx.png", false, true},
        {"[", "[", false, true},
        // "**".
        {"**/cache", "a/b/cache", true, true},
        {"**/cache", "cache", true, true},
        {"logs/**", "logs/x/y.txt", false, true},
        {"logs/**", "logs", true, false},
        {"a/**/b.txt", "a/b.txt", false, true},
        {"a/**/b.txt", "a/x/y/b.txt", false, true},
        // Folders only.
        {"build/", "build", true, true},
        {"build/", "build", false, false},
        {"build/", "build/out/app.js", false, true},
        // Negation: the last match wins; a file below an excluded folder stays out.
        {"*.html\n!keep.html", "keep.html", false, false},
        {"*.html\n!keep.html", "drop.html", false, true},
        {"!keep.html\n*.html", "keep.html", false, true},
        {"private/\n!private/open.html", "private/open.html", false, true},
        {"private/*\n!private/open.html", "private/open.html", false, false},
        // Nothing re-includes a built-in rule.
        {"!*.swp\n!.git/", ".git/HEAD", false, true},
        {"!*.swp", "a.swp", false, true},
        // Comments, escapes, blanks and CR line ends.
        {"# comment\n\n   \n*.bak\r\n", "x.bak", false, true},
        {"# *.html", "a.html", false, false},
        {"\\#hash", "#hash", false, true},
        {"\\!bang", "!bang", false, true},
        {"trail.txt   ", "trail.txt", false, true},
    };
    for (const Case &c : cases) {
        IgnoreRules rules;
        rules.SetUserPatterns(c.patterns);
        EXPECT_EQ(rules.Ignored(c.path, c.folder), c.ignored)
            << "patterns \"" << c.patterns << "\" path " << c.path << (c.folder ? "/" : "");
    }
}

TEST(IgnoreRules, TheFlatWatchUsesOnlyTheIgnoreFile)
{
    IgnoreRules rules;
    EXPECT_FALSE(rules.IgnoredByUser("page.swp", false)) << "built-in rules are the tree's";
    EXPECT_TRUE(rules.IgnoredByUser(".vexmoraignore", false));
    rules.SetUserPatterns("*.tmp\n");
    EXPECT_TRUE(rules.HasUserPatterns());
    EXPECT_TRUE(rules.IgnoredByUser("a.tmp", false));
    rules.ClearUserPatterns();
    EXPECT_FALSE(rules.IgnoredByUser("a.tmp", false));
}
