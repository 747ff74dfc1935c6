#pragma once

#include "dialogs/CDialog.h"
#include "pool/JobObservers.h"

#include <QPointer>

#include <functional>

class ConnectionManager;
class ListInfo;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Search For File": looks for names that contain a text, in a folder of a host and, if asked,
// in everything below it. Each match joins the list of the window as it is found, with its
// folder; a double click on one shows it in the pane that opened the search. Modeless: the search
// runs while the user works; "Cancel" stops a running search (the matches stay) and otherwise
// closes the window; closing it stops the search.
class SearchDialog : public CDialog, public SearchObserver
{
    Q_OBJECT
public:
    enum ControlId {
        IdThisConnection = 1,
        IdCancel = 2,
        IdSubFolders = 101,
        IdRefreshCache = 102,
        IdNamed = 103,
        IdFollowLinks = 105,
        IdNewConnection = 106,
        IdLookIn = 107,
        IdResults = 108,
        IdStatus = 109,
    };
    static constexpr int MaxText = 1000;
    static constexpr int MaxDirectory = 400;
    // Shows a match: its folder and its name.
    using GoTo = std::function<void(const QString &directory, const QString &name)>;

    static SearchDialog *open(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path,
                              GoTo goTo);
    ~SearchDialog() override;

    bool searching() const { return job_ != nullptr; }
    int matchCount() const;

    // SearchObserver
    void setCurrentDirectory(const QString &path) override;
    void found(const QString &directory, const QString &name, quint64 size, bool folder) override;
    void abort() override;
    void finished() override;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    SearchDialog(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path, GoTo goTo);
    void start(bool newConnection);
    void stop();
    void searchEnded(const QString &status);
    void showMatch();

    QPointer<ConnectionManager> pool_;
    QString host_;
    GoTo goTo_;
    ListInfo *job_ = nullptr;
    QLineEdit *named_;
    QLineEdit *lookIn_;
    QCheckBox *subFolders_;
    QCheckBox *followLinks_;
    QCheckBox *refresh_;
    QPushButton *thisConnection_;
    QPushButton *newConnection_;
    QTreeWidget *results_;
    QLabel *status_;
};
