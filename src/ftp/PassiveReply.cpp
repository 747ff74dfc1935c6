#include "ftp/PassiveReply.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number of at most digits figures at text[at], or -1; at moves past it.
int readNumber(QByteArrayView text, qsizetype &at, int digits)
{
    int value = 0;
    int read = 0;
    while (at < text.size() && isDigit(text[at]) && read < digits) {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++read;
    }
    if (read == 0 || (at < text.size() && isDigit(text[at])))
        return -1;
    return value;
}

} // namespace

std::optional<quint16> PasvReplyPort(QByteArrayView reply)
{
    // Past the reply code: the six numbers are the first digits after it.
    qsizetype at = 3;
    while (at < reply.size() && !isDigit(reply[at]))
        ++at;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        numbers[i] = readNumber(reply, at, 3);
        if (numbers[i] < 0 || numbers[i] > 255)
            return std::nullopt;
        if (i < 5) {
            if (at >= reply.size() || reply[at] != ',')
                return std::nullopt;
            ++at;
        }
    }
    const int port = numbers[4] * 256 + numbers[5];
    return port > 0 ? std::optional<quint16>(quint16(port)) : std::nullopt;
}

std::optional<quint16> EpsvReplyPort(QByteArrayView reply)
{
    const qsizetype open = reply.indexOf('(');
    if (open < 0 || open + 5 >= reply.size())
        return std::nullopt;
    const char delimiter = reply[open + 1];
    if (delimiter < 0x21 || delimiter > 0x7e || isDigit(delimiter))
        return std::nullopt;
    if (reply[open + 2] != delimiter || reply[open + 3] != delimiter)
        return std::nullopt;
    qsizetype at = open + 4;
    const int port = readNumber(reply, at, 5);
    if (port <= 0 || port > 65535 || at + 1 >= reply.size() || reply[at] != delimiter || reply[at + 1] != ')')
        return std::nullopt;
    return quint16(port);
}
