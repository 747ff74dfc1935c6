#include "shell/HelpWindow.h"

#include "shell/ProgramPictures.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// The pages live in the resources of a static library; a program that links it has to load them
// once by name before the first use. (Outside any namespace: the macro names a global function.)
static void loadPages()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(loaded);
}

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    loadPages();
    setWindowTitle(QStringLiteral("Vemal Ftp Help"));
    setWindowIcon(ProgramPictures::appIcon());

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    // One look for every page; the pages carry no style of their own.
    browser_->document()->setDefaultStyleSheet(QStringLiteral(
        "body { font-family: sans-serif; }\n"
        "h1 { font-size: large; }\n"
        "h2 { font-size: medium; margin-top: 14px; }\n"
        "dt { font-weight: bold; margin-top: 6px; }\n"));

    auto *contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto *back = new QPushButton(QStringLiteral("&Back"), this);
    auto *forward = new QPushButton(QStringLiteral("&Forward"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(620, 520);
}

QUrl HelpWindow::contentsUrl()
{
    loadPages();
    return QUrl(QStringLiteral("qrc:/help/contents.html"));
}

QUrl HelpWindow::topicUrl(int topic)
{
    loadPages();
    const QString path = QStringLiteral(":/help/topic%1.html").arg(topic);
    return QFile::exists(path) ? QUrl(QStringLiteral("qrc") + path) : QUrl();
}

void HelpWindow::showContents()
{
    present(contentsUrl());
}

void HelpWindow::showTopic(int topic)
{
    const QUrl url = topicUrl(topic);
    present(url.isEmpty() ? contentsUrl() : url);
}

QUrl HelpWindow::page() const
{
    return browser_->source();
}

void HelpWindow::present(const QUrl &url)
{
    browser_->setSource(url);
    show();
    raise();
    activateWindow();
}
