// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace platform {

// Wildcard match with the platform's rules: '*' any run of bytes, '?' one byte,
// "*.*" (or "*") matches every name, and a trailing ".*" also matches a name
// without an extension ("index.*" matches "index"). ASCII letters are folded when
// caseFold is set; other bytes compare exactly.
bool wildcardMatch(std::string_view name, std::string_view pattern, bool caseFold);

// True when the pattern holds '*' or '?'.
bool hasWildcards(std::string_view pattern);

// True when text begins with prefix (given in lower case), ASCII letters of
// text folded.
bool startsWithNoCase(std::string_view text, std::string_view prefix);

} // namespace platform
