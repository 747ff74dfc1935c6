#include "ftp/HostFeatures.h"

#include <QStringList>

HostFeatures ParseFeatReply(const QString &reply)
{
    HostFeatures features;
    const QStringList lines = reply.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1Char(' ')))
            continue; // the first and last lines carry the reply code
        const QStringList words = line.trimmed().toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString &name = words.first();
        if (name == QLatin1String("UTF8"))
            features.utf8 = true;
        else if (name == QLatin1String("MLST") || name == QLatin1String("MLSD"))
            features.mlst = true;
        else if (name == QLatin1String("EPSV"))
            features.epsv = true;
        else if (name == QLatin1String("SIZE"))
            features.size = true;
        else if (name == QLatin1String("MDTM"))
            features.mdtm = true;
        else if (name == QLatin1String("REST"))
            features.restStream = features.restStream || words.contains(QLatin1String("STREAM"));
        else if (name == QLatin1String("SSCN"))
            features.sscn = true;
        else if (name == QLatin1String("CPSV"))
            features.cpsv = true;
        else if (name == QLatin1String("AUTH"))
            features.authTls = features.authTls || line.toUpper().contains(QLatin1String("TLS"));
    }
    return features;
}
