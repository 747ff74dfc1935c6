#pragma once

#include "platform/SettingsStore.h"

#include <QList>
#include <QString>

// Writes a fresh host record for a test server on loopback: Address 127.0.0.1, the port, host
// type 1 (UNIX), cache policy 1 (listings kept for this run), in the given host folder. The extra
// values are written after those, so they may replace them.
//
//     storeTestHost("site", server.port(), {{"StartPath", "/pub/"}});
void storeTestHost(const QString &name, quint16 port, const QList<SettingsValue> &extra = {}, int parent = 0);

// Writes a host folder with its id (This) below the folder parent.
void storeTestFolder(const QString &name, int id, int parent = 0);
