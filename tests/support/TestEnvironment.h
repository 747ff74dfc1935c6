#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// Points the per-user folders at a fresh temporary folder so that no test reads or writes
// the user's real settings, cache or home: XDG_CONFIG_HOME, XDG_CACHE_HOME, XDG_DATA_HOME,
// XDG_STATE_HOME and (unless told otherwise) HOME. Child processes inherit them. The
// destructor restores the previous values and removes the folder.
//
//     class TestSettings : public QObject {
//         TestEnvironment m_env;
//     private slots:
//         void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }
class TestEnvironment
{
public:
    enum class Home { Redirect, Keep };

    explicit TestEnvironment(Home home = Home::Redirect) : m_homeMode(home) {}
    ~TestEnvironment();

    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    // Creates the folders and sets the variables; may be called once.
    bool setUp();
    bool isSetUp() const { return m_setUp; }
    QString errorString() const { return m_error; }

    QString path() const { return m_dir.path(); }
    QString home() const;          // the redirected HOME (or the real one with Home::Keep)
    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }
    QString cacheHome() const { return m_dir.filePath(QStringLiteral("cache")); }
    QString dataHome() const { return m_dir.filePath(QStringLiteral("data")); }
    QString stateHome() const { return m_dir.filePath(QStringLiteral("state")); }

private:
    bool redirect(const char *name, const QString &folder);

    Home m_homeMode;
    QTemporaryDir m_dir;
    bool m_setUp = false;
    QString m_error;
    struct Saved
    {
        QByteArray name;
        bool wasSet = false;
        QByteArray value;
    };
    QList<Saved> m_saved; // variables changed, with what they were before
};
