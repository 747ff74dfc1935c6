#include "SettingsDatabase.h"

#include "SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
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

} // namespace

SettingsDatabase::SettingsDatabase(const QString &filePath)
    : m_filePath(filePath)
{
    if (open() != Outcome::NotOurs)
        return;
    close();
    QString movedTo;
    switch (moveAside(movedTo)) {
    case Move::Failed:
        m_notice = QStringLiteral("The settings file %1 is not usable and could not be moved aside; "
                                  "settings will not be saved.").arg(m_filePath);
        return;
    case Move::Moved:
        m_notice = QStringLiteral("The settings file was not usable and was moved to %1; "
                                  "starting with fresh settings.").arg(movedTo);
        break;
    case Move::Gone:
        break; // another copy of the program moved it a moment ago
    }
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

// Switching a new file to WAL needs it alone; when two copies of the program start on it at once,
// SQLite answers one of them "busy" at once instead of waiting (its busy handler is not asked for
// this lock). That one waits here, as the busy timeout would have it wait.
bool SettingsDatabase::execWaiting(sqlite3 *db, const char *sql)
{
    for (int waited = 0;; waited += 10) {
        if (exec(db, sql))
            return true;
        if ((sqlite3_extended_errcode(db) & 0xff) != SQLITE_BUSY || waited >= kBusyTimeoutMs)
            return false;
        sqlite3_sleep(10);
    }
}

SettingsDatabase::Outcome SettingsDatabase::open()
{
    if (!createFile() || !rememberFile())
        return Outcome::Unavailable;
    if (hasForeignHeader())
        return Outcome::NotOurs;
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
        const bool configured = execWaiting(m_db, "PRAGMA journal_mode=WAL") && exec(m_db, "PRAGMA foreign_keys=ON");
        outcome = configured ? prepareSchema(outcome) : Outcome::Unavailable;
    }
    if (outcome != Outcome::Ready)
        close();
    return outcome;
}

// Reads the header and the schema without writing: Empty for a new file, Ready for one of ours
// whose tables have the columns we use. The first read is where a damaged file shows itself.
SettingsDatabase::Outcome SettingsDatabase::classify()
{
    // One statement is one snapshot: read apart, another process could create the schema between
    // the two reads and make a new store of ours look like someone else's file.
    SqliteStatement header(m_db, "SELECT (SELECT application_id FROM pragma_application_id), "
                                 "(SELECT user_version FROM pragma_user_version), "
                                 "(SELECT count(*) FROM sqlite_schema)");
    if (header.step() != SQLITE_ROW)
        return isContentError(header.error()) ? Outcome::NotOurs : Outcome::Unavailable;
    const qint64 appId = header.integer(0);
    if (appId == 0 && header.integer(2) == 0)
        return Outcome::Empty;
    if (appId != kApplicationId || header.integer(1) > kSchemaVersion)
        return Outcome::NotOurs;
    SqliteStatement keys(m_db, "SELECT id, parent, name, path FROM keys LIMIT 0");
    SqliteStatement vals(m_db, "SELECT id, key, name, folded, data FROM vals LIMIT 0");
    return keys.isValid() && vals.isValid() ? Outcome::Ready : Outcome::NotOurs;
}

// A file whose first bytes cannot be SQLite's header is not handed to SQLite at all: a stale -wal
// file beside it could otherwise make it pass for a database. Zero bytes prove nothing: while
// another process checkpoints, the file may be extended with zeros just before the pages are
// written, and this read takes no lock.
bool SettingsDatabase::hasForeignHeader() const
{
    static const QByteArray header("SQLite format 3\0", 16);
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(header.size());
    for (qsizetype i = 0; i < start.size(); ++i) {
        if (start.at(i) != 0 && start.at(i) != header.at(i))
            return true;
    }
    return false;
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

bool SettingsDatabase::rememberFile()
{
    struct stat status {};
    if (::stat(QFile::encodeName(m_filePath).constData(), &status) != 0)
        return false;
    m_device = status.st_dev;
    m_inode = status.st_ino;
    return true;
}

// A file of ours only needs its pages checked. A new file gets its tables within one write
// transaction, so that two processes starting on it do not both create them: the second waits,
// then finds them.
SettingsDatabase::Outcome SettingsDatabase::prepareSchema(Outcome found)
{
    if (found == Outcome::Ready)
        return checkIntegrity();
    if (!exec(m_db, "BEGIN IMMEDIATE")) {
        const int rc = sqlite3_extended_errcode(m_db);
        return isContentError(rc) ? Outcome::NotOurs : Outcome::Unavailable;
    }
    Outcome outcome = classify();
    if (outcome == Outcome::Empty)
        outcome = exec(m_db, kSchema) ? Outcome::Ready : Outcome::Unavailable;
    if (outcome == Outcome::Ready && exec(m_db, "COMMIT"))
        return Outcome::Ready;
    exec(m_db, "ROLLBACK");
    return outcome == Outcome::Ready ? Outcome::Unavailable : outcome;
}

// The pages of our file must be sound. The store is a few hundred rows, so a full quick check
// costs nothing noticeable.
SettingsDatabase::Outcome SettingsDatabase::checkIntegrity()
{
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

// Renames the file, with any -wal and -shm beside it (they belong to it and would otherwise be
// replayed into the fresh file), to settings.db.broken-YYYYMMDD-HHMMSS, adding -2, -3... when that
// name is taken. Copies of the program starting together all find the same broken file: each
// takes an exclusive lock on it and moves it only if it is still the file it examined, so the
// fresh store that the first one made is never moved by the others.
SettingsDatabase::Move SettingsDatabase::moveAside(QString &movedTo)
{
    const QByteArray path = QFile::encodeName(m_filePath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Move::Gone : Move::Failed;
    struct stat opened {};
    struct stat named {};
    Move result = Move::Gone;
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0
        && opened.st_dev == m_device && opened.st_ino == m_inode && named.st_ino == m_inode
        && named.st_dev == m_device)
        result = renameAside(movedTo);
    ::close(fd);
    return result;
}

// The -wal and -shm files go first: once the main file is gone, another copy of the program may
// start a fresh store at once, and its new -wal and -shm must stay where they are.
SettingsDatabase::Move SettingsDatabase::renameAside(QString &movedTo)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = m_filePath + QStringLiteral(".broken-") + stamp;
    for (int n = 1; n < 1000; ++n) {
        const QString target = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        if (QFileInfo::exists(target) || QFileInfo::exists(target + QStringLiteral("-wal"))
            || QFileInfo::exists(target + QStringLiteral("-shm")))
            continue;
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString companion = m_filePath + QLatin1String(suffix);
            if (QFileInfo::exists(companion))
                QFile::rename(companion, target + QLatin1String(suffix));
        }
        if (!QFile::rename(m_filePath, target)) {
            if (QFileInfo::exists(target))
                continue; // taken between the check and the rename
            return Move::Failed;
        }
        movedTo = target;
        return Move::Moved;
    }
    return Move::Failed;
}
