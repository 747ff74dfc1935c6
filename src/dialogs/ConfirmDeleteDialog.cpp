#include "dialogs/ConfirmDeleteDialog.h"

#include "dialogs/BuildDialog.h"
#include "dialogs/Controls.h"
#include "dialogs/DeleteDialog.h"
#include "ftp/Connection.h"
#include "ftp/ListingEntry.h"
#include "ftp/ListingJob.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"

#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

using Controls::named;

namespace {

const QString DirMark = QStringLiteral("DIR: ");

// Lists one directory afresh and tells, from the event loop, what each name in it is: a delete
// must know a link from a folder before it walks anything. Goes with its owner, or when it has
// told; a listing dropped unrun tells only that it was dropped.
class ListedKinds : public QObject, public ListingJob
{
public:
    using Kinds = QHash<QString, ListingEntry::Kind>;

    static bool list(ConnectionManager &pool, const QString &host, const QString &directory, int kind,
                     QObject *owner, std::function<void(const Kinds &)> done, std::function<void()> dropped)
    {
        Connection *connection = pool.connectionFor(host, kind == 0 ? ConnectionManager::Browse
                                                                    : ConnectionManager::SingleUse);
        if (!connection)
            return false; // the pool has said why
        connection->ListDir(QString(), new ListedKinds(owner, std::move(done), std::move(dropped)), directory);
        return true;
    }

    void AddEntry(const ListingEntry &entry) override { kinds_.insert(entry.name, entry.kind); }
    void Next() override { tell([this] { done_(kinds_); }); }
    void discard() override { tell(dropped_); }
    bool needsLinks() const override { return true; }

private:
    ListedKinds(QObject *owner, std::function<void(const Kinds &)> done, std::function<void()> dropped)
        : QObject(owner), done_(std::move(done)), dropped_(std::move(dropped))
    {
    }

    void tell(const std::function<void()> &what)
    {
        QMetaObject::invokeMethod(this, [this, what] {
            deleteLater();
            what();
        }, Qt::QueuedConnection);
    }

    std::function<void(const Kinds &)> done_;
    std::function<void()> dropped_;
    Kinds kinds_;
};

// The delete lines of a walk's items: the path without its " (size)" and mark. The folders the
// walk was given after the first are entered as they are, without a size.
QStringList walkedLines(const QStringList &items, const QSet<QString> &entered)
{
    QStringList lines;
    for (const QString &item : items) {
        const qsizetype size = item.lastIndexOf(QLatin1String(" ("));
        lines << (entered.contains(item) || size < 0 ? item : item.left(size));
    }
    return lines;
}

// The list is worked from its end: shallower entries first means every entry goes before the
// folder that holds it, whatever order the walk found them in.
void contentsFirst(QStringList &lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        return a.count(QLatin1Char('/')) < b.count(QLatin1Char('/'));
    });
}

} // namespace

ConfirmDeleteDialog *ConfirmDeleteDialog::start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                                const QString &directory, const QStringList &fileNames,
                                                const QStringList &directoryNames)
{
    auto *dialog = new ConfirmDeleteDialog(parent, pool, host, directory, fileNames, directoryNames);
    dialog->show();
    return dialog;
}

ConfirmDeleteDialog::ConfirmDeleteDialog(QWidget *parent, ConnectionManager &pool, const QString &host,
                                         const QString &directory, const QStringList &fileNames,
                                         const QStringList &directoryNames)
    : CDialog(parent, true),
      pool_(pool),
      host_(host),
      directory_(directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/')),
      fileNames_(fileNames),
      directoryNames_(directoryNames)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("Deleting"));
    const int count = int(fileNames.size() + directoryNames.size());
    auto *text = named(new QLabel(tr("Deleting %1 files in directory %2 on host %3.")
                                      .arg(count)
                                      .arg(Controls::shown(directory_), Controls::shown(host))),
                       IdText);
    text->setWordWrap(true);
    auto *thisConnection = named(new QPushButton(tr("This Connection")), IdThisConnection);
    auto *newConnection = named(new QPushButton(tr("New Connection")), IdNewConnection);
    auto *cancel = named(new QPushButton(tr("Cancel")), IdCancel);
    connect(thisConnection, &QPushButton::clicked, this, [this] { pressed(0); });
    connect(newConnection, &QPushButton::clicked, this, [this] { pressed(1); });
    connect(cancel, &QPushButton::clicked, this, &ConfirmDeleteDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(thisConnection);
    buttons->addWidget(newConnection);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

void ConfirmDeleteDialog::pressed(int kind)
{
    if (directoryNames_.isEmpty()) {
        DeleteDialog::start(parentWidget(), pool_, host_, directory_, fileLines(), kind);
        deleteLater();
        return;
    }
    // The dialog waits, out of sight, for the listing that tells folders from links.
    hide();
    const bool listing = ListedKinds::list(
        pool_, host_, directory_, kind, this,
        [this, kind](const ListedKinds::Kinds &kinds) {
            deleteListed(kinds, kind);
            deleteLater();
        },
        [this] { deleteLater(); });
    if (!listing)
        deleteLater();
}

QStringList ConfirmDeleteDialog::fileLines() const
{
    QStringList lines;
    for (const QString &name : fileNames_)
        lines << directory_ + name;
    return lines;
}

// What the fresh listing shows decides: a folder is walked, a link is deleted as the link itself
// (never what it leads to), and a name the host no longer lists is left alone.
void ConfirmDeleteDialog::deleteListed(const QHash<QString, ListingEntry::Kind> &kinds, int kind)
{
    QStringList lines = fileLines();
    QStringList folders, missing;
    for (const QString &name : std::as_const(directoryNames_)) {
        const auto found = kinds.constFind(name);
        if (found == kinds.cend())
            missing << directory_ + name;
        else if (*found == ListingEntry::Directory)
            folders << directory_ + name;
        else
            lines << directory_ + name;
    }
    if (!missing.isEmpty())
        pool_.prompt().message(tr("These are not listed in %1 any more and were not deleted:\n%2")
                                   .arg(directory_, missing.join(QLatin1Char('\n'))),
                               tr("Couldn't Delete File"), Prompt::Icon::Warning);
    QWidget *parent = parentWidget();
    if (folders.isEmpty()) {
        if (!lines.isEmpty())
            DeleteDialog::start(parent, pool_, host_, directory_, lines, kind);
        return;
    }
    // The walk enters every folder after the first as a "DIR: " item of its own.
    lines << DirMark + folders.first();
    QSet<QString> entered;
    for (const QString &folder : folders.mid(1))
        entered.insert(DirMark + folder);
    BuildDialog::startTreeWalk(parent, pool_, host_, folders, true, kind == 1,
                               [parent = QPointer<QWidget>(parent), &pool = pool_, host = host_,
                                directory = directory_, lines, entered, kind](const QStringList &items) {
                                   QStringList all = lines + walkedLines(items, entered);
                                   contentsFirst(all);
                                   DeleteDialog::start(parent, pool, host, directory, all, kind);
                               });
}
