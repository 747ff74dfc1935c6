#pragma once

#include <QWidget>

#include <optional>

class Prompt;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

// The "Cache and Connection" page of the host options: how long the host's listings are cached,
// its port, host type, data connection (active, passive or the program's choice), encryption,
// start path, and the certificate the user trusts for it (which may be forgotten).
// It writes to the key of the sheet's shared host name, so after a rename on the "Host" page it
// writes under the new name.
class CacheDetails : public QWidget
{
    Q_OBJECT
public:
    enum ControlId {
        IdNoCaching = 101,
        IdExpiresOnStartup = 102,
        IdNeverExpires = 103,
        IdExpiresAfterPeriod = 104,
        IdPort = 106,
        IdHostType = 107,
        IdStartPath = 108,
        IdDataMode = 109,
        IdEncryption = 110,
        IdCertificate = 111,
        IdForgetCertificate = 112,
        IdDays = 17736,
        IdMinutes = 17737,
    };

    CacheDetails(const QString &hostName, Prompt &prompt, QWidget *parent = nullptr);

    void setUp();
    bool isSetUp() const { return setUp_; }
    bool apply();

signals:
    void changed();

private:
    bool refuse(const QString &text, QWidget *control);
    void showCertificate(const QString &fingerprint);

    const QString &hostName_;
    Prompt &prompt_;
    bool setUp_ = false;
    QButtonGroup *policy_;
    QLineEdit *days_;
    QLineEdit *minutes_;
    QLineEdit *port_;
    QComboBox *hostType_;
    QComboBox *dataMode_;
    // A stored DataMode other than 0, 1 or 2 shows as the connections read it (the program's
    // default, or the number it starts with) and stays as it is until the user picks a choice.
    bool keepStoredDataMode_ = false;
    QComboBox *encryption_;
    bool keepStoredEncryption_ = false; // as keepStoredDataMode_
    QTextEdit *certificate_;
    QPushButton *forget_;
    bool forgetCertificate_ = false; // the stored CertSha256 goes when the page is applied
    QLineEdit *startPath_;
};
