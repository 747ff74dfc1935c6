#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include "ServedFolder.h"

#include <memory>

// A second real FTP server, stricter than pyftpdlib: Debian's vsftpd (/usr/sbin/vsftpd) as a
// child process in the foreground on a free 127.0.0.1 port, with its own configuration in a
// temporary folder. Anonymous login only (any password), passive mode only: PASV and EPSV
// work, PORT and EPRT are refused with 550. No MLST/MLSD, and FEAT lists no UTF8.
//
// vsftpd locks every anonymous session into the root folder (chroot) and refuses to run a
// session whose top folder it may write to, so the top folder is read-only to the client:
// upload into a folder that makeDir() or writeFile() made, which (like the files those make)
// are writable by every user; folders the client makes are its own. vsftpd must run as root
// (it changes to the "ftp" user that Debian's package creates); start() says so otherwise.
//
//     VsftpdFixture server;
//     QVERIFY2(server.start(), qPrintable(server.errorString()));
//     server.makeDir("incoming");
//     server.writeFile("pub/a.txt", "hello");
//     connectTo(server.url());   // ftp://127.0.0.1:PORT
//
// With Options::tls it demands TLS as strict hosts do: AUTH TLS before the anonymous login,
// PROT P before any data connection, and every data connection resuming the control
// connection's TLS session (require_ssl_reuse). The certificate is self-signed, made anew on
// every start(); certificateSha256() gives its fingerprint, secureUrl() the ftpes:// address.
class VsftpdFixture
{
public:
    static constexpr const char *Host = "127.0.0.1";

    // /usr/sbin/vsftpd, or the program VEMAL_TEST_VSFTPD names.
    static QString program();

    struct Options
    {
        bool tls = false;         // see above
        bool allowActive = false; // PORT and EPRT accepted too (vsftpd connects from a free port)
    };

    VsftpdFixture();
    explicit VsftpdFixture(const Options &options);
    ~VsftpdFixture();

    VsftpdFixture(const VsftpdFixture &) = delete;
    VsftpdFixture &operator=(const VsftpdFixture &) = delete;

    // Starts vsftpd and waits (at most 10 s) until an anonymous login on its port works. On
    // failure errorString() says why, with what vsftpd said. May be called again after stop().
    bool start();
    // Kills vsftpd and its sessions and waits (bounded) for it to exit.
    void stop();

    bool isRunning() const;
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    QString host() const { return QString::fromLatin1(Host); }
    // "ftp://127.0.0.1:PORT": the anonymous user.
    QString url() const;
    // "ftpes://127.0.0.1:PORT": the anonymous user, TLS required.
    QString secureUrl() const;
    // The SHA-256 fingerprint ("AB:CD:...") of the certificate served since the last start();
    // empty without TLS.
    QString certificateSha256() const { return m_fingerprint; }

    // The served folder, without a trailing slash, and helpers over it, as in FtpServerFixture.
    QString root() const { return m_folder.root(); }
    QString pathOf(const QString &relative) const { return m_folder.pathOf(relative); }
    bool writeFile(const QString &relative, const QByteArray &content) const
    {
        return m_folder.writeFile(relative, content);
    }
    QByteArray readFile(const QString &relative) const { return m_folder.readFile(relative); }
    bool makeDir(const QString &relative) const { return m_folder.makeDir(relative); }
    bool exists(const QString &relative) const { return m_folder.exists(relative); }

    // vsftpd's log so far (the protocol both ways, transfers) and anything it printed.
    QString log() const;

private:
    bool fail(const QString &why);
    QString checkMachine() const;
    bool writeConfig(quint16 port);
    bool makeCertificate();
    bool launch(quint16 port);
    QString waitForLogin(quint16 port);

    Options m_options;
    QTemporaryDir m_work; // configuration, log, the empty folder vsftpd needs, root/
    ServedFolder m_folder;
    QString m_configPath;
    QString m_logPath;
    QString m_outputPath;
    QString m_certPath;
    QString m_fingerprint;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};
