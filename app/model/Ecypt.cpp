// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/Ecypt.h"

#include "ui/Dialogs.h"
#include "ui/Language.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <array>
#include <cstdint>

namespace {

constexpr char PassPhrase[] = "lodrevik";
constexpr size_t KeyBytes = 16;

// Blanks and control characters, the bytes the emptiness test ignores.
bool isBlankOrControl(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

bool isBlankText(const std::string &s)
{
    for (const char c : s) {
        if (!isBlankOrControl(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

class Rc4 {
public:
    explicit Rc4(const unsigned char *key, size_t length)
    {
        for (int i = 0; i < 256; ++i)
            m_s[i] = static_cast<uint8_t>(i);
        uint8_t j = 0;
        for (int i = 0; i < 256; ++i) {
            j = static_cast<uint8_t>(j + m_s[i] + key[static_cast<size_t>(i) % length]);
            std::swap(m_s[i], m_s[j]);
        }
    }

    void apply(std::string &data)
    {
        for (char &c : data) {
            m_i = static_cast<uint8_t>(m_i + 1);
            m_j = static_cast<uint8_t>(m_j + m_s[m_i]);
            std::swap(m_s[m_i], m_s[m_j]);
            c = static_cast<char>(static_cast<uint8_t>(c) ^ m_s[static_cast<uint8_t>(m_s[m_i] + m_s[m_j])]);
        }
    }

private:
    std::array<uint8_t, 256> m_s{};
    uint8_t m_i = 0;
    uint8_t m_j = 0;
};

} // namespace

std::string CryptPassword(const std::string &input, int &status, int direction)
{
    const bool empty = direction == CipherDecrypt ? input.empty() : isBlankText(input);
    if (empty) {
        ui::dialogs().message(ui::translate("Model", "入力データが空です。"));
        status = CipherEmptyInput;
        return {};
    }

    const QByteArray digest = QCryptographicHash::hash(
        QByteArray::fromRawData(PassPhrase, sizeof PassPhrase - 1), QCryptographicHash::Sha1);
    if (digest.size() < static_cast<qsizetype>(KeyBytes)) {
        ui::dialogs().message(QStringLiteral("CryptDeriveKey error"));
        status = CipherDeriveKeyError;
        return {};
    }

    std::string buffer = input;
    buffer.push_back('\0');
    Rc4 cipher(reinterpret_cast<const unsigned char *>(digest.constData()), KeyBytes);
    cipher.apply(buffer);
    status = CipherOk;
    return buffer;
}
