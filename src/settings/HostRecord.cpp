#include "HostRecord.h"

#include "AppValues.h"
#include "LeadingInteger.h"
#include "PasswordCoding.h"
#include "SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

constexpr quint16 kDefaultPort = 21;

// Only the first character of CacheType counts; anything but 0 to 3 means "expires at start-up".
int cachePolicyOf(const std::optional<QString> &text)
{
    if (text && !text->isEmpty() && text->at(0) >= QLatin1Char('0') && text->at(0) <= QLatin1Char('3'))
        return text->at(0).unicode() - '0';
    return 1;
}

} // namespace

std::optional<HostRecord> HostRecord::read(const QString &hostName)
{
    // A backslash would reach a key below an entry (such as its Destinations), not an entry.
    if (hostName.contains(QLatin1Char('\\')))
        return std::nullopt;
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(hostName);
    const auto storedName = store.keyName(key);
    if (!storedName)
        return std::nullopt;
    const auto host = [&](const char *name, int buffer = SettingsKeys::HostValueBuffer) {
        return store.value(key, QLatin1String(name), buffer);
    };

    HostRecord record;
    record.name = *storedName;
    record.address = host("Address").value_or(QString());
    record.userName = host("Username").value_or(QStringLiteral("anonymous"));
    if (const auto password = host("Password")) {
        record.password = *password;
        DecodePassword(record.password);
    } else {
        record.password = AppValue(QStringLiteral("EMail"), SettingsKeys::EMailBuffer);
    }
    record.encryption = LeadingInteger(host("Encryption").value_or(QString()));
    if (record.encryption < 0 || record.encryption > 3)
        record.encryption = 0;
    record.certSha256 = host("CertSha256").value_or(QString());
    // Implicit TLS has a port of its own.
    record.port = host("Port").value_or(record.encryption == 3 ? QStringLiteral("990") : QStringLiteral("21"));
    record.hostType = LeadingInteger(host("Type").value_or(QString()));
    record.dataMode = LeadingInteger(host("DataMode").value_or(QString()));
    if (record.dataMode < 0 || record.dataMode > 2)
        record.dataMode = 0;
    record.startPath = host("StartPath").value_or(QStringLiteral("/"));
    record.cachePolicy = cachePolicyOf(host("CacheType"));
    record.cacheDays = LeadingInteger(host("CacheDays").value_or(QString()));
    record.cacheMinutes = LeadingInteger(host("CacheMins").value_or(QString()));
    record.parentFolder = LeadingInteger(host("Parent", SettingsKeys::FolderValueBuffer).value_or(QString()));
    return record;
}

quint16 HostRecord::portNumber() const
{
    if (port.isEmpty() || port.at(0) < QLatin1Char('1') || port.at(0) > QLatin1Char('9'))
        return kDefaultPort;
    const int number = LeadingInteger(port);
    return number <= 65535 ? quint16(number) : kDefaultPort;
}
