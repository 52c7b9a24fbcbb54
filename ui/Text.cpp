#include "ui/Text.h"

#include <QStringDecoder>

namespace ui {

QString toQ(const std::string &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError())
        return text;
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid()) {
        QString decoded = sjis.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (!sjis.hasError())
            return decoded;
    }
    return text;
}

std::string fromQ(const QString &text)
{
    return text.toStdString();
}

int byteLength(const QString &text)
{
    return static_cast<int>(text.toUtf8().size());
}

} // namespace ui
