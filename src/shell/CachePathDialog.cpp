#include "shell/CachePathDialog.h"

#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "settings/AppValues.h"
#include "dialogs/DialogLayout.h"

#include <QLineEdit>

namespace {
constexpr QChar kBackslash = u'\\';
}

CachePathDialog::CachePathDialog(Prompt &prompt, QWidget *parent) : CDialog(parent), prompt_(prompt)
{
    setWindowTitle(QStringLiteral("Cache Path"));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("ctl101"));
    edit_->setMaxLength(799);
    QString current;
    // With nothing stored yet the usual per-user cache folder is offered.
    if (GetAppValue(QStringLiteral("CachePath"), current, 800) != 0)
        current = defaultCachePath();
    edit_->setText(current);
    edit_->setMinimumWidth(360);
    DialogLayout::build(this,
                        QStringLiteral("Please enter the complete path including drive for the caching directory.  "
                                       "If it does not exist it will automatically be created."),
                        edit_, QStringLiteral("OK"), QStringLiteral("Cancel"));
}

QString CachePathDialog::normalise(const QString &typed)
{
    QString path = typed;
    path.replace(u'/', kBackslash);
    if (!path.endsWith(kBackslash))
        path += kBackslash;
    if (!path.startsWith(kBackslash) && (path.size() < 2 || path.at(1) != u':'))
        path.prepend(kBackslash);
    if (path.size() < 2 || path.at(1) != u':')
        path.prepend(QStringLiteral("C:"));
    if (path.size() > 2 && path.at(2) != kBackslash)
        path.insert(2, kBackslash);
    else if (path.size() <= 2 && !path.endsWith(kBackslash))
        path += kBackslash;
    return path;
}

void CachePathDialog::accept()
{
    const QString typed = edit_->text();
    if (typed.isEmpty()) {
        prompt_.message(QStringLiteral("You must enter a path."), QStringLiteral("Error"), Prompt::Icon::Warning);
        return;
    }
    const QString path = normalise(typed);
    // A path that names no drive of this computer, or climbs above its drive, would leave the
    // listing cache without a folder at the next start.
    if (toNativePath(path).isEmpty()) {
        prompt_.message(QStringLiteral("%1 is not a folder on a drive of this computer.").arg(path),
                        QStringLiteral("Error"), Prompt::Icon::Warning);
        return;
    }
    if (!SetAppValue(QStringLiteral("CachePath"), path)) {
        prompt_.message(QStringLiteral("The cache path could not be saved in the settings."), QStringLiteral("Error"),
                        Prompt::Icon::Warning);
        return;
    }
    CDialog::accept();
}
