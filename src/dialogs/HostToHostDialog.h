#pragma once

#include "dialogs/CDialog.h"

#include <QElapsedTimer>

class ConnectionManager;
class HostToHostTransfer;
class Prompt;
class QLabel;
class QLineEdit;
class QListWidget;
class RedrawTimer;

// "Host to Host Transfer": the window of one copy between two hosts, over the record it owns:
// source and destination host, the host busy now, the status line, the lines still to copy and
// the current file. A background copy opens minimised, a foreground one in front; both copy each
// file whole before the next. "&Cancel" or closing the window ends the copy (the two connections
// stay open); at its end the window goes, showing what failed in a window of its own.
class HostToHostDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId {
        IdLines = 101,
        IdCurrentFile = 102,
        IdCancel = 103,
        IdBusyHost = 17650,
        IdStatus = 17651,
        IdSourceHost = 17652,
        IdDestinationHost = 17653,
    };

    HostToHostDialog(QWidget *parent, ConnectionManager &pool, const QString &sourceHost,
                     const QString &destinationHost, bool background);

    HostToHostTransfer &transfer() { return *transfer_; }
    // Shows the window (minimised for a background copy) and starts on the first line.
    void start();

public slots:
    void reject() override;

private:
    void redraw();
    void transferEnded();

    HostToHostTransfer *transfer_;
    Prompt &prompt_; // the pool's, told when the copy has ended
    QElapsedTimer running_;
    RedrawTimer *redrawTimer_;
    QLabel *busyHost_, *status_;
    QListWidget *lines_;
    QLineEdit *currentFile_;
    bool ended_ = false;
};
