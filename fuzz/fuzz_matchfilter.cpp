// The filter of "Select Using Filter" on any name and filter. The first input byte holds the
// options (bit 0: no wildcards, bit 1: case sensitive, so "0" to "3" in text); then come the
// name, a line feed, and the filter.
//
// Checks: without wildcards the answer is a plain "contains" (case folded for ASCII text when
// case does not matter); "*" alone matches every name but the empty one; a filter of only "*"
// and "?" with at least one "*" and k "?" never matches a name of fewer than k characters and
// always matches one of more; k "?" alone match names of exactly k characters; a name matches
// itself as a filter.

#include "FuzzCheck.h"
#include "panes/MatchFilter.h"

namespace {

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool onlyWildcards(const QString &filter, qsizetype *questionMarks)
{
    *questionMarks = filter.count(QLatin1Char('?'));
    return !filter.isEmpty() && *questionMarks + filter.count(QLatin1Char('*')) == filter.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool noWildcards = data[0] & 1;
    const bool caseSensitive = data[0] & 2;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const qsizetype split = rest.indexOf('\n');
    const QString name = QString::fromUtf8(split < 0 ? rest : rest.left(split));
    const QString filter = split < 0 ? QString() : QString::fromUtf8(rest.mid(split + 1));

    const bool matches = matchFilter(name, filter, noWildcards, caseSensitive);
    const bool wildcards = filter.contains(QLatin1Char('*')) || filter.contains(QLatin1Char('?'));
    if (noWildcards || !wildcards) {
        if (caseSensitive)
            FUZZ_CHECK(matches == name.contains(filter));
        else if (isAscii(name) && isAscii(filter))
            FUZZ_CHECK(matches == name.contains(filter, Qt::CaseInsensitive));
        return 0;
    }
    if (filter == QLatin1String("*"))
        FUZZ_CHECK(matches == !name.isEmpty());
    qsizetype questionMarks = 0;
    if (caseSensitive && onlyWildcards(filter, &questionMarks)) {
        if (questionMarks == filter.size())
            FUZZ_CHECK(matches == (name.size() == questionMarks));
        else if (name.size() < questionMarks)
            FUZZ_CHECK(!matches);
        else if (name.size() > questionMarks)
            FUZZ_CHECK(matches);
    }
    FUZZ_CHECK(matchFilter(filter, filter, false, caseSensitive) || filter.isEmpty());
    return 0;
}
