#include "platform/SafeText.h"

#include <algorithm>

namespace {

bool isBidiControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isControl(char16_t c)
{
    return (c < 0x20 && c != u'\n' && c != u'\t') || (c >= 0x7F && c <= 0x9F);
}

bool needsEscape(char16_t c)
{
    return isControl(c) || isBidiControl(c);
}

} // namespace

QString safeText(const QString &text)
{
    const auto first = std::find_if(text.cbegin(), text.cend(), [](QChar c) { return needsEscape(c.unicode()); });
    if (first == text.cend())
        return text; // the common case: nothing to change, nothing copied
    QString shown = text.first(first - text.cbegin());
    shown.reserve(text.size() + 16);
    for (auto it = first; it != text.cend(); ++it) {
        const char16_t c = it->unicode();
        if (isControl(c))
            shown += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        else if (isBidiControl(c))
            shown += QStringLiteral("\\u{%1}").arg(uint(c), 4, 16, QLatin1Char('0'));
        else
            shown += *it;
    }
    return shown;
}
