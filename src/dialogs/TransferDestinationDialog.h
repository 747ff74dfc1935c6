#pragma once

#include "dialogs/CDialog.h"
#include "dialogs/TransferRequest.h"

class ConnectionManager;
class QCheckBox;
class QComboBox;
class QPushButton;

// "File Transfer": where a copy goes. The host list holds "My Computer" and every host; the
// directory list holds the chosen host's recent destinations. The two buttons are named for what
// they choose between (the connection for a transfer with a host, the mode of a copy between
// hosts, OK and Cancel between local folders); either starts the copy (TransferStarter) and
// the dialog goes.
class TransferDestinationDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId {
        IdFirst = 1,
        IdCancel = 2,
        IdDirectory = 101,
        IdHost = 102,
        IdSecond = 103,
        IdRefresh = 104,
    };

    // Shows the dialog (preset 0) or starts at once; the dialog lives on by itself while a walk runs.
    static void start(QWidget *parent, ConnectionManager &pool, const TransferRequest &request);

    QPushButton *firstButton() const { return first_; }
    QPushButton *secondButton() const { return second_; }

private:
    TransferDestinationDialog(QWidget *parent, ConnectionManager &pool, const TransferRequest &request);
    void fillHosts();
    void hostChanged();
    void pressed(int kind);

    ConnectionManager &pool_;
    TransferRequest request_;
    QComboBox *hosts_;
    QComboBox *directories_;
    QCheckBox *refresh_;
    QPushButton *first_, *second_, *cancel_;
    bool pressed_ = false; // a button started the copy: the dialog is on its way out
};
