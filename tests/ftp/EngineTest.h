#pragma once

// The engine tests' fixture: a pool with a recording prompt, status line, pane and listing job,
// over a settings store and a local folder of their own, fresh for each test function.

#include "EngineRecorders.h"

#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "ftp/Connection.h"
#include "pool/ConnectionManager.h"

#include <QTemporaryDir>
#include <QTest>
#include <memory>

class EngineTest : public QObject
{
protected:
    TestEnvironment env_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    RecordingPane pane_;
    RecordingJob job_;
    std::unique_ptr<ConnectionManager> pool_;
    std::unique_ptr<QTemporaryDir> local_;

    // For init(): a fresh pool (uploads with STOR: the pool keeps that option in the settings
    // between runs) that reports to pane_, and a fresh local folder. dataMode 1: data connections
    // in active mode, as the scripted servers' scripts are written; 2: passive, the program's default.
    bool setUpEngine(int dataMode = 2)
    {
        prompt_.clear();
        status_.clear();
        pane_ = RecordingPane();
        job_ = RecordingJob();
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        pool_->setStoreUnique(false);
        pool_->setDataMode(dataMode);
        pool_->addPane(&pane_);
        local_ = std::make_unique<QTemporaryDir>();
        return local_->isValid();
    }

    void tearDownEngine()
    {
        pool_.reset();
        local_.reset();
    }

    // The browse connection to the server (scripted or pyftpdlib), logged in; nullptr when the
    // login did not end idle in time. A scripted server must already expect the login.
    template <class Server>
    Connection *logIn(const Server &server, int hostType = 1)
    {
        const HostRecord r = hostRecord(server.port(), hostType);
        pool_->defineHost(r);
        Connection *c = pool_->connection(ConnectionManager::Browse,
                                          pool_->GetConnection(r.name, ConnectionManager::Browse));
        if (!c || !QTest::qWaitFor([c] { return c->state() == Connection::Idle; }, 20000))
            return nullptr;
        return c;
    }

    template <class Server>
    static QString hostOf(const Server &server) { return hostRecord(server.port()).name; }
    QString localPath(const QString &name) const { return local_->filePath(name); }
    static bool idle(Connection *c) { return c->state() == Connection::Idle; }
};
