#include "panes/MatchFilter.h"

#include <algorithm>

namespace {

bool isWildcard(QChar c)
{
    return c == QLatin1Char('*') || c == QLatin1Char('?');
}

} // namespace

bool matchFilter(const QString &name, const QString &filter, bool noWildcards, bool caseSensitive)
{
    const QString text = caseSensitive ? name : name.toLower();
    const QString pattern = caseSensitive ? filter : filter.toLower();
    const bool wildcards = std::any_of(pattern.cbegin(), pattern.cend(), isWildcard);
    if (noWildcards || !wildcards)
        return text.contains(pattern);
    qsizetype i = 0;
    qsizetype n = 0;
    while (n < text.size() && i < pattern.size()) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('*')) {
            // A run of "*" and "?" reads as its "?" first and then one "*", so that the "*" never
            // looks for a wildcard as if it were a character of the name.
            qsizetype end = i + 1;
            for (; end < pattern.size() && isWildcard(pattern[end]); ++end)
                n += pattern[end] == QLatin1Char('?') ? 1 : 0;
            if (end == pattern.size())
                return n < text.size(); // a trailing "*" needs a character
            n = n < text.size() ? text.indexOf(pattern[end], n) : -1;
            if (n < 0)
                return false;
            i = end;
            continue;
        }
        if (c != QLatin1Char('?') && c != text[n])
            return false;
        ++i;
        ++n;
    }
    return n == text.size() && i == pattern.size();
}
