#include "panes/MatchFilter.h"

bool matchFilter(const QString &name, const QString &filter, bool noWildcards, bool caseSensitive)
{
    const QString text = caseSensitive ? name : name.toLower();
    const QString pattern = caseSensitive ? filter : filter.toLower();
    const bool wildcards = pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'));
    if (noWildcards || !wildcards)
        return text.contains(pattern);
    qsizetype i = 0;
    qsizetype n = 0;
    while (n < text.size() && i < pattern.size()) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('*')) {
            if (i + 1 == pattern.size())
                return true;
            n = text.indexOf(pattern[i + 1], n);
            if (n < 0)
                return false;
            ++i;
            continue;
        }
        if (c != QLatin1Char('?') && c != text[n])
            return false;
        ++i;
        ++n;
    }
    return n == text.size() && i == pattern.size();
}
