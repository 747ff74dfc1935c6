#include "RemoteName.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// The characters that stand for bytes the host sent that were not UTF-8: U+DC80 to U+DCFF, each
// a low surrogate with no high one before it (which no valid text holds).
constexpr char16_t RawByteBase = 0xDC00;

bool isRawByte(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= RawByteBase + 0x80 && c <= RawByteBase + 0xFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

bool isForbidden(char16_t c)
{
    return c < 0x20 || c == 0x7f || c == u'/' || c == u'\\';
}

} // namespace

QString decodeRemoteName(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (bytes.isValidUtf8()) {
        // A byte-order mark at the start is part of the name: keep it.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (length > 0 && i + length <= bytes.size() && bytes.sliced(i, length).isValidUtf8()) {
            name += QString::fromUtf8(bytes.sliced(i, length));
            i += length;
        } else {
            name += QChar(char16_t(RawByteBase + lead)); // a byte that is no UTF-8: kept as it is
            ++i;
        }
    }
    return name;
}

QByteArray encodeRemoteName(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype run = 0; // start of the text not yet encoded
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isRawByte(text, i))
            continue;
        bytes += text.sliced(run, i - run).toUtf8();
        bytes += char(text[i].unicode() - RawByteBase);
        run = i + 1;
    }
    bytes += text.sliced(run).toUtf8();
    return bytes;
}

QString shownRemoteName(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLowSurrogate(); }))
        return text;
    QString shown = text;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (isRawByte(text, i))
            shown[i] = QChar(char16_t(text[i].unicode() - RawByteBase));
    return shown;
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
