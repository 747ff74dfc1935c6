#pragma once

#include "dialogs/CDialog.h"

class QComboBox;
class QLineEdit;

// "Startup Paths": the host and folder each pane opens at the next start.
class StartPathDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdPath0 = 103, IdHost0 = 104, IdPath1 = 105, IdHost1 = 106 };
    static constexpr int MaxPath = 2000;

    explicit StartPathDialog(QWidget *parent);

    // The path as it is stored for a host: empty for "All Hosts", else normalised as a folder
    // ("/" separators, a trailing "/", a drive for "My Computer"; nothing typed is the top).
    static QString storedPath(const QString &host, const QString &typed);

public slots:
    void accept() override;

private:
    QComboBox *hosts_[2];
    QLineEdit *paths_[2];
};
