#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement, finalized when it goes out of scope. Text is bound and read as
// UTF-8 with explicit lengths, so any text survives byte for byte.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    void bind(int index, const QString &text);
    void bind(int index, const QByteArray &utf8);
    void bind(int index, qint64 number);

    // One step: SQLITE_ROW, SQLITE_DONE or an error code (also kept in error()).
    int step();
    // Steps until done; true when the statement ran to its end.
    bool run();

    QByteArray bytes(int column) const;
    QString text(int column) const;
    qint64 integer(int column) const;
    int error() const { return m_error; }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    int m_error = 0;
};
