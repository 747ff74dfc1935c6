#include "SqliteStatement.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *db, const char *sql)
    : m_db(db)
{
    if (!db) {
        m_error = SQLITE_MISUSE;
        return;
    }
    m_error = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    if (m_error != SQLITE_OK)
        m_stmt = nullptr;
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::bind(int index, const QString &text)
{
    bind(index, text.toUtf8());
}

void SqliteStatement::bind(int index, const QByteArray &utf8)
{
    // A null QByteArray would bind SQL NULL; an empty text must stay an empty text.
    sqlite3_bind_text(m_stmt, index, utf8.isNull() ? "" : utf8.constData(), int(utf8.size()),
                      SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int index, qint64 number)
{
    sqlite3_bind_int64(m_stmt, index, number);
}

int SqliteStatement::step()
{
    if (!m_stmt)
        return m_error;
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_error = sqlite3_extended_errcode(m_db);
    return rc;
}

bool SqliteStatement::run()
{
    int rc;
    do
        rc = step();
    while (rc == SQLITE_ROW);
    return rc == SQLITE_DONE;
}

QByteArray SqliteStatement::bytes(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}

QString SqliteStatement::text(int column) const
{
    return QString::fromUtf8(bytes(column));
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}
