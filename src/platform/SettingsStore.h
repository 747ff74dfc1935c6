#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class SettingsDatabase;
struct sqlite3;

// One named string value of a key.
struct SettingsValue
{
    QString name;
    QString text;
    bool operator==(const SettingsValue &) const = default;
};

// The per-user hierarchical settings store: keys addressed by backslash-separated paths
// ("Software\\Vemal\\Portolan\\Hosts\\name"), each holding named string values.
//
// - Key and value names match without regard to letter case; a name keeps the case it was first
//   created with. Subkeys and values are enumerated in the order they were created.
// - Nothing is cached: every read asks the database, so writes of another running copy of the
//   program are seen at once. Each write is its own transaction.
// - Reads take an optional buffer size in bytes that counts a terminating NUL, as a reader with a
//   fixed buffer would: a value whose UTF-8 form does not fit reads as missing. 0 means no limit.
// - When the file cannot be opened at all, reads find nothing and writes return false.
//
// One connection per process, shared through instance(); used from the user-interface thread.
class SettingsStore
{
public:
    static SettingsStore &instance();
    // Closes the store and opens it again at defaultFilePath(); tests use it after pointing
    // XDG_CONFIG_HOME at a folder of their own.
    static void reopen();
    // $XDG_CONFIG_HOME/vemalftp/settings.db, else ~/.config/vemalftp/settings.db.
    static QString defaultFilePath();

    explicit SettingsStore(const QString &filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    bool isOpen() const;
    QString filePath() const;
    // A message for the user about the opening (the old file was moved aside), given out once.
    QString takeNotice();
    // SQLite's code for the failure of the last write (never 0 or -1 then); 0 after a success.
    int lastError() const { return m_lastError; }

    bool keyExists(const QString &key) const;
    // The last name of the key's path as stored (its case as first created), if the key exists.
    std::optional<QString> keyName(const QString &key) const;
    // Creates the key and any missing keys above it; true when it exists afterwards.
    bool createKey(const QString &key);
    // Deletes the key with its values and everything below it; false when there was no such key.
    bool deleteKey(const QString &key);
    QStringList subkeys(const QString &key) const;

    std::optional<QString> value(const QString &key, const QString &name, int bufferSize = 0) const;
    QList<SettingsValue> values(const QString &key) const;
    // Writes one value, creating the key path when needed; an existing value keeps its place.
    bool setValue(const QString &key, const QString &name, const QString &text);
    // Writes several values in one transaction.
    bool setValues(const QString &key, const QList<SettingsValue> &values);
    // False when there was no such value.
    bool deleteValue(const QString &key, const QString &name);
    // Copies every value of one key to another (created when needed), in order, in one transaction.
    bool copyValues(const QString &fromKey, const QString &toKey);

private:
    template<typename Body>
    bool write(Body body);
    bool fail(int error) const;
    qint64 ensureKey(const QString &key);
    bool upsertValue(qint64 keyId, const QString &name, const QString &text);

    std::unique_ptr<SettingsDatabase> m_database;
    sqlite3 *m_db = nullptr;
    QString m_notice;
    mutable int m_lastError = 0;
};
