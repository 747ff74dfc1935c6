#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

TestEnvironment::~TestEnvironment()
{
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->wasSet)
            qputenv(it->name.constData(), it->value);
        else
            qunsetenv(it->name.constData());
    }
}

bool TestEnvironment::setUp()
{
    if (m_setUp)
        return true;
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
        return false;
    }
    bool ok = redirect("XDG_CONFIG_HOME", configHome()) && redirect("XDG_CACHE_HOME", cacheHome())
        && redirect("XDG_DATA_HOME", dataHome()) && redirect("XDG_STATE_HOME", stateHome());
    if (ok && m_homeMode == Home::Redirect)
        ok = redirect("HOME", m_dir.filePath(QStringLiteral("home")));
    m_setUp = ok;
    return ok;
}

QString TestEnvironment::home() const
{
    return m_homeMode == Home::Redirect ? m_dir.filePath(QStringLiteral("home")) : QDir::homePath();
}

bool TestEnvironment::redirect(const char *name, const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create ") + folder;
        return false;
    }
    m_saved.append({QByteArray(name), qEnvironmentVariableIsSet(name), qgetenv(name)});
    qputenv(name, QFile::encodeName(folder));
    return true;
}
