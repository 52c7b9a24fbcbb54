// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace ui {

namespace {

const char *const Cp932Name = "Shift_JIS";

QByteArrayView view(const std::string &bytes)
{
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The text of bytes that are whole CP932, else false.
bool decodeCp932(const std::string &bytes, QString &text)
{
    QStringDecoder sjis(Cp932Name, QStringDecoder::Flag::Stateless);
    if (!sjis.isValid())
        return false;
    text = sjis.decode(view(bytes));
    return !sjis.hasError();
}

bool isUtf8(const std::string &bytes, QString *text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(view(bytes));
    if (text)
        *text = decoded;
    return !utf8.hasError();
}

} // namespace

QString toQ(const std::string &bytes)
{
    QString text;
    if (isUtf8(bytes, &text))
        return text;
    QString decoded;
    if (decodeCp932(bytes, decoded))
        return decoded;
    return text;
}

std::string fromQ(const QString &text)
{
    return text.toStdString();
}

std::string displayText(const std::string &bytes)
{
    return fromQ(toQ(bytes));
}

bool isCp932Only(const std::string &bytes)
{
    QString decoded;
    return !isUtf8(bytes, nullptr) && decodeCp932(bytes, decoded);
}

bool encodeName(const QString &text, NameEncoding encoding, std::string &bytes)
{
    QStringEncoder encoder(encoding == NameEncoding::Cp932
                               ? QStringEncoder(Cp932Name, QStringEncoder::Flag::Stateless)
                               : QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless));
    if (!encoder.isValid())
        return false;
    const QByteArray encoded = encoder.encode(text);
    if (encoder.hasError())
        return false;
    std::string candidate(encoded.constData(), static_cast<size_t>(encoded.size()));
    // A character without a form may come out as a substitute: only a text that
    // reads back unchanged is the name the user typed.
    QString back;
    const bool readable =
        encoding == NameEncoding::Cp932 ? decodeCp932(candidate, back) : isUtf8(candidate, &back);
    if (!readable || back != text)
        return false;
    bytes = std::move(candidate);
    return true;
}

int byteLength(const QString &text)
{
    return static_cast<int>(text.toUtf8().size());
}

} // namespace ui
