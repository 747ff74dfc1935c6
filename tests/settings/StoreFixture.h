#pragma once

#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A settings store of its own for one test: XDG_CONFIG_HOME points at a fresh temporary folder
// and the shared store is reopened there. Child processes started meanwhile use the same file.
class StoreFixture
{
public:
    StoreFixture()
        : m_previous(qgetenv("XDG_CONFIG_HOME"))
    {
        pointAt(0);
        SettingsStore::reopen();
    }

    ~StoreFixture()
    {
        qputenv("XDG_CONFIG_HOME", m_previous);
        SettingsStore::reopen();
    }

    StoreFixture(const StoreFixture &) = delete;
    StoreFixture &operator=(const StoreFixture &) = delete;

    // Points XDG_CONFIG_HOME at a new, empty folder without opening anything there, so that a test
    // can put a file in place first and then call SettingsStore::reopen(). Replacing the file of
    // the open store instead would leave that store's -wal and -shm files behind, in use.
    void moveToNewFolder() { pointAt(m_generation + 1); }

    bool isValid() const { return m_dir.isValid(); }
    QString configHome() const { return m_dir.filePath(QString::number(m_generation)); }
    QString folder() const { return configHome() + QStringLiteral("/vemalftp"); }
    QString filePath() const { return folder() + QStringLiteral("/settings.db"); }
    SettingsStore &store() const { return SettingsStore::instance(); }

private:
    void pointAt(int generation)
    {
        m_generation = generation;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    }

    QByteArray m_previous;
    int m_generation = 0;
    QTemporaryDir m_dir;
};
