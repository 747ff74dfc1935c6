#pragma once

#include "dialogs/CDialog.h"
#include "ftp/ListingEntry.h"

#include <QHash>

#include <QStringList>

class ConnectionManager;

// "Deleting": asks on which connection to delete the selected files and folders of one host
// directory. Either button starts the delete and the dialog goes. Selected folders are checked
// against a fresh listing of the directory and walked (a delete walk never enters a link; a
// selected name the host lists as a link is deleted as the link itself), then a "Deleting Files"
// window works through everything, each folder after its contents.
class ConfirmDeleteDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdCancel = 2, IdThisConnection = 101, IdNewConnection = 102, IdText = 17001 };

    static ConfirmDeleteDialog *start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                      const QString &directory, const QStringList &fileNames,
                                      const QStringList &directoryNames);

private:
    ConfirmDeleteDialog(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &directory,
                        const QStringList &fileNames, const QStringList &directoryNames);
    void pressed(int kind);
    QStringList fileLines() const;
    void deleteListed(const QHash<QString, ListingEntry::Kind> &kinds, int kind);

    ConnectionManager &pool_;
    QString host_, directory_;
    QStringList fileNames_, directoryNames_;
};
