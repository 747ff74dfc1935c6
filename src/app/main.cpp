// Vemal Ftp: the windows over the engine.
#include "dialogs/DialogRunner.h"
#include "shell/FTPApp.h"
#include "shell/MessageBoxPrompt.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool isSet(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

// X11 needs DISPLAY and Wayland WAYLAND_DISPLAY; the other platforms (offscreen, vnc, eglfs, ...)
// need no display server.
bool platformUsable(const QString &name)
{
    if (name == QLatin1String("xcb"))
        return isSet("DISPLAY");
    if (name.startsWith(QLatin1String("wayland")))
        return isSet("WAYLAND_DISPLAY");
    return !name.isEmpty();
}

// Whether Qt finds a screen to open on; without one it would abort with a long message.
// QT_QPA_PLATFORM may list several platforms to try, each with options after ':' ("wayland;xcb").
bool displayAvailable()
{
    const QString platforms = QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM"));
    if (platforms.isEmpty())
        return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
    for (const QString &entry : platforms.split(u';', Qt::SkipEmptyParts)) {
        if (platformUsable(entry.section(u':', 0, 0).trimmed()))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (!displayAvailable()) {
        std::fputs("vemalftp: no display found (set DISPLAY or WAYLAND_DISPLAY)\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vemal Ftp"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vemalftp"));

    MessageBoxPrompt prompt;
    DialogRunner dialogs;
    FTPApp app(prompt, dialogs);
    QObject::connect(&app, &FTPApp::closed, &application, &QApplication::quit);
    app.start();
    prompt.setPool(app.pool()); // "Host Options…" after a refused login edits the pool's hosts
    return application.exec();
}
