// SPDX-License-Identifier: GPL-3.0-or-later
// A program that does nothing: linked with a whole library and only the
// libraries that library may use, it fails to link when the library reaches
// further up.
int main()
{
    return 0;
}
