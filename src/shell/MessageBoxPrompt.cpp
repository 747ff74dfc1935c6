#include "shell/MessageBoxPrompt.h"

#include "dialogs/CertificateDialog.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/HostOptionsSheet.h"
#include "ftp/RemoteName.h"
#include "panes/Window.h"
#include "platform/SafeText.h"
#include "pool/ConnectionManager.h"
#include "shell/DesktopNotifier.h"
#include "shell/FinishedWorkNotice.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSpacerItem>
#include <QTimer>

namespace {

QMessageBox::Icon boxIcon(Prompt::Icon icon)
{
    switch (icon) {
    case Prompt::Icon::Information:
        return QMessageBox::Information;
    case Prompt::Icon::Warning:
        return QMessageBox::Warning;
    case Prompt::Icon::Question:
        return QMessageBox::Question;
    case Prompt::Icon::Stop:
        return QMessageBox::Critical;
    case Prompt::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair
{
    int prompt;
    QMessageBox::StandardButton box;
};

constexpr ButtonPair kButtons[] = {
    {Prompt::Ok, QMessageBox::Ok},
    {Prompt::Cancel, QMessageBox::Cancel},
    {Prompt::Yes, QMessageBox::Yes},
    {Prompt::No, QMessageBox::No},
};

} // namespace

MessageBoxPrompt::MessageBoxPrompt(std::unique_ptr<NotificationSender> sender)
    : sender_(sender ? std::move(sender) : std::make_unique<DesktopNotifier>())
    , notice_(std::make_unique<FinishedWorkNotice>(*sender_, [] { return QApplication::activeWindow() != nullptr; }))
{
}

MessageBoxPrompt::~MessageBoxPrompt() = default;

void MessageBoxPrompt::setPool(ConnectionManager *pool)
{
    pool_ = pool;
}

int MessageBoxPrompt::ask(const QString &text, const QString &caption, Icon icon, int buttons)
{
    QMessageBox::StandardButtons standard;
    for (const ButtonPair &pair : kButtons) {
        if (buttons & pair.prompt)
            standard |= pair.box;
    }
    if (!standard)
        standard = QMessageBox::Ok;
    // A host's reply or name shows as it is: as plain text, with its control characters visible.
    QMessageBox box(boxIcon(icon), safeText(shownRemoteName(caption)), QString(), standard, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(safeText(shownRemoteName(text))); // a host's name bytes read as Latin-1, controls visible
    QPushButton *hostOptions = nullptr;
    if ((buttons & HostOptions) && pool_)
        hostOptions = box.addButton(QObject::tr("Host Options…"), QMessageBox::ActionRole);
    fitCaption(box);
    const int chosen = box.exec();
    if (hostOptions && box.clickedButton() == hostOptions)
        return HostOptions;
    for (const ButtonPair &pair : kButtons) {
        if (chosen == pair.box)
            return pair.prompt;
    }
    // Closed with Escape or the close box: the box's way out.
    return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
}

Prompt::Trust MessageBoxPrompt::trustCertificate(const CertificateQuestion &question)
{
    return CertificateDialog::ask(QApplication::activeWindow(), question);
}

int MessageBoxPrompt::captionWidth(const QString &caption)
{
    // Title bars commonly use a bold face a little larger than the text's; beside the caption
    // they hold the window's icon and two or three buttons.
    QFont title = QApplication::font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.15);
    const QFontMetrics metrics(title);
    return metrics.horizontalAdvance(caption) + 8 * metrics.height();
}

void MessageBoxPrompt::fitCaption(QMessageBox &box)
{
    // QMessageBox sizes itself to its text and fixes that size; a spacer as wide as the caption
    // needs is part of that text's layout.
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    // A caption longer than the screen is wide is cut by the screen, not by the box.
    const QScreen *screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int limit = screen ? screen->availableGeometry().width() - 2 * box.style()->pixelMetric(QStyle::PM_LayoutLeftMargin)
                             : QWIDGETSIZE_MAX;
    const int width = qMin(captionWidth(box.windowTitle()), limit);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void MessageBoxPrompt::editHost(const QString &hostName)
{
    if (!pool_)
        return;
    // Not inside the caller: a connection reports a refused login from its own reply handler.
    QTimer::singleShot(0, pool_, [this, hostName] {
        QPointer<ConnectionManager> pool(pool_);
        HostOptionsSheet sheet(QApplication::activeWindow(), hostName, *this,
                               [pool](const QString &oldName, const QString &newName) {
                                   Window::hostRenamed(pool, oldName, newName);
                               });
        DialogRunner::current().run(sheet);
    });
}

void MessageBoxPrompt::workEnded(const QString &summary, const QString &body, qint64 elapsedMs)
{
    notice_->workEnded(summary, body, elapsedMs);
}
