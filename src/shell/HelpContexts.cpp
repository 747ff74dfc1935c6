#include "shell/HelpContexts.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace {

struct Registration
{
    QPointer<QWidget> window;
    QList<HelpContexts::Entry> table;
    HelpContexts::IdOf idOf;
};

QList<Registration> &registrations()
{
    static QList<Registration> list;
    return list;
}

const Registration *registrationOf(const QWidget *window)
{
    for (const Registration &r : registrations()) {
        if (r.window == window)
            return &r;
    }
    return nullptr;
}

int topicIn(const Registration &registration, const QWidget *control)
{
    const int id = registration.idOf ? registration.idOf(control) : HelpContexts::controlId(control);
    if (id == 0)
        return 0;
    for (const HelpContexts::Entry &entry : registration.table) {
        if (entry.controlId == id)
            return entry.topic;
    }
    return 0;
}

} // namespace

HelpContexts::HelpContexts(std::function<void(int)> openTopic, QObject *parent)
    : QObject(parent), openTopic_(std::move(openTopic))
{
    qApp->installEventFilter(this);
}

HelpContexts::~HelpContexts()
{
    qApp->removeEventFilter(this);
}

void HelpContexts::registerWindow(QWidget *window, const QList<Entry> &table, const IdOf &idOf)
{
    unregisterWindow(window);
    registrations().append(Registration{window, table, idOf});
    QObject::connect(window, &QObject::destroyed, qApp, [window] { unregisterWindow(window); });
}

void HelpContexts::unregisterWindow(QWidget *window)
{
    registrations().removeIf([window](const Registration &r) { return r.window.isNull() || r.window == window; });
}

bool HelpContexts::isRegistered(const QWidget *window)
{
    return registrationOf(window) != nullptr;
}

int HelpContexts::controlId(const QWidget *widget)
{
    const QVariant property = widget->property("controlId");
    if (property.isValid())
        return property.toInt();
    const QString name = widget->objectName();
    if (name.startsWith(QLatin1String("ctl")))
        return name.mid(3).toInt();
    return 0;
}

int HelpContexts::topicFor(const QWidget *widget)
{
    // The nearest control with a topic in a registered widget around it, inside the control's own
    // window: a dialog's controls do not take the topics of the frame that owns the dialog.
    for (const QWidget *control = widget; control; control = control->parentWidget()) {
        for (const QWidget *window = control; window; window = window->parentWidget()) {
            if (const Registration *registration = registrationOf(window)) {
                if (const int topic = topicIn(*registration, control))
                    return topic;
            }
            if (window->isWindow())
                break;
        }
        if (control->isWindow())
            break;
    }
    return 0;
}

int HelpContexts::currentTopic()
{
    if (const int topic = topicFor(QApplication::focusWidget()))
        return topic;
    return topicFor(QApplication::widgetAt(QCursor::pos()));
}

bool HelpContexts::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || key->isAutoRepeat())
        return false;
    // A key press travels up the parents when unhandled; take it once, at the focus.
    if (watched != QApplication::focusWidget() && QApplication::focusWidget())
        return false;
    openTopic_(currentTopic());
    return true;
}
