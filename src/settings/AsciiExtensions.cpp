#include "AsciiExtensions.h"

#include "SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

QString extensionOf(const QString &name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
}

} // namespace

bool IsAsciiExtension(const QString &fileName)
{
    return SettingsStore::instance().value(SettingsKeys::Ascii, extensionOf(fileName)).has_value();
}

QStringList AsciiExtensions()
{
    SettingsStore &store = SettingsStore::instance();
    if (!store.keyExists(SettingsKeys::Ascii))
        store.createKey(SettingsKeys::Ascii);
    QStringList names;
    for (const SettingsValue &value : store.values(SettingsKeys::Ascii))
        names << value.name;
    return names;
}

QString AddAsciiExtension(const QString &entry)
{
    const QString extension = extensionOf(entry).trimmed();
    if (extension.isEmpty())
        return QString();
    return SettingsStore::instance().setValue(SettingsKeys::Ascii, extension, QString())
        ? extension : QString();
}

bool RemoveAsciiExtension(const QString &extension)
{
    return SettingsStore::instance().deleteValue(SettingsKeys::Ascii, extension);
}
