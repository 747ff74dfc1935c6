#include "RemoteName.h"

#include <QStringDecoder>

namespace {

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

bool isForbidden(char16_t c)
{
    return c < 0x20 || c == 0x7f || c == u'/' || c == u'\\';
}

} // namespace

QString decodeRemoteName(QByteArrayView bytes, bool *wasLatin1)
{
    bool latin1 = false;
    QString name;
    if (isAscii(bytes)) {
        name = QString::fromLatin1(bytes);
    } else if (bytes.isValidUtf8()) {
        // A byte-order mark at the start is part of the name: keep it.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        name = decoder.decode(bytes);
    } else {
        latin1 = true;
        name = QString::fromLatin1(bytes);
    }
    if (wasLatin1)
        *wasLatin1 = latin1;
    return name;
}

QByteArray encodeRemoteName(QStringView name, bool wasLatin1)
{
    if (wasLatin1) {
        bool fits = true;
        for (QChar c : name)
            fits = fits && c.unicode() <= 0xFF;
        if (fits)
            return name.toLatin1();
    }
    return name.toUtf8();
}

bool isAcceptableRemoteName(QStringView name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (QChar c : name)
        if (isForbidden(c.unicode()))
            return false;
    return true;
}

bool isAcceptableRemoteNameBytes(QByteArrayView name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    // Bytes above 0x7F read as letters in both UTF-8 and Latin-1, so the byte test matches the
    // test on the decoded text.
    for (char c : name)
        if (isForbidden(uchar(c)))
            return false;
    return true;
}
