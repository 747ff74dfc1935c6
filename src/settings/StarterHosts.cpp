#include "StarterHosts.h"

#include "SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

struct StarterEntry
{
    const char *name;
    const char *address;
    int parent;
};

// Public servers that take anonymous logins; each host gets only Address and Parent, so every other
// setting takes its default.
constexpr StarterEntry kHosts[] = {
    {"Red Hat", "ftp.redhat.com", 1},
    {"Tele2 Speed Test", "speedtest.tele2.net", 1},
    {"GNU Project", "ftp.gnu.org", 2},
    {"FUNET Archive", "ftp.funet.fi", 2},
    {"SUNET Archive", "ftp.sunet.se", 2},
    {"NLUUG Archive", "ftp.nluug.nl", 2},
    {"HEAnet Mirror", "ftp.heanet.ie", 2},
    {"FAU Mirror", "ftp.fau.de", 2},
    {"NetBSD", "ftp.netbsd.org", 3},
    {"FreeBSD", "ftp.freebsd.org", 3},
    {"Slackware", "ftp.slackware.com", 3},
    {"VideoLAN", "ftp.videolan.org", 3},
    {"X.Org", "ftp.x.org", 3},
};

struct StarterFolder
{
    const char *name;
    int id;
};

constexpr StarterFolder kFolders[] = {
    {"Corporate Home Pages", 1},
    {"Software Archives", 2},
    {"Shareware Homepages", 3},
};

QString number(int n)
{
    return QString::number(n);
}

} // namespace

void CreateDefaultHosts()
{
    SettingsStore &store = SettingsStore::instance();
    if (store.keyExists(SettingsKeys::Hosts) || !store.createKey(SettingsKeys::Hosts))
        return;
    // A key that cannot be written is skipped; the rest still go in.
    for (const StarterEntry &host : kHosts) {
        store.setValues(SettingsKeys::hostKey(QLatin1String(host.name)),
                        {{QStringLiteral("Address"), QLatin1String(host.address)},
                         {QStringLiteral("Parent"), number(host.parent)}});
    }
    for (const StarterFolder &folder : kFolders) {
        store.setValues(SettingsKeys::hostKey(QLatin1String(folder.name)),
                        {{QStringLiteral("This"), number(folder.id)}, {QStringLiteral("Parent"), number(0)}});
    }
}
