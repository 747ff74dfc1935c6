#pragma once

#include "dialogs/CDialog.h"

// "About Vemal Ftp": the program's picture, name and version line, and OK.
class AboutDialog : public CDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    static QString versionLine() { return QStringLiteral("Vemal Ftp v1.1"); }
};
