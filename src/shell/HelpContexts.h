#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QWidget;

// Context help. While a window exists it may register a table that maps its controls' ids to
// help topics; F1 in (or over) such a control opens its topic, F1 anywhere else the contents.
// A control's id is its "controlId" property, else the number in an object name "ctl<id>";
// a window may give its own way of telling ids (the frame knows its lists and trees by type).
//
//     HelpContexts::registerWindow(this, {{101, 405}, {102, 405}, {104, 405}});
//
// The registration ends by itself when the window is destroyed.
class HelpContexts : public QObject
{
    Q_OBJECT
public:
    struct Entry
    {
        int controlId;
        int topic;
    };
    using IdOf = std::function<int(const QWidget *)>;

    // Installs the F1 handling on the application; openTopic gets a topic, or 0 for the contents.
    explicit HelpContexts(std::function<void(int)> openTopic, QObject *parent = nullptr);
    ~HelpContexts() override;

    static void registerWindow(QWidget *window, const QList<Entry> &table, const IdOf &idOf = {});
    static void unregisterWindow(QWidget *window);
    static bool isRegistered(const QWidget *window);

    // The topic of the control that is widget or holds it; 0 when none is registered.
    static int topicFor(const QWidget *widget);
    // The id a control carries; 0 when it has none.
    static int controlId(const QWidget *widget);

    // What F1 opens right now: the topic of the focused control, else of the control under the
    // pointer, else 0 (the contents).
    static int currentTopic();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(int)> openTopic_;
};
