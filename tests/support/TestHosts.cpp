#include "support/TestHosts.h"

#include "settings/SettingsKeys.h"

void storeTestHost(const QString &name, quint16 port, const QList<SettingsValue> &extra, int parent)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.deleteKey(key);
    store.createKey(key);
    store.setValues(key, {{QStringLiteral("Address"), QStringLiteral("127.0.0.1")},
                          {QStringLiteral("Port"), QString::number(port)},
                          {QStringLiteral("Type"), QStringLiteral("1")},
                          {QStringLiteral("CacheType"), QStringLiteral("1")},
                          {QStringLiteral("Parent"), QString::number(parent)},
                          {QStringLiteral("This"), QStringLiteral("0")}});
    if (!extra.isEmpty())
        store.setValues(key, extra);
}

void storeTestFolder(const QString &name, int id, int parent)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.createKey(key);
    store.setValues(key, {{QStringLiteral("Parent"), QString::number(parent)},
                          {QStringLiteral("This"), QString::number(id)}});
}
