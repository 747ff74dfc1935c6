#pragma once

#include <QString>

#include <sys/types.h>

struct sqlite3;

// The open SQLite file behind the settings store. Opening makes sure the file is ours: a new or
// empty file gets the schema; a file that is not a database, is damaged, or belongs to something
// else is moved aside under a fresh name (never overwritten) and a new file is started. When even
// that fails the handle stays null and the store works as an empty, read-only one.
class SettingsDatabase
{
public:
    explicit SettingsDatabase(const QString &filePath);
    ~SettingsDatabase();
    SettingsDatabase(const SettingsDatabase &) = delete;
    SettingsDatabase &operator=(const SettingsDatabase &) = delete;

    sqlite3 *handle() const { return m_db; }
    QString filePath() const { return m_filePath; }
    // What the user should be told about the opening (a moved-aside file), or empty.
    QString notice() const { return m_notice; }

    // Runs SQL that returns no rows; false on any error.
    static bool exec(sqlite3 *db, const char *sql);
    // The same, waiting out "busy" answers for as long as the busy timeout.
    static bool execWaiting(sqlite3 *db, const char *sql);

private:
    enum class Outcome { Ready, Empty, NotOurs, Unavailable };
    enum class Move { Moved, Gone, Failed };

    Outcome open();
    Outcome classify();
    Outcome prepareSchema(Outcome found);
    Outcome checkIntegrity();
    void close();
    bool createFile();
    bool rememberFile();
    bool hasForeignHeader() const;
    Move moveAside(QString &movedTo);
    Move renameAside(QString &movedTo);

    QString m_filePath;
    QString m_notice;
    sqlite3 *m_db = nullptr;
    // The file that open() examined, by device and inode.
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
