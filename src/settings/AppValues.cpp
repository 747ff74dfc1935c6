#include "AppValues.h"

#include "SettingsKeys.h"
#include "platform/SettingsStore.h"

int GetAppValue(const QString &name, QString &buffer, int bufferSize)
{
    // A buffer of no bytes cannot even hold the terminating NUL.
    const auto text = bufferSize > 0
        ? SettingsStore::instance().value(SettingsKeys::Root, name, bufferSize)
        : std::nullopt;
    buffer = text.value_or(QString());
    return text ? 0 : -1;
}

bool SetAppValue(const QString &name, const QString &text)
{
    return SettingsStore::instance().setValue(SettingsKeys::Root, name, text);
}

QString AppValue(const QString &name, int bufferSize)
{
    QString buffer;
    GetAppValue(name, buffer, bufferSize);
    return buffer;
}
