#pragma once

#include "dialogs/CDialog.h"
#include "dialogs/HostDetails.h"

class CacheDetails;
class QPushButton;
class QTabWidget;

// "Host Options": the "Host" and "Cache and Connection" pages of one host. A page reads the
// host's key when it is first shown; OK and Apply write the pages that were shown, in order, and
// a page that refuses keeps the sheet open on it. Cancel writes nothing more.
class HostOptionsSheet : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdApply = 12321 };

    // renamed is called when the "Host" page has renamed the host's key.
    HostOptionsSheet(QWidget *parent, const QString &hostName, Prompt &prompt, HostDetails::Renamed renamed);

    // The host's name, the new one after a rename.
    const QString &hostName() const { return hostName_; }
    HostDetails *hostPage() const { return hostPage_; }
    CacheDetails *cachePage() const { return cachePage_; }
    QTabWidget *pages() const { return pages_; }

    // Writes the shown pages; false when one refused.
    bool apply();

public slots:
    void accept() override;

private:
    void pageShown(int index);

    QString hostName_;
    QTabWidget *pages_;
    HostDetails *hostPage_;
    CacheDetails *cachePage_;
    QPushButton *applyButton_;
};
