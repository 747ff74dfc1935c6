#include "dialogs/CertificateDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/DialogRunner.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtMath>

using Controls::named;

namespace {

constexpr int kPairsPerLine = 16;

// Wide enough for one line of a fingerprint's pairs in the fixed font, and less than a character
// more: a fingerprint always breaks after its 16th pair.
int fingerprintWidth(const QTextEdit *view, const QFont &fixed)
{
    const qreal text = QFontMetricsF(fixed).horizontalAdvance(QString(kPairsPerLine * 3, u'0'));
    const qreal spare = QFontMetricsF(fixed).horizontalAdvance(u'0') / 2;
    return qCeil(text + spare + 2 * view->document()->documentMargin()) + 2 * view->frameWidth();
}

// Shows text, wrapped to the view's width, on as many lines as it takes.
void setText(QTextEdit *view, const QString &text)
{
    view->setPlainText(text);
    view->document()->setTextWidth(view->width() - 2 * view->frameWidth());
    view->setFixedHeight(qCeil(view->document()->size().height()) + 2 * view->frameWidth());
}

// Read-only text the user can select and copy, wrapped to the view's fixed width, anywhere when
// a word is wider than that (a hostile name), and as tall as its lines.
QTextEdit *textBlock(int id, const QString &text, const QFont &font, int width)
{
    auto *view = named(new QTextEdit, id);
    view->setReadOnly(true);
    view->setAcceptRichText(false);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setFrameShape(QFrame::NoFrame);
    view->viewport()->setAutoFillBackground(false);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setFont(font);
    view->document()->setDocumentMargin(0); // level with the labels beside it
    view->setFixedWidth(width);
    setText(view, text);
    return view;
}

// "NAME (ADDRESS)", the name once: the connections may give an address that already names the host.
QString hostAndAddress(const CertificateQuestion &question)
{
    if (question.host.isEmpty() || question.address.contains(question.host))
        return question.address;
    return QStringLiteral("%1 (%2)").arg(question.host, question.address);
}

QLabel *wrappedLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

CertificateDialog::CertificateDialog(QWidget *parent, const CertificateQuestion &question) : CDialog(parent, true)
{
    setWindowTitle(tr("Untrusted Certificate"));

    QTextEdit *fingerprint = fingerprintView(question.sha256);
    const int width = fingerprint->width();
    const auto field = [&](int id, const QString &text) {
        return textBlock(id, Controls::shown(text), font(), width);
    };

    auto *icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto *text = named(wrappedLabel(tr("The host %1 presented a certificate that this computer's certificate "
                                       "authorities do not vouch for.")
                                        .arg(Controls::shown(hostAndAddress(question)))),
                       IdText);
    QStringList problems;
    for (const QString &problem : question.problems)
        problems << QStringLiteral("• ") + Controls::shown(problem);
    auto *problemList = named(wrappedLabel(problems.join(u'\n')), IdProblems);
    problemList->setVisible(!problems.isEmpty());

    auto *form = new QFormLayout;
    form->addRow(tr("Subject:"), field(IdSubject, question.subject));
    form->addRow(tr("Issuer:"), field(IdIssuer, question.issuer));
    form->addRow(tr("Valid from:"), field(IdValidFrom, question.validFrom));
    form->addRow(tr("Valid until:"), field(IdValidUntil, question.validUntil));
    form->addRow(tr("SHA-256 fingerprint:"), fingerprint);

    auto *advice = wrappedLabel(tr("Trust it only if you know that the host uses this certificate, for example when "
                                   "its fingerprint matches the one its owner gave you. \"Trust Always\" keeps the "
                                   "fingerprint with the host; a different certificate later is refused."));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    const auto add = [&](const QString &label, int id, Prompt::Trust choice) {
        auto *button = named(new QPushButton(label), id);
        connect(button, &QPushButton::clicked, this, [this, choice] { choose(choice); });
        buttons->addWidget(button);
        return button;
    };
    add(tr("Trust &Once"), IdTrustOnce, Prompt::Trust::Once);
    add(tr("Trust &Always"), IdTrustAlways, Prompt::Trust::Always);
    QPushButton *cancel = add(tr("Cancel"), IdCancel, Prompt::Trust::Refuse);
    cancel->setDefault(true);

    auto *body = new QVBoxLayout;
    body->addWidget(text);
    body->addWidget(problemList);
    body->addLayout(form);
    body->addWidget(advice);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(body);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    cancel->setFocus();
}

Prompt::Trust CertificateDialog::ask(QWidget *parent, const CertificateQuestion &question)
{
    CertificateDialog dialog(parent, question);
    DialogRunner::current().run(dialog);
    return dialog.choice();
}

QTextEdit *CertificateDialog::fingerprintView(const QString &fingerprint, const QString &emptyText)
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QTextEdit *view = textBlock(IdFingerprint, QString(), fixed, 0);
    view->setWordWrapMode(QTextOption::WrapAnywhere);
    view->setFixedWidth(fingerprintWidth(view, fixed));
    setFingerprint(view, fingerprint, emptyText);
    return view;
}

void CertificateDialog::setFingerprint(QTextEdit *view, const QString &fingerprint, const QString &emptyText)
{
    setText(view, fingerprint.isEmpty() ? emptyText : Controls::shown(fingerprint));
}

void CertificateDialog::reject()
{
    choose(Prompt::Trust::Refuse);
}

void CertificateDialog::choose(Prompt::Trust choice)
{
    choice_ = choice;
    done(choice == Prompt::Trust::Refuse ? Rejected : Accepted);
}
