#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The help viewer: the contents page and one page per topic number (401 to 411), shipped with
// the program. Stays open beside the frame until closed.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    void showContents();
    // Shows the page of the topic; an unknown topic shows the contents.
    void showTopic(int topic);

    QUrl page() const;
    QTextBrowser *browser() const { return browser_; }

    static QUrl contentsUrl();
    // The page of a topic; empty when the program has no page for it.
    static QUrl topicUrl(int topic);

private:
    void present(const QUrl &url);

    QTextBrowser *browser_;
};
