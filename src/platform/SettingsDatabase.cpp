#include "SettingsDatabase.h"

#include "SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "VEML": marks the file as a settings store of this program.
constexpr int kApplicationId = 0x56454D4C;
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000;

// Keys form a tree through `parent`; `path` is the case-folded full path, so that a lookup is one
// indexed query and two names differing only in case are one key. Values keep the case of the name
// they were created with in `name` and are matched by `folded`. Ids grow, so ordering by id is the
// order of creation.
const char kSchema[] = R"(
CREATE TABLE keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  path TEXT NOT NULL UNIQUE);
CREATE INDEX keys_by_parent ON keys(parent, id);
CREATE TABLE vals(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  data TEXT NOT NULL,
  UNIQUE(key, folded));
PRAGMA application_id = 1447382348;
PRAGMA user_version = 1;
)";

// Errors that say the file's content is not a usable database, as opposed to an environment
// problem (permissions, locks, a full disk) that moving the file would not cure.
bool isContentError(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT || primary == SQLITE_FORMAT;
}

qint64 pragmaNumber(sqlite3 *db, const char *sql, int *error)
{
    SqliteStatement query(db, sql);
    if (query.step() != SQLITE_ROW) {
        *error = query.error();
        return -1;
    }
    return query.integer(0);
}

} // namespace

SettingsDatabase::SettingsDatabase(const QString &filePath)
    : m_filePath(filePath)
{
    Outcome outcome = open();
    if (outcome != Outcome::NotOurs)
        return;
    close();
    const QString movedTo = moveAside();
    if (movedTo.isEmpty()) {
        m_notice = QStringLiteral("The settings file %1 is not usable and could not be moved aside; "
                                  "settings will not be saved.").arg(m_filePath);
        return;
    }
    m_notice = QStringLiteral("The settings file was not usable and was moved to %1; "
                              "starting with fresh settings.").arg(movedTo);
    if (open() != Outcome::Ready)
        close();
}

SettingsDatabase::~SettingsDatabase()
{
    close();
}

bool SettingsDatabase::exec(sqlite3 *db, const char *sql)
{
    return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SettingsDatabase::Outcome SettingsDatabase::open()
{
    if (!createFile())
        return Outcome::Unavailable;
    const QByteArray path = QFile::encodeName(m_filePath);
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        close();
        return Outcome::Unavailable;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(m_db, 1);
    // Look before writing anything: a file that is not ours must be moved aside unchanged.
    Outcome outcome = classify();
    if (outcome == Outcome::Empty || outcome == Outcome::Ready) {
        const bool configured = exec(m_db, "PRAGMA journal_mode=WAL") && exec(m_db, "PRAGMA foreign_keys=ON");
        outcome = configured ? prepareSchema() : Outcome::Unavailable;
    }
    if (outcome != Outcome::Ready)
        close();
    return outcome;
}

// Reads the header and the schema without writing: Empty for a new file, Ready for one of ours.
// The first read is where a file of garbage shows itself.
SettingsDatabase::Outcome SettingsDatabase::classify()
{
    int error = SQLITE_OK;
    const qint64 appId = pragmaNumber(m_db, "PRAGMA application_id", &error);
    const qint64 objects = pragmaNumber(m_db, "SELECT count(*) FROM sqlite_schema", &error);
    if (error != SQLITE_OK)
        return isContentError(error) ? Outcome::NotOurs : Outcome::Unavailable;
    if (appId == 0 && objects == 0)
        return Outcome::Empty;
    return appId == kApplicationId ? Outcome::Ready : Outcome::NotOurs;
}

// Creates the file with owner-only permissions when it does not exist yet, so that SQLite (and its
// -wal and -shm files, which copy the mode) never make it readable by others.
bool SettingsDatabase::createFile()
{
    const QFileInfo info(m_filePath);
    const QString dir = info.absolutePath();
    if (!QFileInfo::exists(dir)) {
        QDir().mkpath(QFileInfo(dir).absolutePath());
        ::mkdir(QFile::encodeName(dir).constData(), 0700);
    }
    const int fd = ::open(QFile::encodeName(m_filePath).constData(), O_WRONLY | O_CREAT | O_CLOEXEC,
                          0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Within one write transaction, so that two processes starting on a new file do not both create
// the tables: the second waits and then finds them.
SettingsDatabase::Outcome SettingsDatabase::prepareSchema()
{
    if (!exec(m_db, "BEGIN IMMEDIATE")) {
        const int rc = sqlite3_extended_errcode(m_db);
        return isContentError(rc) ? Outcome::NotOurs : Outcome::Unavailable;
    }
    Outcome outcome = classify();
    if (outcome == Outcome::Empty)
        outcome = exec(m_db, kSchema) ? Outcome::Ready : Outcome::Unavailable;
    else if (outcome == Outcome::Ready)
        outcome = checkIntegrity();
    if (outcome == Outcome::Ready && exec(m_db, "COMMIT"))
        return Outcome::Ready;
    exec(m_db, "ROLLBACK");
    return outcome == Outcome::Ready ? Outcome::Unavailable : outcome;
}

// Our file: the tables must have the columns we use and the pages must be sound. The store is a
// few hundred rows, so a full quick check costs nothing noticeable.
SettingsDatabase::Outcome SettingsDatabase::checkIntegrity()
{
    SqliteStatement keys(m_db, "SELECT id, parent, name, path FROM keys LIMIT 0");
    SqliteStatement vals(m_db, "SELECT id, key, name, folded, data FROM vals LIMIT 0");
    if (!keys.isValid() || !vals.isValid())
        return Outcome::NotOurs;
    int error = SQLITE_OK;
    if (pragmaNumber(m_db, "PRAGMA user_version", &error) > kSchemaVersion)
        return Outcome::NotOurs;
    SqliteStatement check(m_db, "PRAGMA quick_check(1)");
    if (check.step() != SQLITE_ROW)
        return isContentError(check.error()) ? Outcome::NotOurs : Outcome::Unavailable;
    return check.text(0) == QLatin1String("ok") ? Outcome::Ready : Outcome::NotOurs;
}

void SettingsDatabase::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

// Renames the file (and any -wal and -shm beside it, which belong to it and would otherwise be
// replayed into the fresh file) to settings.db.broken-YYYYMMDD-HHMMSS, adding -2, -3... when that
// name is taken. Returns the new name, or empty when the file could not be moved.
QString SettingsDatabase::moveAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = m_filePath + QStringLiteral(".broken-") + stamp;
    for (int n = 1; n < 1000; ++n) {
        const QString target = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        if (QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal")))
            continue;
        if (!QFile::rename(m_filePath, target)) {
            if (QFileInfo::exists(target))
                continue; // taken between the check and the rename
            return QString();
        }
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString companion = m_filePath + QLatin1String(suffix);
            if (QFileInfo::exists(companion))
                QFile::rename(companion, target + QLatin1String(suffix));
        }
        return target;
    }
    return QString();
}
