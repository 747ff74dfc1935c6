#include "LocalDrives.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace {

constexpr QChar kFirstMountLetter = u'D';
constexpr QChar kLastMountLetter = u'Y';

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// The mount table writes blanks, tabs, line ends and backslashes in paths as octal escapes.
QString unescapeMountField(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += c;
        }
    }
    return QFile::decodeName(out);
}

bool isUnder(const QString &path, QLatin1StringView folder)
{
    return path.startsWith(folder) && path.size() > folder.size() && path.at(folder.size()) == u'/';
}

// The drive type a mounted file system is shown with; nullopt when it is not shown as a drive.
std::optional<Drive::Type> driveTypeOf(const QString &mountPoint, QByteArrayView fsType)
{
    static const QByteArrayView network[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs"};
    static const QByteArrayView optical[] = {"iso9660", "udf"};
    for (QByteArrayView type : network)
        if (fsType == type)
            return Drive::Network;
    for (QByteArrayView type : optical)
        if (fsType == type)
            return Drive::CdRom;
    if (isUnder(mountPoint, QLatin1StringView("/media")) || isUnder(mountPoint, QLatin1StringView("/run/media"))
        || isUnder(mountPoint, QLatin1StringView("/mnt")))
        return Drive::Removable;
    return std::nullopt;
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

const Drive *findDrive(const QList<Drive> &drives, QChar letter)
{
    for (const Drive &drive : drives)
        if (drive.letter == letter)
            return &drive;
    return nullptr;
}

// C: and Z: need no mount table; only other letters read it.
QString nativeRootOf(QChar letter, const QList<Drive> *drives)
{
    if (drives) {
        const Drive *drive = findDrive(*drives, letter);
        return drive ? drive->nativeRoot : QString();
    }
    if (letter == u'C')
        return withoutTrailingSlash(QDir::homePath());
    if (letter == u'Z')
        return QStringLiteral("/");
    const QList<Drive> all = localDrives();
    const Drive *drive = findDrive(all, letter);
    return drive ? drive->nativeRoot : QString();
}

QString mapToNative(const QString &programPath, const QList<Drive> *drives)
{
    if (programPath.size() < 2 || programPath.at(1) != u':' || programPath.at(0).unicode() > 0x7f
        || !programPath.at(0).isLetter())
        return {};
    const QString root = nativeRootOf(programPath.at(0).toUpper(), drives);
    if (root.isEmpty())
        return {};

    QStringList parts;
    const QStringView rest = QStringView(programPath).mid(2);
    for (QStringView part : rest.tokenize(u'/', Qt::SkipEmptyParts)) {
        for (QStringView piece : part.tokenize(u'\\', Qt::SkipEmptyParts)) {
            if (piece == u".")
                continue;
            if (piece == u"..") {
                if (parts.isEmpty())
                    return {}; // would climb above the drive's root
                parts.removeLast();
                continue;
            }
            if (piece.contains(QChar(0)))
                return {};
            parts.append(piece.toString());
        }
    }
    QString native = root == u"/" ? QString() : root;
    for (const QString &part : parts)
        native += u'/' + part;
    if (parts.isEmpty() || (!rest.isEmpty() && isSeparator(rest.back())))
        native += u'/';
    return native;
}

QString mapToProgram(const QString &nativePath, const QList<Drive> &drives, QChar separator)
{
    if (!nativePath.startsWith(u'/'))
        return {};
    const QString cleaned = QDir::cleanPath(nativePath);
    const Drive *best = nullptr;
    for (const Drive &drive : drives) {
        const QString &root = drive.nativeRoot;
        const bool inside = root == u"/" || cleaned == root
            || (cleaned.startsWith(root) && cleaned.at(root.size()) == u'/');
        if (inside && (!best || root.size() > best->nativeRoot.size()))
            best = &drive;
    }
    if (!best)
        return {};
    QString relative = best->nativeRoot == u"/" ? cleaned.mid(1) : cleaned.mid(best->nativeRoot.size() + 1);
    relative.replace(u'/', separator);
    QString program = QString(best->letter) + u':' + separator + relative;
    if (!relative.isEmpty() && nativePath.endsWith(u'/'))
        program += separator;
    return program;
}

} // namespace

QList<Drive> drivesFromMountTable(QByteArrayView mountTable, const QString &home)
{
    const QString homeRoot = withoutTrailingSlash(QDir::cleanPath(home));
    QList<Drive> drives{{u'C', homeRoot, Drive::Fixed}};
    QChar next = kFirstMountLetter;
    for (const QByteArray &line : mountTable.toByteArray().split('\n')) {
        if (next > kLastMountLetter)
            break;
        // device, mount point, file-system type, options, ...
        QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        const QString mountPoint = withoutTrailingSlash(unescapeMountField(fields[1]));
        const auto type = driveTypeOf(mountPoint, fields[2]);
        const bool known = mountPoint == u"/" || mountPoint == homeRoot
            || std::any_of(drives.cbegin(), drives.cend(),
                           [&](const Drive &d) { return d.nativeRoot == mountPoint; });
        if (!type || known || !mountPoint.startsWith(u'/'))
            continue;
        drives.append({next, mountPoint, *type});
        next = QChar(next.unicode() + 1);
    }
    drives.append({u'Z', QStringLiteral("/"), Drive::Fixed});
    return drives;
}

QList<Drive> localDrives()
{
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    // The proc file reports no size: read it as a stream.
    const QByteArray table = mounts.open(QIODevice::ReadOnly) ? mounts.readAll() : QByteArray();
    return drivesFromMountTable(table, QDir::homePath());
}

QString toNativePath(const QString &programPath)
{
    return mapToNative(programPath, nullptr);
}

QString toNativePath(const QString &programPath, const QList<Drive> &drives)
{
    return mapToNative(programPath, &drives);
}

QString toProgramPath(const QString &nativePath, QChar separator)
{
    return mapToProgram(nativePath, localDrives(), separator);
}

QString toProgramPath(const QString &nativePath, const QList<Drive> &drives, QChar separator)
{
    return mapToProgram(nativePath, drives, separator);
}

QString driveLabel(const Drive &drive)
{
    if (drive.letter == u'C')
        return QStringLiteral("Home");
    if (drive.letter == u'Z')
        return QStringLiteral("Root");
    const QString name = drive.nativeRoot.section(u'/', -1);
    return name.isEmpty() ? drive.nativeRoot : name;
}

QString defaultCachePath()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!base.startsWith(u'/'))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return toProgramPath(QDir::cleanPath(base) + QStringLiteral("/vemalftp/"), u'\\');
}
