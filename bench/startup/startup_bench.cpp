// Start-up time of the windows over a large host database: 1000 hosts in 50 host folders. Times
// each start from the application object to the main window shown and painted, five starts in a
// row over the same store, and prints each figure and the median.
//
//   build/bench/startup/startup_bench [runs]
//
// Runs offscreen unless a display is set. The store lives in a temporary folder.

#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"
#include "dialogs/DialogRunner.h"
#include "shell/FTPApp.h"
#include "shell/FTPFrame.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFolders = 50;
constexpr int kHosts = 1000;

class CountingPrompt : public Prompt
{
public:
    int ask(const QString &, const QString &, Icon, int buttons) override
    {
        ++count;
        return buttons & Yes ? Yes : Ok;
    }
    int count = 0;
};

// Nothing should be asked: the store holds an address and a cache folder.
class NoDialogs : public DialogRunner
{
public:
    int run(QDialog &dialog) override
    {
        ++count;
        dialog.reject();
        return QDialog::Rejected;
    }
    int count = 0;
};

void fillStore()
{
    SettingsStore &store = SettingsStore::instance();
    SetAppValue(QStringLiteral("EMail"), QStringLiteral("bench@example.org"));
    SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\cache\\"));
    store.createKey(SettingsKeys::Hosts); // no starter hosts
    for (int folder = 1; folder <= kFolders; ++folder) {
        store.setValues(SettingsKeys::hostKey(QStringLiteral("Folder %1").arg(folder)),
                        {{QStringLiteral("This"), QString::number(folder)}, {QStringLiteral("Parent"), QStringLiteral("0")}});
    }
    for (int host = 0; host < kHosts; ++host) {
        store.setValues(SettingsKeys::hostKey(QStringLiteral("host%1.example.org").arg(host, 4, 10, QLatin1Char('0'))),
                        {{QStringLiteral("Address"), QStringLiteral("host%1.example.org").arg(host)},
                         {QStringLiteral("Parent"), QString::number(host % kFolders + 1)}});
    }
}

// Milliseconds from the application object to the frame shown and painted.
qint64 timeOneStart(CountingPrompt &prompt, NoDialogs &dialogs)
{
    QElapsedTimer clock;
    clock.start();
    FTPApp app(prompt, dialogs);
    app.start();
    QWindow *window = app.frame()->windowHandle();
    QElapsedTimer bound;
    bound.start();
    while (!(window && window->isExposed()) && bound.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        window = app.frame()->windowHandle();
    }
    app.frame()->repaint(); // the first frame painted
    QCoreApplication::processEvents();
    const qint64 elapsed = clock.elapsed();
    app.frame()->close();
    return elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(folder.filePath(QStringLiteral("cache"))));
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    fillStore();
    CountingPrompt prompt;
    NoDialogs dialogs;
    QList<qint64> figures;
    for (int run = 0; run < runs; ++run) {
        figures << timeOneStart(prompt, dialogs);
        std::printf("start %d: %lld ms\n", run + 1, static_cast<long long>(figures.last()));
    }
    std::sort(figures.begin(), figures.end());
    std::printf("%d hosts in %d folders: median start to main window %lld ms (%s)\n", kHosts, kFolders,
                static_cast<long long>(figures.at(figures.size() / 2)), qPrintable(QGuiApplication::platformName()));
    if (prompt.count || dialogs.count)
        std::printf("warning: %d message boxes and %d dialogs were shown\n", prompt.count, dialogs.count);
    return 0;
}
