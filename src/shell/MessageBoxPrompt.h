#pragma once

#include "platform/Prompt.h"
#include "shell/NotificationSender.h"

#include <QPointer>

#include <memory>

class ConnectionManager;
class FinishedWorkNotice;
class QMessageBox;

// The program's message boxes: a modal QMessageBox over the active window, at least as wide as
// its caption; a certificate question gets a dialog of its own. "Host Options…" opens the host's
// options sheet once a pool is given; finished long work becomes a desktop notification (through
// the given sender, else the session bus).
class MessageBoxPrompt : public Prompt
{
public:
    explicit MessageBoxPrompt(std::unique_ptr<NotificationSender> sender = {});
    ~MessageBoxPrompt() override;

    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override;
    // The "Untrusted Certificate" dialog over the active window, through the installed dialog runner.
    Trust trustCertificate(const CertificateQuestion &question) override;
    // Opens the sheet from the event loop, once the caller has returned; the prompt must outlive the pool.
    void editHost(const QString &hostName) override;
    void workEnded(const QString &summary, const QString &body, qint64 elapsedMs) override;

    // The pool whose hosts "Host Options…" edits; without one the button is left out.
    void setPool(ConnectionManager *pool);

    // Widens the box so that the window manager shows its whole caption in the title bar.
    static void fitCaption(QMessageBox &box);
    // The width a box needs for caption: the caption in a title bar's bold type, beside the
    // title bar's icon and buttons.
    static int captionWidth(const QString &caption);

private:
    QPointer<ConnectionManager> pool_;
    std::unique_ptr<NotificationSender> sender_;
    std::unique_ptr<FinishedWorkNotice> notice_;
};
