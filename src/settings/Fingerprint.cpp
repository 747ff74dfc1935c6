#include "settings/Fingerprint.h"

#include <QRegularExpression>

namespace {
QString digitsOf(const QString &fingerprint)
{
    QString digits;
    digits.reserve(64);
    for (const QChar c : fingerprint)
        if (c != QLatin1Char(':') && c != QLatin1Char(' '))
            digits += c.toUpper();
    return digits;
}
} // namespace

bool isFingerprint(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{64}$"));
    return hex.match(digitsOf(text)).hasMatch();
}

bool sameFingerprint(const QString &a, const QString &b)
{
    const QString left = digitsOf(a);
    return !left.isEmpty() && left == digitsOf(b);
}
