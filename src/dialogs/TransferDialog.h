#pragma once

#include "dialogs/CDialog.h"

#include <QElapsedTimer>
#include <QPointer>

class Connection;
class ConnectionManager;
class Prompt;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class RedrawTimer;
class TransferStack;

// The window of one transfer between a host and the local disk, over the stack record it owns:
// the lines still to move, the current file with its size, progress and time left, the time left
// for the whole stack, and the connection's status line. "&Skip File" drops the running file;
// "&Close Connection" or closing the window ends the transfer (its connection goes with a
// started one; a waiting one only leaves its queue). The window goes when the transfer ends,
// showing what failed in a window of its own.
class TransferDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId {
        IdStack = 101,
        IdStackRemaining = 106,
        IdCurrentFile = 108,
        IdSkip = 109,
        IdFileSize = 111,
        IdFileRemaining = 112,
        IdClose = 113,
        IdGauge = 114,
        IdStatus = 17636,
    };

    // The window of a transfer with host; lines go into stack() before start().
    TransferDialog(QWidget *parent, const QString &host);

    TransferStack &stack() { return *stack_; }
    // Shows the window and queues the stack on the host's browse connection (kind 0) or a new
    // one that closes when its queue is done (kind 1). Without a connection the window goes.
    void start(ConnectionManager &pool, int kind);
    int redraws() const;

public slots:
    void skipFile();
    void closeConnection();

    // Closing the window (or Escape) is "&Close Connection".
    void reject() override;

private:
    void redraw();
    void stackEnded();

    QString host_;
    TransferStack *stack_;
    QPointer<Connection> connection_; // the one that holds the stack now
    Prompt *prompt_ = nullptr;        // the pool's, told when the transfer has ended
    QElapsedTimer running_;
    RedrawTimer *redrawTimer_;
    QListWidget *lines_;
    QLineEdit *stackRemaining_, *currentFile_, *fileSize_, *fileRemaining_;
    QProgressBar *gauge_;
    QLabel *status_;
    bool ended_ = false;
    bool closedByUser_ = false;
};
