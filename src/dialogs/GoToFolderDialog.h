#pragma once

#include "dialogs/CDialog.h"

class QComboBox;

// "Go To Folder": a host (or "My Computer") and a folder typed or taken from the host's recent
// destinations. The caller moves the panes there after OK.
class GoToFolderDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdDirectory = 101, IdHost = 102 };

    GoToFolderDialog(QWidget *parent, const QString &host, const QString &path);

    QString host() const;
    // The folder as typed, normalised ("/" separators, a drive for "My Computer", a trailing "/").
    QString path() const;

public slots:
    // Records the folder in the host's destinations.
    void accept() override;

private:
    void hostChanged();

    QComboBox *hosts_;
    QComboBox *directories_;
};
