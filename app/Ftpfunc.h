#pragma once

#include <string>

// Writes a text into panel 0 to 3 of the main status bar, or into the single
// text line below it when the panel number is 999.
void ShowStatus(const std::string &text, int panel);
