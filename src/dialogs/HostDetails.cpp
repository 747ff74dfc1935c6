#include "dialogs/HostDetails.h"

#include "dialogs/Controls.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/HostKeys.h"
#include "settings/PasswordCoding.h"
#include "settings/SettingsKeys.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

using Controls::named;

namespace {

constexpr int kMaxText = 255;
const QString kAnonymous = QStringLiteral("anonymous");

QString eMail()
{
    return AppValue(QStringLiteral("EMail"), SettingsKeys::EMailBuffer);
}

QLineEdit *edit(int id)
{
    auto *line = named(new QLineEdit, id);
    line->setMaxLength(kMaxText);
    return line;
}

} // namespace

HostDetails::HostDetails(QString &hostName, Prompt &prompt, Renamed renamed, QWidget *parent)
    : QWidget(parent), hostName_(hostName), prompt_(prompt), renamed_(std::move(renamed))
{
    name_ = edit(IdName);
    address_ = edit(IdAddress);
    user_ = edit(IdUser);
    password_ = edit(IdPassword);
    password_->setEchoMode(QLineEdit::Password);
    anonymous_ = named(new QCheckBox(tr("Anonymous Login")), IdAnonymous);

    auto *hostBox = named(new QGroupBox(tr("Host Details")), 105);
    auto *hostForm = new QFormLayout(hostBox);
    hostForm->addRow(tr("&Name"), name_);
    hostForm->addRow(tr("&Address"), address_);
    auto *userBox = named(new QGroupBox(tr("User Details")), 106);
    auto *userForm = new QFormLayout(userBox);
    userForm->addRow(tr("&UserName"), user_);
    userForm->addRow(tr("&Password"), password_);
    userForm->addRow(QString(), anonymous_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hostBox);
    layout->addWidget(userBox);
    layout->addStretch();

    for (QLineEdit *line : {name_, address_})
        connect(line, &QLineEdit::textEdited, this, &HostDetails::changed);
    for (QLineEdit *line : {user_, password_})
        connect(line, &QLineEdit::textEdited, this, &HostDetails::loginEdited);
    connect(anonymous_, &QCheckBox::clicked, this, &HostDetails::anonymousClicked);
}

void HostDetails::setUp()
{
    setUp_ = true;
    name_->setText(hostName_);
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(hostName_);
    const auto value = [&](const char *name) {
        return store.value(key, QLatin1String(name), SettingsKeys::HostValueBuffer);
    };
    if (!store.keyExists(key)) {
        emit changed();
        user_->setText(kAnonymous);
        password_->setText(eMail());
    } else {
        const auto address = value("Address");
        address_->setText(address.value_or(QString()));
        if (!address)
            emit changed();
        user_->setText(value("Username").value_or(kAnonymous));
        if (auto password = value("Password")) {
            DecodePassword(*password);
            password_->setText(*password);
        } else {
            password_->setText(eMail());
        }
    }
    anonymous_->setChecked(user_->text() == kAnonymous && password_->text() == eMail());
}

// Whatever the box showed: the anonymous login is filled in and the box ends up checked.
void HostDetails::anonymousClicked()
{
    user_->setText(kAnonymous);
    password_->setText(eMail());
    anonymous_->setChecked(true);
    emit changed();
}

void HostDetails::loginEdited()
{
    anonymous_->setChecked(false);
    emit changed();
}

bool HostDetails::refuse(const QString &text, int focusId, bool stopIcon)
{
    prompt_.message(text, tr("Error"), stopIcon ? Prompt::Icon::Stop : Prompt::Icon::None);
    if (auto *control = findChild<QWidget *>(QStringLiteral("ctl%1").arg(focusId)))
        control->setFocus();
    return false;
}

bool HostDetails::apply()
{
    const QString address = address_->text();
    if (address.isEmpty())
        return refuse(tr("You must enter an Address"), IdAddress, false);
    const QString name = name_->text();
    if (name.isEmpty())
        return refuse(tr("Must Enter a Host Name"), IdName);
    const bool anonymous = anonymous_->isChecked();
    // What the readers could not read back, or what could reach the host as more than one command.
    const QList<std::pair<QString, QLineEdit *>> values{
        {QStringLiteral("Address"), address_}, {QStringLiteral("Username"), user_}, {QStringLiteral("Password"), password_}};
    for (const auto &[valueName, line] : values) {
        if (anonymous && line != address_)
            continue;
        const QString problem = HostValueProblem(valueName, line->text());
        if (!problem.isEmpty())
            return refuse(problem, line->objectName().mid(3).toInt());
    }

    SettingsStore &store = SettingsStore::instance();
    if (name != hostName_) {
        // A taken name is refused by the rename itself, with its own message.
        const QString problem = HostNameProblem(name);
        if (!store.keyExists(SettingsKeys::hostKey(name)) && !problem.isEmpty())
            return refuse(problem, IdName);
        if (const int error = RenameHostKey(hostName_, name, prompt_); error != 0) {
            // -1: the name is taken, and the user has been told.
            if (error > 0)
                return refuse(tr("The host could not be renamed (error %1).").arg(error), IdName);
            name_->setFocus();
            return false;
        }
        const QString oldName = std::exchange(hostName_, name);
        if (renamed_)
            renamed_(oldName, name);
    }

    const QString key = SettingsKeys::hostKey(hostName_);
    if (!store.keyExists(key)) {
        prompt_.message(tr("The host %1 was removed while its options were open; nothing was stored.").arg(hostName_),
                        tr("Host Options"), Prompt::Icon::Warning);
        return true;
    }
    QString password = password_->text();
    EncodePassword(password);
    bool written = store.setValue(key, QStringLiteral("Address"), address);
    if (anonymous) {
        store.deleteValue(key, QStringLiteral("Username"));
        store.deleteValue(key, QStringLiteral("Password"));
    } else {
        written = written && store.setValues(key, {{QStringLiteral("Username"), user_->text()},
                                                   {QStringLiteral("Password"), password}});
    }
    if (!written)
        return refuse(tr("The host's options could not be stored (error %1).").arg(store.lastError()), IdAddress);
    return true;
}
