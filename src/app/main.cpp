// Vemal Ftp: the windows over the engine.
#include "shell/DialogRunner.h"
#include "shell/FTPApp.h"
#include "shell/MessageBoxPrompt.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display the toolkit would abort with a long message; say it in one line.
bool displayAvailable()
{
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
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
    return application.exec();
}
