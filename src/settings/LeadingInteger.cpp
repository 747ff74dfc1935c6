#include "LeadingInteger.h"

#include <limits>

int LeadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || (text.at(i) >= QLatin1Char('\t')
                                                                  && text.at(i) <= QLatin1Char('\r'))))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    qint64 magnitude = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        magnitude = std::min(limit, magnitude * 10 + (text.at(i).unicode() - '0'));
    if (negative)
        return int(-magnitude);
    return int(std::min(magnitude, limit - 1));
}
