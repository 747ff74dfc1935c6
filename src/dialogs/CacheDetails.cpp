#include "dialogs/CacheDetails.h"

#include "dialogs/CertificateDialog.h"
#include "dialogs/Controls.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "settings/HostKeys.h"
#include "settings/LeadingInteger.h"
#include "settings/SettingsKeys.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTextEdit>
#include <QVBoxLayout>

using Controls::named;

namespace {

constexpr int kMaxText = 349;

QLineEdit *digitsEdit(int id, int maxLength)
{
    auto *line = named(new QLineEdit, id);
    line->setMaxLength(maxLength);
    line->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), line));
    return line;
}

// Shows a stored choice (DataMode, Encryption) as the connections read it: its leading number,
// when in the list, else the first item. Returns whether the stored text is one the page cannot
// write back as it is, and so must keep until the user picks a choice.
bool showChoice(QComboBox *combo, const QString &name, const std::optional<QString> &stored)
{
    const int index = stored ? LeadingInteger(*stored) : 0;
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
    return stored && !HostValueProblem(name, *stored).isEmpty();
}

} // namespace

CacheDetails::CacheDetails(const QString &hostName, Prompt &prompt, QWidget *parent)
    : QWidget(parent), hostName_(hostName), prompt_(prompt)
{
    policy_ = new QButtonGroup(this);
    auto *cacheBox = new QGroupBox(tr("Listing Cache"));
    auto *cacheLayout = new QVBoxLayout(cacheBox);
    const QList<std::pair<int, QString>> policies{{IdNoCaching, tr("&No Caching")},
                                                  {IdExpiresOnStartup, tr("Cache Expires on &Startup")},
                                                  {IdNeverExpires, tr("Cache &Never Expires")},
                                                  {IdExpiresAfterPeriod, tr("Cache Expires After &Period")}};
    for (const auto &[id, text] : policies) {
        auto *button = named(new QRadioButton(text), id);
        policy_->addButton(button, id);
        cacheLayout->addWidget(button);
    }
    days_ = digitsEdit(IdDays, 9);
    minutes_ = digitsEdit(IdMinutes, 9);
    for (QLineEdit *line : {days_, minutes_})
        line->setMaximumWidth(line->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8 + 12);
    auto *period = new QHBoxLayout;
    period->setContentsMargins(24, 0, 0, 0);
    period->addWidget(new QLabel(tr("Expiry After")));
    period->addWidget(days_);
    period->addWidget(new QLabel(tr("days, ")));
    period->addWidget(minutes_);
    period->addWidget(new QLabel(tr("minutes.")));
    period->addStretch();
    cacheLayout->addLayout(period);

    port_ = digitsEdit(IdPort, 5);
    port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 7 + 12);
    hostType_ = named(new QComboBox, IdHostType);
    // In the order of the stored DataMode.
    dataMode_ = named(new QComboBox, IdDataMode);
    dataMode_->addItems({tr("Program Default"), tr("Active (PORT)"), tr("Passive (PASV)")});
    // In the order of the stored Encryption.
    encryption_ = named(new QComboBox, IdEncryption);
    encryption_->addItems({tr("None (plain FTP)"), tr("TLS when the host offers it"),
                           tr("Require TLS (explicit, AUTH TLS)"), tr("Implicit TLS (port 990)")});
    certificate_ = CertificateDialog::fingerprintView(QString());
    certificate_->setObjectName(QStringLiteral("ctl%1").arg(IdCertificate));
    forget_ = named(new QPushButton(tr("&Forget")), IdForgetCertificate);
    forget_->setToolTip(tr("Forget the trusted certificate when the options are applied, so that the next "
                           "connection asks about the host's certificate again."));
    auto *certificate = new QHBoxLayout;
    certificate->addWidget(certificate_);
    certificate->addWidget(forget_, 0, Qt::AlignTop);
    certificate->addStretch();
    startPath_ = named(new QLineEdit, IdStartPath);
    startPath_->setMaxLength(kMaxText);
    auto *connectionBox = new QGroupBox(tr("Connection"));
    auto *form = new QFormLayout(connectionBox);
    form->addRow(tr("&Port:"), port_);
    form->addRow(tr("Host &Type:"), hostType_);
    form->addRow(tr("&Data Connection:"), dataMode_);
    form->addRow(tr("&Encryption:"), encryption_);
    form->addRow(tr("Trusted Certificate:"), certificate);
    form->addRow(tr("&Startup Path:"), startPath_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(cacheBox);
    layout->addWidget(connectionBox);
    layout->addStretch();

    connect(policy_, &QButtonGroup::idClicked, this, &CacheDetails::changed);
    for (QLineEdit *line : {days_, minutes_, port_, startPath_})
        connect(line, &QLineEdit::textEdited, this, &CacheDetails::changed);
    connect(hostType_, &QComboBox::activated, this, &CacheDetails::changed);
    connect(dataMode_, &QComboBox::activated, this, [this] {
        keepStoredDataMode_ = false;
        emit changed();
    });
    connect(encryption_, &QComboBox::activated, this, [this] {
        keepStoredEncryption_ = false;
        emit changed();
    });
    connect(forget_, &QPushButton::clicked, this, [this] {
        forgetCertificate_ = true;
        showCertificate(QString());
        emit changed();
    });
    showCertificate(QString());
}

void CacheDetails::setUp()
{
    setUp_ = true;
    // In the order of the stored Type: a host whose type was set elsewhere keeps it at OK.
    hostType_->addItems({tr("Auto Detect"), tr("UNIX"), tr("VMS"), tr("Windows")});
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(hostName_);
    if (!store.keyExists(key))
        return;
    bool missing = false;
    const auto value = [&](const char *name, const char *fallback) {
        const auto text = store.value(key, QLatin1String(name), SettingsKeys::HostValueBuffer);
        missing = missing || !text;
        return text.value_or(QLatin1String(fallback));
    };
    minutes_->setText(value("CacheMins", "0"));
    // Not missing when absent: hosts stored before these existed are plain FTP, with no certificate.
    keepStoredEncryption_ = showChoice(encryption_, QStringLiteral("Encryption"),
                                       store.value(key, QStringLiteral("Encryption"), SettingsKeys::HostValueBuffer));
    showCertificate(store.value(key, QStringLiteral("CertSha256"), SettingsKeys::HostValueBuffer).value_or(QString()));
    // Implicit TLS has a port of its own, as the connections read it.
    port_->setText(value("Port", encryption_->currentIndex() == 3 ? "990" : "21"));
    startPath_->setText(value("StartPath", "/"));
    const int type = value("Type", "0").toInt();
    hostType_->setCurrentIndex(type >= 0 && type < hostType_->count() ? type : 0);
    // Not missing when absent: hosts stored before the choice existed leave it to the program.
    keepStoredDataMode_ = showChoice(dataMode_, QStringLiteral("DataMode"),
                                     store.value(key, QStringLiteral("DataMode"), SettingsKeys::HostValueBuffer));
    days_->setText(value("CacheDays", "0"));
    const QString policy = value("CacheType", "1");
    const QChar first = policy.isEmpty() ? QChar() : policy.at(0);
    const int id = first == u'0' ? IdNoCaching
                   : first == u'1' ? IdExpiresOnStartup
                   : first == u'2' ? IdNeverExpires
                                   : IdExpiresAfterPeriod;
    policy_->button(id)->setChecked(true);
    if (missing)
        emit changed();
}

void CacheDetails::showCertificate(const QString &fingerprint)
{
    CertificateDialog::setFingerprint(certificate_, fingerprint, tr("None"));
    forget_->setEnabled(!fingerprint.isEmpty());
}

bool CacheDetails::refuse(const QString &text, QWidget *control)
{
    prompt_.message(text, tr("Error"), Prompt::Icon::Stop);
    control->setFocus();
    return false;
}

bool CacheDetails::apply()
{
    // An empty port reads as 21; a port that no host can have is refused rather than stored.
    if (!port_->text().isEmpty()) {
        const QString problem = HostValueProblem(QStringLiteral("Port"), port_->text());
        if (!problem.isEmpty())
            return refuse(problem, port_);
    }
    if (const QString problem = HostValueProblem(QStringLiteral("StartPath"), startPath_->text()); !problem.isEmpty())
        return refuse(problem, startPath_);

    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(hostName_);
    if (!store.keyExists(key))
        return true; // the "Host" page has said so
    const int checked = policy_->checkedId();
    const QString policy = checked == IdNoCaching          ? QStringLiteral("0")
                           : checked == IdExpiresOnStartup ? QStringLiteral("1")
                           : checked == IdNeverExpires     ? QStringLiteral("2")
                                                           : QStringLiteral("3");
    QList<SettingsValue> values{{QStringLiteral("CacheMins"), minutes_->text()},
                                {QStringLiteral("StartPath"), startPath_->text()},
                                {QStringLiteral("Port"), port_->text()},
                                {QStringLiteral("Type"), QString::number(std::max(0, hostType_->currentIndex()))},
                                {QStringLiteral("CacheDays"), days_->text()},
                                {QStringLiteral("CacheType"), policy}};
    if (!keepStoredDataMode_)
        values.append({QStringLiteral("DataMode"), QString::number(std::max(0, dataMode_->currentIndex()))});
    if (!keepStoredEncryption_)
        values.append({QStringLiteral("Encryption"), QString::number(std::max(0, encryption_->currentIndex()))});
    const bool written = store.setValues(key, values);
    if (!written)
        return refuse(tr("The host's options could not be stored (error %1).").arg(store.lastError()), port_);
    if (forgetCertificate_ && store.value(key, QStringLiteral("CertSha256"))
        && !store.deleteValue(key, QStringLiteral("CertSha256")))
        return refuse(tr("The trusted certificate could not be forgotten (error %1).").arg(store.lastError()), forget_);
    forgetCertificate_ = false;
    return true;
}
