// Drive-form paths and native paths: the mapping both ways, the drives a mount table gives, and
// the default cache directory.

#include "platform/LocalDrives.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QTest>

namespace {

const QString kHome = QStringLiteral("/home/user");

// C: at home, one removable medium as D:, Z: at the root.
QList<Drive> fixedDrives()
{
    return {{u'C', kHome, Drive::Fixed},
            {u'D', QStringLiteral("/media/user/USB STICK"), Drive::Removable},
            {u'Z', QStringLiteral("/"), Drive::Fixed}};
}

// Restores XDG_CACHE_HOME when a test changed it.
class CacheHomeGuard
{
public:
    CacheHomeGuard() : wasSet_(qEnvironmentVariableIsSet("XDG_CACHE_HOME")), value_(qgetenv("XDG_CACHE_HOME")) {}
    ~CacheHomeGuard()
    {
        if (wasSet_)
            qputenv("XDG_CACHE_HOME", value_);
        else
            qunsetenv("XDG_CACHE_HOME");
    }

private:
    bool wasSet_;
    QByteArray value_;
};

} // namespace

class TestLocalDrives : public QObject
{
    Q_OBJECT
    TestEnvironment env_;

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void toNative_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("native");

        QTest::newRow("backslashes, trailing") << "C:\\a\\b\\" << "/home/user/a/b/";
        QTest::newRow("forward slashes, trailing") << "C:/a/b/" << "/home/user/a/b/";
        QTest::newRow("file path") << "C:\\a\\00000000.FTC" << "/home/user/a/00000000.FTC";
        QTest::newRow("lower-case letter") << "c:\\a" << "/home/user/a";
        QTest::newRow("drive alone") << "C:" << "/home/user/";
        QTest::newRow("drive root") << "C:\\" << "/home/user/";
        QTest::newRow("drive-relative") << "C:x\\y" << "/home/user/x/y";
        QTest::newRow("doubled and mixed separators") << "C:\\\\a//b\\/c" << "/home/user/a/b/c";
        QTest::newRow("dot segments") << "C:\\a\\.\\b\\." << "/home/user/a/b";
        QTest::newRow("dot-dot inside the drive") << "C:\\a\\b\\..\\c\\" << "/home/user/a/c/";
        QTest::newRow("names with blanks and dots") << "C:\\my dir\\...\\a..b" << "/home/user/my dir/.../a..b";
        QTest::newRow("root drive") << "Z:\\etc\\hosts" << "/etc/hosts";
        QTest::newRow("root drive alone") << "Z:\\" << "/";
        QTest::newRow("mounted drive") << "D:\\photos\\" << "/media/user/USB STICK/photos/";

        QTest::newRow("climbs above home") << "C:\\..\\other" << "";
        QTest::newRow("climbs above after descending") << "C:\\a\\..\\..\\x" << "";
        QTest::newRow("climbs above the root") << "Z:\\..\\" << "";
        QTest::newRow("climbs above a mount") << "D:/../../etc" << "";
        QTest::newRow("unknown drive") << "Q:\\x" << "";
        QTest::newRow("no drive") << "\\a\\b" << "";
        QTest::newRow("relative name") << "cache" << "";
        QTest::newRow("digit as drive") << "1:\\x" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("NUL in a name") << QStringLiteral("C:\\a") + QChar(0) + QStringLiteral("b") << "";
    }

    void toNative()
    {
        QFETCH(QString, program);
        QFETCH(QString, native);
        QCOMPARE(toNativePath(program, fixedDrives()), native);
    }

    void toProgram_data()
    {
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("program");

        QTest::newRow("under home") << "/home/user/a/b" << "/" << "C:/a/b";
        QTest::newRow("trailing slash kept") << "/home/user/a/b/" << "/" << "C:/a/b/";
        QTest::newRow("backslash form") << "/home/user/.cache/vemalftp/" << "\\" << "C:\\.cache\\vemalftp\\";
        QTest::newRow("home itself") << "/home/user" << "/" << "C:/";
        QTest::newRow("home with slash") << "/home/user/" << "/" << "C:/";
        QTest::newRow("sibling of home is not home") << "/home/username/x" << "/" << "Z:/home/username/x";
        QTest::newRow("outside home") << "/etc/hosts" << "/" << "Z:/etc/hosts";
        QTest::newRow("root") << "/" << "/" << "Z:/";
        QTest::newRow("mounted medium") << "/media/user/USB STICK/x" << "\\" << "D:\\x";
        QTest::newRow("dot-dot resolved first") << "/home/user/../user/a" << "/" << "C:/a";
        QTest::newRow("dot-dot leaving home") << "/home/user/../x" << "/" << "Z:/home/x";
        QTest::newRow("relative path") << "a/b" << "/" << "";
        QTest::newRow("empty") << "" << "/" << "";
    }

    void toProgram()
    {
        QFETCH(QString, native);
        QFETCH(QString, separator);
        QFETCH(QString, program);
        QCOMPARE(toProgramPath(native, fixedDrives(), separator.at(0)), program);
    }

    // Every drive form the program writes maps back to itself.
    void roundTrip()
    {
        const QList<Drive> drives = fixedDrives();
        for (const QString &program : {QStringLiteral("C:/a/b/"), QStringLiteral("C:/x"), QStringLiteral("Z:/etc/"),
                                       QStringLiteral("D:/photos/2024/"), QStringLiteral("C:/")})
            QCOMPARE(toProgramPath(toNativePath(program, drives), drives), program);
    }

    void mountTable()
    {
        const QByteArray table =
            "sysfs /sys sysfs rw 0 0\n"
            "/dev/sda1 / ext4 rw 0 0\n"
            "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
            "server:/export /srv/nfs nfs4 rw 0 0\n"
            "/dev/sr0 /run/user/cd iso9660 ro 0 0\n"
            "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
            "tmpfs /media tmpfs rw 0 0\n"
            "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
            "host:/home /home/user nfs rw 0 0\n"
            "//nas/share /data/share cifs rw 0 0\n"
            "malformed-line\n"
            "user@host:/ /home/user/remote fuse.sshfs rw 0 0\n";
        const QList<Drive> drives = drivesFromMountTable(table, QStringLiteral("/home/user/"));

        QStringList seen;
        for (const Drive &drive : drives)
            seen << QStringLiteral("%1 %2 %3 %4").arg(drive.letter).arg(drive.nativeRoot).arg(int(drive.type)).arg(driveLabel(drive));
        // Each is named after what it stands for: home, root, the mount's own name.
        const QStringList expected{
            QStringLiteral("C /home/user %1 Home").arg(Drive::Fixed),
            QStringLiteral("D /media/user/USB STICK %1 USB STICK").arg(Drive::Removable),
            QStringLiteral("E /srv/nfs %1 nfs").arg(Drive::Network),
            QStringLiteral("F /run/user/cd %1 cd").arg(Drive::CdRom),
            QStringLiteral("G /mnt/backup %1 backup").arg(Drive::Removable),
            QStringLiteral("H /data/share %1 share").arg(Drive::Network),
            QStringLiteral("I /home/user/remote %1 remote").arg(Drive::Network),
            QStringLiteral("Z / %1 Root").arg(Drive::Fixed),
        };
        QCOMPARE(seen, expected);
        // The longest matching root wins: a mount inside home is its own drive.
        QCOMPARE(toProgramPath(QStringLiteral("/home/user/remote/a"), drives), QStringLiteral("I:/a"));
        QCOMPARE(toNativePath(QStringLiteral("E:\\x"), drives), QStringLiteral("/srv/nfs/x"));
    }

    // More mounts than letters: D: to Y: are handed out, Z: stays the root.
    void mountTableRunsOutOfLetters()
    {
        QByteArray table;
        for (int i = 0; i < 40; ++i)
            table += "/dev/x /media/m" + QByteArray::number(i) + " vfat rw 0 0\n";
        const QList<Drive> drives = drivesFromMountTable(table, kHome);
        QCOMPARE(drives.size(), 1 + 22 + 1);
        QCOMPARE(drives.at(drives.size() - 2).letter, QChar(u'Y'));
        QCOMPARE(drives.last().letter, QChar(u'Z'));
        QCOMPARE(drives.last().nativeRoot, QStringLiteral("/"));
    }

    // The real table: C: is the (test's) home, Z: the root, and no letter twice.
    void realDrives()
    {
        const QList<Drive> drives = localDrives();
        QVERIFY(drives.size() >= 2);
        QCOMPARE(drives.first().letter, QChar(u'C'));
        QCOMPARE(drives.first().nativeRoot, QDir::cleanPath(env_.home()));
        QCOMPARE(drives.last().letter, QChar(u'Z'));
        QSet<QChar> letters;
        for (const Drive &drive : drives)
            letters.insert(drive.letter);
        QCOMPARE(letters.size(), drives.size());
        QCOMPARE(toNativePath(QStringLiteral("C:\\cache\\")), env_.home() + QStringLiteral("/cache/"));
    }

    void defaultCachePath_data()
    {
        QTest::addColumn<QString>("cacheHome"); // relative to home; "-" unset, "@" outside home
        QTest::addColumn<QString>("expected");

        QTest::newRow("unset") << "-" << "C:\\.cache\\vemalftp\\";
        QTest::newRow("under home") << "/caches" << "C:\\caches\\vemalftp\\";
        QTest::newRow("relative value ignored") << "relative" << "C:\\.cache\\vemalftp\\";
        QTest::newRow("outside home") << "@" << "";
    }

    void defaultCachePath()
    {
        QFETCH(QString, cacheHome);
        QFETCH(QString, expected);
        CacheHomeGuard guard;
        if (cacheHome == u"-")
            qunsetenv("XDG_CACHE_HOME");
        else if (cacheHome == u"@")
            qputenv("XDG_CACHE_HOME", QFile::encodeName(env_.cacheHome()));
        else if (cacheHome.startsWith(u'/'))
            qputenv("XDG_CACHE_HOME", QFile::encodeName(env_.home() + cacheHome));
        else
            qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome));

        if (expected.isEmpty()) // outside home: on Z:, with the native path spelt out
            expected = QStringLiteral("Z:") + QString(env_.cacheHome() + QStringLiteral("/vemalftp/")).replace(u'/', u'\\');
        QCOMPARE(::defaultCachePath(), expected);
        QCOMPARE(toNativePath(expected).isEmpty(), false);
    }
};

QTEST_GUILESS_MAIN(TestLocalDrives)
#include "tst_localdrives.moc"
