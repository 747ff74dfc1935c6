#include "pool/Destinations.h"

#include "platform/SettingsStore.h"
#include "settings/LeadingInteger.h"
#include "settings/SettingsKeys.h"

#include <algorithm>
#include <limits>

namespace {

// A backslash would reach some other key; an empty name would be the Hosts key itself.
bool usableHostName(const QString &host)
{
    return !host.isEmpty() && !host.contains(QLatin1Char('\\'));
}

// Names are written as plain numbers; anything else reads the way atoi would.
qint64 numberOf(const SettingsValue &value)
{
    bool ok = false;
    const qint64 number = value.name.toLongLong(&ok);
    return ok ? number : LeadingInteger(value.name);
}

// Local paths name Linux files, whose names differ by case: "C:/Data/" and "C:/data/" are two
// folders. Only the drive letter is the same in either case ("c:/data/" is "C:/data/").
bool sameDestination(const QString &host, const QString &a, const QString &b)
{
    const bool local = host.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0;
    if (!local || a.size() != b.size() || a.size() < 2 || a[1] != QLatin1Char(':'))
        return a == b;
    return a[0].toUpper() == b[0].toUpper() && QStringView(a).mid(1) == QStringView(b).mid(1);
}

} // namespace

QString Destinations::key(const QString &host)
{
    return SettingsKeys::hostKey(host) + QLatin1String("\\Destinations");
}

QStringList Destinations::list(const QString &host)
{
    if (!usableHostName(host))
        return {};
    SettingsStore &store = SettingsStore::instance();
    const QString destinations = key(host);
    if (!store.keyExists(destinations))
        store.createKey(destinations);
    QStringList directories;
    for (const SettingsValue &value : store.values(destinations))
        directories << value.text;
    return directories;
}

bool Destinations::record(const QString &host, const QString &directory)
{
    if (!usableHostName(host))
        return false;
    SettingsStore &store = SettingsStore::instance();
    const QString destinations = key(host);
    if (!store.createKey(destinations))
        return false;

    QList<SettingsValue> kept;
    qint64 largest = 0;
    bool ok = true;
    for (const SettingsValue &value : store.values(destinations)) {
        largest = std::max(largest, numberOf(value));
        if (sameDestination(host, value.text, directory))
            ok = store.deleteValue(destinations, value.name) && ok;
        else
            kept << value;
    }
    // The oldest go until the new one fits; normally that is one at most.
    std::stable_sort(kept.begin(), kept.end(),
              [](const SettingsValue &a, const SettingsValue &b) { return numberOf(a) < numberOf(b); });
    for (qsizetype i = 0; i + MaxEntries <= kept.size(); ++i)
        ok = store.deleteValue(destinations, kept[i].name) && ok;
    const qint64 next = largest < std::numeric_limits<qint64>::max() ? largest + 1 : largest;
    return store.setValue(destinations, QString::number(next), directory) && ok;
}
