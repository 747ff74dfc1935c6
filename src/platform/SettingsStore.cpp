#include "SettingsStore.h"

#include "SettingsDatabase.h"
#include "SqliteStatement.h"

#include <QDir>

#include <algorithm>

#include <sqlite3.h>

namespace {

std::unique_ptr<SettingsStore> &sharedStore()
{
    static std::unique_ptr<SettingsStore> store;
    return store;
}

// The names of a key path; nullopt for an empty path or one with an empty name in it, so that
// "Hosts\\" + an empty host name never stands for the Hosts key itself.
std::optional<QStringList> splitKey(const QString &key)
{
    const QStringList names = key.split(QLatin1Char('\\'));
    for (const QString &name : names) {
        if (name.isEmpty())
            return std::nullopt;
    }
    return names;
}

// The case-folded path of the first `count` names: the form keys are looked up by.
QString foldedPath(const QStringList &names, qsizetype count)
{
    QStringList folded;
    for (qsizetype i = 0; i < count; ++i)
        folded << names.at(i).toCaseFolded();
    return folded.join(QLatin1Char('\\'));
}

std::optional<QString> foldedKey(const QString &key)
{
    const auto names = splitKey(key);
    if (!names)
        return std::nullopt;
    return foldedPath(*names, names->size());
}

} // namespace

SettingsStore &SettingsStore::instance()
{
    auto &store = sharedStore();
    if (!store)
        store = std::make_unique<SettingsStore>(defaultFilePath());
    return *store;
}

void SettingsStore::reopen()
{
    auto &store = sharedStore();
    store.reset();
    store = std::make_unique<SettingsStore>(defaultFilePath());
}

QString SettingsStore::defaultFilePath()
{
    // The XDG rule: a relative XDG_CONFIG_HOME is to be ignored.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/vemalftp/settings.db");
}

SettingsStore::SettingsStore(const QString &filePath)
    : m_database(std::make_unique<SettingsDatabase>(filePath))
    , m_db(m_database->handle())
    , m_notice(m_database->notice())
{
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::isOpen() const
{
    return m_db != nullptr;
}

QString SettingsStore::filePath() const
{
    return m_database->filePath();
}

QString SettingsStore::takeNotice()
{
    return std::exchange(m_notice, QString());
}

bool SettingsStore::fail(int error) const
{
    m_lastError = error != SQLITE_OK ? error : SQLITE_ERROR;
    return false;
}

// Runs body inside BEGIN IMMEDIATE: the write lock is taken (waiting for another process up to the
// busy timeout) before anything is read, so the transaction can never fail half-way for a lock.
template<typename Body>
bool SettingsStore::write(Body body)
{
    m_lastError = SQLITE_OK;
    if (!m_db)
        return fail(SQLITE_CANTOPEN);
    if (!SettingsDatabase::exec(m_db, "BEGIN IMMEDIATE"))
        return fail(sqlite3_extended_errcode(m_db));
    if (body() && SettingsDatabase::exec(m_db, "COMMIT"))
        return true;
    const int error = m_lastError != SQLITE_OK ? m_lastError : sqlite3_extended_errcode(m_db);
    SettingsDatabase::exec(m_db, "ROLLBACK");
    return fail(error);
}

bool SettingsStore::keyExists(const QString &key) const
{
    return keyName(key).has_value();
}

std::optional<QString> SettingsStore::keyName(const QString &key) const
{
    const auto path = foldedKey(key);
    if (!path || !m_db)
        return std::nullopt;
    SqliteStatement query(m_db, "SELECT name FROM keys WHERE path = ?1");
    query.bind(1, *path);
    if (query.step() != SQLITE_ROW)
        return std::nullopt;
    return query.text(0);
}

// Inside a write transaction: finds or creates each key along the path; the id of the last one,
// or -1.
qint64 SettingsStore::ensureKey(const QString &key)
{
    const auto names = splitKey(key);
    if (!names) {
        fail(SQLITE_MISUSE);
        return -1;
    }
    qint64 parent = 0;
    for (qsizetype depth = 1; depth <= names->size(); ++depth) {
        const QString path = foldedPath(*names, depth);
        SqliteStatement insert(m_db, "INSERT INTO keys(parent, name, path) VALUES(?1, ?2, ?3) "
                                     "ON CONFLICT(path) DO NOTHING");
        if (parent != 0)
            insert.bind(1, parent);
        insert.bind(2, names->at(depth - 1));
        insert.bind(3, path);
        SqliteStatement find(m_db, "SELECT id FROM keys WHERE path = ?1");
        find.bind(1, path);
        if (!insert.run() || find.step() != SQLITE_ROW) {
            fail(insert.error() != SQLITE_OK ? insert.error() : find.error());
            return -1;
        }
        parent = find.integer(0);
    }
    return parent;
}

bool SettingsStore::createKey(const QString &key)
{
    return write([&] { return ensureKey(key) > 0; });
}

bool SettingsStore::deleteKey(const QString &key)
{
    const auto path = foldedKey(key);
    if (!path)
        return fail(SQLITE_MISUSE);
    bool deleted = false;
    const bool done = write([&] {
        // Subkeys and values go with it through the ON DELETE CASCADE of their foreign keys.
        SqliteStatement remove(m_db, "DELETE FROM keys WHERE path = ?1");
        remove.bind(1, *path);
        if (!remove.run())
            return fail(remove.error());
        deleted = sqlite3_changes(m_db) > 0;
        return true;
    });
    return done && deleted;
}

QStringList SettingsStore::subkeys(const QString &key) const
{
    const auto path = foldedKey(key);
    QStringList names;
    if (!path || !m_db)
        return names;
    SqliteStatement query(m_db, "SELECT child.name FROM keys child JOIN keys parent "
                                "ON child.parent = parent.id WHERE parent.path = ?1 ORDER BY child.id");
    query.bind(1, *path);
    while (query.step() == SQLITE_ROW)
        names << query.text(0);
    return names;
}

std::optional<QString> SettingsStore::value(const QString &key, const QString &name,
                                            int bufferSize) const
{
    const auto path = foldedKey(key);
    if (!path || !m_db)
        return std::nullopt;
    SqliteStatement query(m_db, "SELECT vals.data FROM vals JOIN keys ON vals.key = keys.id "
                                "WHERE keys.path = ?1 AND vals.folded = ?2");
    query.bind(1, *path);
    query.bind(2, name.toCaseFolded());
    if (query.step() != SQLITE_ROW)
        return std::nullopt;
    const QByteArray data = query.bytes(0);
    if (bufferSize > 0 && data.size() + 1 > bufferSize)
        return std::nullopt;
    return QString::fromUtf8(data);
}

QList<SettingsValue> SettingsStore::values(const QString &key) const
{
    const auto path = foldedKey(key);
    QList<SettingsValue> list;
    if (!path || !m_db)
        return list;
    SqliteStatement query(m_db, "SELECT vals.name, vals.data FROM vals JOIN keys "
                                "ON vals.key = keys.id WHERE keys.path = ?1 ORDER BY vals.id");
    query.bind(1, *path);
    while (query.step() == SQLITE_ROW)
        list << SettingsValue{query.text(0), query.text(1)};
    return list;
}

bool SettingsStore::upsertValue(qint64 keyId, const QString &name, const QString &text)
{
    // An existing value is updated in place, so it keeps its name's case and its position.
    SqliteStatement upsert(m_db, "INSERT INTO vals(key, name, folded, data) VALUES(?1, ?2, ?3, ?4) "
                                 "ON CONFLICT(key, folded) DO UPDATE SET data = excluded.data");
    upsert.bind(1, keyId);
    upsert.bind(2, name);
    upsert.bind(3, name.toCaseFolded());
    upsert.bind(4, text);
    return upsert.run() || fail(upsert.error());
}

bool SettingsStore::setValue(const QString &key, const QString &name, const QString &text)
{
    return setValues(key, {SettingsValue{name, text}});
}

bool SettingsStore::setValues(const QString &key, const QList<SettingsValue> &values)
{
    // Values are written back at every shutdown, mostly unchanged; a commit costs a disk sync,
    // which after a large copy on the same disk can take a noticeable part of a second.
    const bool unchanged = std::all_of(values.begin(), values.end(), [&](const SettingsValue &value) {
        const std::optional<QString> stored = this->value(key, value.name);
        return stored && *stored == value.text;
    });
    if (unchanged && !values.isEmpty() && m_db) {
        m_lastError = SQLITE_OK;
        return true;
    }
    return write([&] {
        const qint64 keyId = ensureKey(key);
        if (keyId <= 0)
            return false;
        for (const SettingsValue &value : values) {
            if (!upsertValue(keyId, value.name, value.text))
                return false;
        }
        return true;
    });
}

bool SettingsStore::deleteValue(const QString &key, const QString &name)
{
    const auto path = foldedKey(key);
    if (!path)
        return fail(SQLITE_MISUSE);
    bool deleted = false;
    const bool done = write([&] {
        SqliteStatement remove(m_db, "DELETE FROM vals WHERE folded = ?2 AND key = "
                                     "(SELECT id FROM keys WHERE path = ?1)");
        remove.bind(1, *path);
        remove.bind(2, name.toCaseFolded());
        if (!remove.run())
            return fail(remove.error());
        deleted = sqlite3_changes(m_db) > 0;
        return true;
    });
    return done && deleted;
}

bool SettingsStore::copyValues(const QString &fromKey, const QString &toKey)
{
    const auto fromPath = foldedKey(fromKey);
    if (!fromPath)
        return fail(SQLITE_MISUSE);
    return write([&] {
        const qint64 target = ensureKey(toKey);
        if (target <= 0)
            return false;
        SqliteStatement copy(m_db, "INSERT INTO vals(key, name, folded, data) "
                                   "SELECT ?1, vals.name, vals.folded, vals.data FROM vals JOIN keys "
                                   "ON vals.key = keys.id WHERE keys.path = ?2 ORDER BY vals.id "
                                   "ON CONFLICT(key, folded) DO UPDATE SET data = excluded.data");
        copy.bind(1, target);
        copy.bind(2, *fromPath);
        return copy.run() || fail(copy.error());
    });
}
