#pragma once

// What the pane tests share: a pyftpdlib host "site" with a few folders, a settings store and
// home folder of their own, and two panes side by side over a fresh pool for each test.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/Window.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/SettingsKeys.h"

#include <QTest>
#include <QTreeWidgetItem>

#include <memory>

namespace panetest {

constexpr int Bound = 15000; // ms: the longest a listing from the server may take
inline const QString Site = QStringLiteral("site");

inline void storeHost(const QString &name, quint16 port, const QString &startPath = QString(), int parent = 0)
{
    QList<SettingsValue> extra;
    if (!startPath.isEmpty())
        extra.append({QStringLiteral("StartPath"), startPath});
    storeTestHost(name, port, extra, parent);
}

inline void storeFolder(const QString &name, int id)
{
    storeTestFolder(name, id);
}

inline QStringList itemTexts(const FileWindow *list)
{
    QStringList texts;
    for (int row = 0; row < list->itemCount(); ++row)
        texts << list->itemText(row);
    return texts;
}

inline QStringList childTexts(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

inline int countStatus(const RecordingStatus &status, const QString &prefix)
{
    int count = 0;
    for (const QString &line : status.texts())
        count += line.startsWith(prefix) ? 1 : 0;
    return count;
}

} // namespace panetest

class PaneFixture
{
protected:
    TestEnvironment env_;
    FtpServerFixture server_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;
    QWidget *host_ = nullptr; // parent of the panes, shown offscreen
    Window *pane0_ = nullptr;
    Window *pane1_ = nullptr;

    // The server with pub/ (docs/, incoming/, readme.txt of 1000 bytes, image.bin of 999),
    // incoming/ and top.txt.
    bool setUpRun()
    {
        return env_.setUp() && server_.start() && server_.makeDir(QStringLiteral("pub/incoming"))
            && server_.makeDir(QStringLiteral("pub/docs"))
            && server_.writeFile(QStringLiteral("pub/readme.txt"), QByteArray(1000, 'r'))
            && server_.writeFile(QStringLiteral("pub/image.bin"), QByteArray(999, 'b'))
            && server_.makeDir(QStringLiteral("incoming")) && server_.writeFile(QStringLiteral("top.txt"), "x");
    }
    QString setUpError() const { return env_.errorString() + u' ' + server_.errorString(); }

    void setUpTest()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Root);
        panetest::storeHost(panetest::Site, server_.port());
        prompt_.clear();
        status_.clear();
    }

    // Two panes registered with a fresh pool, side by side in a shown window.
    void makePanes(QSize size = {800, 400})
    {
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        host_ = new QWidget;
        host_->resize(size);
        pane1_ = new Window(host_, 1, pool_.get());
        pane0_ = new Window(host_, 0, pool_.get());
        pool_->addPane(pane0_);
        pool_->addPane(pane1_);
        pane0_->setGeometry(0, 0, size.width() / 2, size.height());
        pane1_->setGeometry(size.width() / 2 + 3, 0, size.width() / 2 - 3, size.height());
        host_->show();
        QVERIFY(QTest::qWaitForWindowExposed(host_));
    }

    void dropPanes()
    {
        delete host_;
        host_ = nullptr;
        pane0_ = pane1_ = nullptr;
        pool_.reset();
    }

    // Selects the node as a mouse click does: shown at once.
    static void clickNode(Window *pane, QTreeWidgetItem *node)
    {
        pane->tree()->selectedByMouse = true;
        pane->tree()->fetch = true;
        pane->tree()->setCurrentItem(node);
    }

    // Selects a location as Open does: shown at once.
    static bool showLocation(Window *pane, const QString &host, const QString &path)
    {
        pane->tree()->selectedByMouse = true;
        return pane->tree()->GoToLocation(host, path, true);
    }

    // Lists the host's root in pane 0, so that both trees hold its directories.
    void browseRoot()
    {
        clickNode(pane0_, pane0_->tree()->FindHostNode(pane0_->tree()->topNode(), panetest::Site));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("top.txt")) >= 0, panetest::Bound);
        QTRY_VERIFY_WITH_TIMEOUT(pane1_->tree()->findLocationNode(panetest::Site, QStringLiteral("/pub/")),
                                 panetest::Bound);
    }
};
