#include "pool/TransferPlan.h"

#include "ftp/RemoteName.h"
#include "settings/AsciiExtensions.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace {

const QString DownloadArrow = QStringLiteral(" -> ");
const QString UploadArrow = QStringLiteral(" <- ");
const QString AsciiMark = QStringLiteral(" ASCII");
const QString DirMark = QStringLiteral("DIR: ");

QString withAscii(QString line, bool ascii)
{
    if (ascii)
        line += AsciiMark;
    return line;
}

QString stackLine(const QString &remotePath, const QString &arrow, const QString &localPath,
                  const QString &sizePart, bool ascii)
{
    return withAscii(remotePath + arrow + localPath + QLatin1String(" (") + sizePart + QLatin1Char(')'), ascii);
}

bool hasDrive(QStringView path)
{
    return path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].unicode() < 0x80 && path[0].isLetter();
}

// Digits with optional "," separators; nothing for any other text. Values past 64 bits stay at
// the largest one.
std::optional<qint64> readSize(QStringView text)
{
    constexpr qint64 Largest = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    bool digits = false;
    for (QChar c : text) {
        if (c == QLatin1Char(','))
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        const int digit = c.unicode() - '0';
        value = value > (Largest - digit) / 10 ? Largest : value * 10 + digit;
        digits = true;
    }
    return digits ? std::optional<qint64>(value) : std::nullopt;
}

// --- the local tree lister ---

struct TreeEntry
{
    QString nativePath;
    QString relative; // the item name: selected directory's name, "/", subdirectories, name
    bool directory = false;
    qint64 size = 0;
};

class LocalTreeLister
{
public:
    LocalTreeLister(QStringList *problems, QStringList *folders) : m_problems(problems), m_folders(folders) {}

    QStringList list(const QString &nativeDirectory);

private:
    void expand(const TreeEntry &directory);
    std::optional<TreeEntry> classify(const QFileInfo &info, const QString &relative);
    bool firstVisit(const QString &nativePath);
    void problem(const QString &nativePath, const char *reason);

    QStringList *m_problems;
    QStringList *m_folders;
    std::vector<TreeEntry> m_pending; // taken from the back
    QSet<std::pair<quint64, quint64>> m_visited; // (device, inode) of every folder listed
    QStringList m_items;
};

QStringList LocalTreeLister::list(const QString &nativeDirectory)
{
    const QString top = QDir::cleanPath(nativeDirectory);
    const QFileInfo info(top);
    // The selected folder itself may be a link: the user chose it. Links below it are not followed.
    if (!info.isDir()) {
        problem(top, "is not a folder");
        return {};
    }
    const QString name = info.fileName();
    if (!isAcceptableRemoteName(name)) {
        problem(top, "has a name that cannot be sent to a host");
        return {};
    }
    m_pending.push_back({top, name, true, 0});
    while (!m_pending.empty()) {
        const TreeEntry entry = std::move(m_pending.back());
        m_pending.pop_back();
        if (entry.directory) {
            expand(entry);
            continue;
        }
        const bool ascii = IsAsciiExtension(QFileInfo(entry.nativePath).fileName());
        m_items << FileItemText(entry.relative, entry.size, ascii);
    }
    return m_items;
}

// Queues a folder's entries so that they come out in name order.
void LocalTreeLister::expand(const TreeEntry &directory)
{
    const QFileInfo info(directory.nativePath);
    if (!info.isReadable() || !info.isExecutable()) {
        problem(directory.nativePath, "could not be read");
        return;
    }
    if (!firstVisit(directory.nativePath)) {
        problem(directory.nativePath, "was reached a second time through a mount; not listed again");
        return;
    }
    if (m_folders)
        m_folders->append(directory.relative);
    QFileInfoList entries = QDir(directory.nativePath)
        .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(entries.begin(), entries.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return a.fileName() > b.fileName(); });
    for (const QFileInfo &child : std::as_const(entries)) {
        if (auto entry = classify(child, directory.relative + QLatin1Char('/') + child.fileName()))
            m_pending.push_back(std::move(*entry));
    }
}

std::optional<TreeEntry> LocalTreeLister::classify(const QFileInfo &info, const QString &relative)
{
    const QString path = info.absoluteFilePath();
    if (!isAcceptableRemoteName(info.fileName())) {
        problem(path, "has a name that cannot be sent to a host");
        return std::nullopt;
    }
    if (info.isSymLink() && !info.exists()) {
        problem(path, "is a link that leads nowhere");
        return std::nullopt;
    }
    if (info.isDir()) {
        if (info.isSymLink()) {
            problem(path, "is a link to a folder; links to folders are not followed");
            return std::nullopt;
        }
        return TreeEntry{path, relative, true, 0};
    }
    if (!info.isFile()) {
        problem(path, "is not a regular file");
        return std::nullopt;
    }
    return TreeEntry{path, relative, false, info.size()};
}

// Symbolic links are never followed, but a bind mount can still bring a folder back inside
// itself: a folder's device and inode are listed once.
bool LocalTreeLister::firstVisit(const QString &nativePath)
{
    struct stat status;
    if (::stat(QFile::encodeName(nativePath).constData(), &status) != 0)
        return true;
    const std::pair<quint64, quint64> id{quint64(status.st_dev), quint64(status.st_ino)};
    if (m_visited.contains(id))
        return false;
    m_visited.insert(id);
    return true;
}

void LocalTreeLister::problem(const QString &nativePath, const char *reason)
{
    if (m_problems)
        *m_problems << nativePath + QLatin1Char(' ') + QLatin1String(reason);
}

// --- staying inside a folder ---

bool strictlyInside(const QString &path, const QString &folder)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.size() > prefix.size() && path.startsWith(prefix);
}

// No part of the path below base that exists already may be a link leading out of base or
// nowhere: a file written there would land outside, or create something outside.
bool staysInsideThroughLinks(const QString &base, const QStringList &parts)
{
    const QString canonicalBase = QFileInfo(base).canonicalFilePath();
    if (canonicalBase.isEmpty())
        return true; // the folder does not exist yet, so nothing inside it does
    QString path = base;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QFileInfo info(path);
        if (info.isSymLink()) {
            const QString target = info.canonicalFilePath();
            if (target.isEmpty() || !strictlyInside(target, canonicalBase))
                return false;
        } else if (!info.exists()) {
            break;
        }
    }
    return true;
}

} // namespace

QString LocalName(const QString &remoteName)
{
    // Bytes the host sent that were no UTF-8 are read as Latin-1, as the name is shown. Linux takes
    // any other name as it is, leading dots and > < ? * | : included, but for the transfer-stack
    // arrows: a local path holding " -> " would let a host's names decide where a download's line
    // splits, and so where the file lands.
    const QString name = shownRemoteName(remoteName);
    if (name.contains(QLatin1String(" -> ")) || name.contains(QLatin1String(" <- ")))
        return QString();
    return isAcceptableRemoteName(name) ? name : QString();
}

QString FileItemText(const QString &name, qint64 size, bool ascii)
{
    return withAscii(name + QLatin1String(" (") + QString::number(size) + QLatin1Char(')'), ascii);
}

std::optional<FileItem> ParseFileItem(const QString &item)
{
    const bool ascii = item.endsWith(AsciiMark);
    const QStringView text = QStringView(item).chopped(ascii ? AsciiMark.size() : 0);
    const qsizetype open = text.lastIndexOf(QLatin1String(" ("));
    if (open < 1 || !text.endsWith(QLatin1Char(')')))
        return std::nullopt;
    const std::optional<qint64> size = readSize(text.mid(open + 2).chopped(1));
    if (!size)
        return std::nullopt;
    return FileItem{text.left(open).toString(), *size, ascii};
}

QStringList ItemsBelow(const QStringList &walkItems, const QString &sourceDirectory)
{
    QStringList below;
    for (const QString &item : walkItems) {
        if (item.size() > sourceDirectory.size() && item.startsWith(sourceDirectory)
            && !item.startsWith(DirMark))
            below << item.mid(sourceDirectory.size());
    }
    return below;
}

QString DownloadLine(const QString &remotePath, const QString &localPath, qint64 size, bool ascii)
{
    return stackLine(remotePath, DownloadArrow, localPath, QString::number(size), ascii);
}

QString UploadLine(const QString &remotePath, const QString &localPath, qint64 size, bool ascii)
{
    return stackLine(remotePath, UploadArrow, localPath, QString::number(size), ascii);
}

QString ResumedDownloadLine(const QString &remotePath, const QString &localPath, qint64 remaining,
                            qint64 offset, bool ascii)
{
    const QString sizePart = QStringLiteral("%1 -R %2").arg(remaining).arg(offset);
    return stackLine(remotePath, DownloadArrow, localPath, sizePart, ascii);
}

QString HostToHostLine(const QString &sourcePath, const QString &destinationPath)
{
    return sourcePath + DownloadArrow + destinationPath;
}

QString NormaliseDestination(const QString &host, QString directory)
{
    directory.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool local = host.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0;
    const bool drive = local && hasDrive(directory);
    if (!drive && !directory.startsWith(QLatin1Char('/')))
        directory.prepend(QLatin1Char('/'));
    if (local && !drive)
        directory.prepend(QLatin1String("C:"));
    if (local && (directory.size() == 2 || directory[2] != QLatin1Char('/')))
        directory.insert(2, QLatin1Char('/'));
    if (!directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('/');
    return directory;
}

ResumeDecision ContinueInterrupted(qint64 localSize, qint64 listedSize)
{
    localSize = std::max<qint64>(localSize, 0);
    if (localSize == listedSize)
        return {ResumeDecision::AlreadyComplete, localSize, 0};
    if (localSize > listedSize)
        return {ResumeDecision::LocalLarger, localSize, 0};
    return {ResumeDecision::Resume, localSize, listedSize - localSize};
}

QStringList ListLocalTree(const QString &nativeDirectory, QStringList *problems, QStringList *folders)
{
    return LocalTreeLister(problems, folders).list(nativeDirectory);
}

QStringList FoldersWithoutFiles(const QStringList &folders, const QStringList &files)
{
    QSet<QString> holding; // every folder above some file
    for (const QString &file : files) {
        for (qsizetype slash = file.lastIndexOf(QLatin1Char('/')); slash > 0;
             slash = file.lastIndexOf(QLatin1Char('/'), slash - 1))
            holding.insert(file.left(slash));
    }
    QStringList empty;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        if (!holding.contains(folder) && !seen.contains(folder)) {
            seen.insert(folder);
            empty << folder;
        }
    }
    std::stable_sort(empty.begin(), empty.end(), [](const QString &a, const QString &b) {
        return a.count(QLatin1Char('/')) < b.count(QLatin1Char('/'));
    });
    return empty;
}

std::optional<QString> LocalPathInside(const QString &nativeBaseFolder, const QString &relativeRemotePath)
{
    if (!nativeBaseFolder.startsWith(QLatin1Char('/')) || relativeRemotePath.startsWith(QLatin1Char('/')))
        return std::nullopt;
    QStringList parts;
    for (const QString &part : relativeRemotePath.split(QLatin1Char('/'))) {
        const QString local = LocalName(part);
        if (local.isEmpty())
            return std::nullopt;
        parts << local;
    }
    const QString base = QDir::cleanPath(nativeBaseFolder);
    const QString path = QDir::cleanPath(base + QLatin1Char('/') + parts.join(QLatin1Char('/')));
    if (!strictlyInside(path, base) || !staysInsideThroughLinks(base, parts))
        return std::nullopt;
    return path;
}
