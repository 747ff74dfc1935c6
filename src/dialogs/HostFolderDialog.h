#pragma once

#include "dialogs/CDialog.h"

class QLineEdit;

// "Create New Host Folder": the name of a new folder of hosts. The caller checks and creates it.
class HostFolderDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdName = 101 };
    static constexpr int MaxLength = 255;

    explicit HostFolderDialog(QWidget *parent);

    QString name() const;

private:
    QLineEdit *name_;
};
