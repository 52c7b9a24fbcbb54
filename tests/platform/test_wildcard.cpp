// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Wildcard.h"

#include <gtest/gtest.h>

using platform::wildcardMatch;

TEST(Wildcard, StarDotStarMatchesEveryNameWithOrWithoutExtension)
{
    for (const char *name : {"index.html", "README", ".hidden", "a.b.c", ""})
        EXPECT_TRUE(wildcardMatch(name, "*.*", false)) << name;
}

TEST(Wildcard, StarsQuestionMarksAndCaseFolding)
{
    EXPECT_TRUE(wildcardMatch("page.HTML", "*.html", true));
    EXPECT_FALSE(wildcardMatch("page.HTML", "*.html", false));
    EXPECT_TRUE(wildcardMatch("a1.txt", "a?.txt", false));
    EXPECT_FALSE(wildcardMatch("a12.txt", "a?.txt", false));
    EXPECT_TRUE(wildcardMatch("abcabcx", "*abc*x", false));
    EXPECT_FALSE(wildcardMatch("abcabcy", "*abc*x", false));
    EXPECT_TRUE(wildcardMatch("index", "index.*", false));
    EXPECT_FALSE(wildcardMatch("index2", "index.*", false));
    // Only ASCII folds: a multibyte name must match byte for byte.
    EXPECT_TRUE(wildcardMatch("表示.txt", "表示.TXT", true));
    EXPECT_FALSE(wildcardMatch("表示.txt", "表記.txt", true));
}
