#pragma once

#include "dialogs/CDialog.h"

class Prompt;
class QLineEdit;

// "Cache Path": the folder that keeps the listing cache, in drive form ("C:\...\"). OK stores the
// normalised path in CachePath; the listing cache settles on it at its next start. Cancel stores
// nothing.
class CachePathDialog : public CDialog
{
    Q_OBJECT
public:
    explicit CachePathDialog(Prompt &prompt, QWidget *parent = nullptr);

    QLineEdit *edit() const { return edit_; }

    void accept() override;

    // The typed path in drive form with a trailing "\": "temp" -> "C:\temp\",
    // "D:cache" -> "D:\cache\", "/var/x" -> "C:\var\x\".
    static QString normalise(const QString &typed);

private:
    Prompt &prompt_;
    QLineEdit *edit_;
};
