#include "shell/FTPFrame.h"

#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/Window.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/LeadingInteger.h"
#include "shell/AboutDialog.h"
#include "shell/CSplitter.h"
#include "shell/CachePathDialog.h"
#include "shell/CommandRouter.h"
#include "dialogs/DialogRunner.h"
#include "shell/EmailDialog.h"
#include "shell/FrameActions.h"
#include "shell/HelpContexts.h"
#include "shell/ProgramPictures.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int kValueBuffer = 10; // nine characters and the terminating NUL
const char *const kRectangle[] = {"Left", "Top", "Width", "Height"};

// The frame's lists and trees carry their ids by type: a pane recreates its list when the view
// style changes.
int frameControlId(const QWidget *widget)
{
    if (qobject_cast<const FileWindow *>(widget))
        return 101;
    if (qobject_cast<const DirWindow *>(widget))
        return 100;
    return HelpContexts::controlId(widget);
}

} // namespace

FTPFrame::FTPFrame(CSplitter *splitter, const Services &services)
    : QMainWindow(nullptr), splitter_(splitter), services_(services)
{
    setWindowTitle(QStringLiteral("Vemal Ftp"));
    setWindowIcon(ProgramPictures::appIcon());
    setCentralWidget(splitter_);

    router_ = new CommandRouter(this, this);
    router_->setPanes({splitter_->pane(0), splitter_->pane(1)});
    actions_ = new FrameActions(this, router_, [this](int id) { runCommand(id); });

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("statusLine"));
    statusLabel_->setTextFormat(Qt::PlainText);
    // A long status text must not hold the window wider than the user wants it.
    statusLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(statusLabel_, 1);

    // The tool bar follows the focus, the panes' locations and the layout.
    connect(router_, &CommandRouter::focusMoved, actions_, &FrameActions::scheduleRefresh);
    connect(splitter_, &CSplitter::arrangementChanged, actions_, &FrameActions::scheduleRefresh);
    for (int n = 0; n < 2; ++n)
        connect(splitter_->pane(n), &Window::locationChanged, actions_, &FrameActions::scheduleRefresh);
    // The title says where the focused pane is.
    connect(router_, &CommandRouter::focusMoved, this, &FTPFrame::updateTitle);
    for (int n = 0; n < 2; ++n)
        connect(splitter_->pane(n), &Window::locationChanged, this, &FTPFrame::updateTitle);

    registerHelp();
    placeFromStore();
}

void FTPFrame::updateTitle()
{
    const auto *pane = qobject_cast<const Window *>(router_->currentPane());
    const QString where = pane ? pane->locationText() : QString();
    setWindowTitle(where.isEmpty() ? QStringLiteral("Vemal Ftp") : QStringLiteral("Vemal Ftp - ") + where);
}

FTPFrame::~FTPFrame()
{
    HelpContexts::unregisterWindow(this);
    // The widgets still hide and move the focus after this part of the frame is gone.
    router_->disconnect(this);
    for (int n = 0; n < 2; ++n)
        splitter_->pane(n)->disconnect(this);
}

QToolBar *FTPFrame::toolBar() const
{
    return actions_->toolBar();
}

bool FTPFrame::toolBarShown() const
{
    // Also follows the tool bar's own show and hide menu of the frame.
    return !toolBar()->isHidden();
}

void FTPFrame::registerHelp()
{
    HelpContexts::registerWindow(this, {{101, 410}, {100, 411}}, frameControlId);
}

void FTPFrame::placeFromStore()
{
    int values[4];
    for (int i = 0; i < 4; ++i) {
        QString text;
        if (GetAppValue(QString::fromLatin1(kRectangle[i]), text, kValueBuffer) != 0) {
            // Any value missing: the first size a new window gets, placed by the desktop.
            const QRect screen = QGuiApplication::primaryScreen()
                ? QGuiApplication::primaryScreen()->availableGeometry()
                : QRect(0, 0, 1024, 768);
            resize(qMax(640, screen.width() * 3 / 4), qMax(480, screen.height() * 3 / 4));
            return;
        }
        values[i] = LeadingInteger(text);
    }
    move(values[0], values[1]);
    resize(values[2], values[3]);
    storedOuterSize_ = QSize(values[2], values[3]);
    provisionalSize_ = size();
    placedFromStore_ = true;
}

bool FTPFrame::event(QEvent *event)
{
    // The stored size is the outer size. Once the desktop has put its frame around the window
    // (it moves or resizes the window as it does), the frame's part comes off the inner size.
    const QEvent::Type type = event->type();
    if (storedOuterSize_.isValid() && (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize))
        QTimer::singleShot(0, this, &FTPFrame::fitFrameToStoredSize);
    return QMainWindow::event(event);
}

void FTPFrame::fitFrameToStoredSize()
{
    if (!storedOuterSize_.isValid())
        return;
    if (size() != provisionalSize_) {
        storedOuterSize_ = QSize(); // resized since, by the desktop or the user: leave it
        return;
    }
    const QSize frameExtra = frameGeometry().size() - size();
    if (frameExtra.width() <= 0 && frameExtra.height() <= 0)
        return; // no frame known yet
    const QSize outer = storedOuterSize_;
    storedOuterSize_ = QSize();
    resize(outer - frameExtra);
}

void FTPFrame::writeRectangle() const
{
    const QRect outer = frameGeometry();
    const int values[4] = {outer.x(), outer.y(), outer.width(), outer.height()};
    for (int i = 0; i < 4; ++i)
        SetAppValue(QString::fromLatin1(kRectangle[i]), QString::number(values[i]));
}

bool FTPFrame::runCommand(int id)
{
    const bool taken = router_->dispatch(id);
    actions_->scheduleRefresh();
    return taken;
}

void FTPFrame::closeEvent(QCloseEvent *event)
{
    ConnectionManager *pool = services_.pool;
    if (pool && !pool->AllIdle()) {
        const int answer = services_.prompt->ask(
            QStringLiteral("Connections are still open and busy.  Do you wish to close all connections and abort "
                           "all operations in progress?"),
            QStringLiteral("Closing"), Prompt::Icon::Warning, Prompt::Yes | Prompt::No);
        if (answer != Prompt::Yes) {
            event->ignore();
            return;
        }
    }
    HelpContexts::unregisterWindow(this);
    writeRectangle();
    event->accept();
    emit closed();
}

bool FTPFrame::handleCommand(int id)
{
    switch (id) {
    case Cmd::Close:
        close();
        return true;
    case Cmd::HelpTopics:
        if (services_.showHelp)
            services_.showHelp(0);
        return true;
    case Cmd::About: {
        AboutDialog about(this);
        services_.dialogs->run(about);
        return true;
    }
    case Cmd::ChangeEmail: {
        EmailDialog dialog(*services_.prompt, this);
        services_.dialogs->run(dialog);
        return true;
    }
    case Cmd::EditCachePath: {
        // Stored for the next start; the listing cache of this run keeps its folder.
        CachePathDialog dialog(*services_.prompt, this);
        services_.dialogs->run(dialog);
        return true;
    }
    case Cmd::Ascending:
        toolBar()->setVisible(!toolBarShown());
        return true;
    default:
        return false;
    }
}

bool FTPFrame::commandState(int id, CommandState &state)
{
    switch (id) {
    case Cmd::Close:
    case Cmd::HelpTopics:
    case Cmd::About:
    case Cmd::ChangeEmail:
    case Cmd::EditCachePath:
        state = {true, false};
        return true;
    case Cmd::Ascending:
        state = {true, toolBarShown()};
        return true;
    default:
        return false;
    }
}
