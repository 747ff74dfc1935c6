#pragma once

#include <QWidget>

#include <functional>

class Prompt;
class QCheckBox;
class QLineEdit;

// The "Host" page of the host options: name, address and login. It renames the host's key when
// the name changes, and "Anonymous Login" fills in "anonymous" and the user's e-mail address.
class HostDetails : public QWidget
{
    Q_OBJECT
public:
    enum ControlId { IdName = 101, IdAddress = 102, IdUser = 103, IdPassword = 104, IdAnonymous = 107 };
    using Renamed = std::function<void(const QString &oldName, const QString &newName)>;

    // hostName is the sheet's shared name: a rename at apply writes the new name into it.
    HostDetails(QString &hostName, Prompt &prompt, Renamed renamed, QWidget *parent = nullptr);

    // Reads the host's key into the controls (once, when the page is first shown).
    void setUp();
    bool isSetUp() const { return setUp_; }
    // Validates and writes; false (after telling the user) when the apply is refused.
    bool apply();

signals:
    void changed();

private:
    void anonymousClicked();
    void loginEdited();
    bool refuse(const QString &text, int focusId, bool stopIcon = true);

    QString &hostName_;
    Prompt &prompt_;
    Renamed renamed_;
    bool setUp_ = false;
    QLineEdit *name_;
    QLineEdit *address_;
    QLineEdit *user_;
    QLineEdit *password_;
    QCheckBox *anonymous_;
};
