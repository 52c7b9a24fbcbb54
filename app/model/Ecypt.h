// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The credential cipher: RC4 with a fixed 128-bit key (the first 16 bytes of
// the SHA-1 of a fixed pass phrase), no IV, so equal passwords give equal
// bytes. The operation always covers the input plus one terminating zero byte:
// n input bytes give n + 1 result bytes.

// CipherDirection values.
constexpr int CipherEncrypt = 0;
constexpr int CipherDecrypt = 1;

// CipherStatus values.
constexpr int CipherOk = 0;
constexpr int CipherEmptyInput = -1;
constexpr int CipherAcquireError = 1;
constexpr int CipherCreateHashError = 2;
constexpr int CipherHashDataError = 3;
constexpr int CipherDeriveKeyError = 4;
constexpr int CipherEncryptError = 5;
constexpr int CipherDecryptError = 6;

// Encrypts (direction 0) or decrypts (direction 1) `input` followed by one zero
// byte and returns the n + 1 bytes, with status 0. A plain text that is empty
// or holds only blanks and control characters is refused: the message
// "入力データが空です。" is shown, status is -1 and the result is empty; the
// untrimmed text is what gets encrypted. Cipher bytes are binary, so when
// decrypting only an input of no bytes at all counts as empty (a short cipher
// may well consist of control bytes only). Every message goes through
// ui::dialogs().
std::string CryptPassword(const std::string &input, int &status, int direction);
