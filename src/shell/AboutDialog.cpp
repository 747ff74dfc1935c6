#include "shell/AboutDialog.h"

#include "shell/ProgramPictures.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

AboutDialog::AboutDialog(QWidget *parent) : CDialog(parent, false)
{
    setWindowTitle(QStringLiteral("About Vemal Ftp"));

    auto *picture = new QLabel(this);
    picture->setPixmap(ProgramPictures::appIcon().pixmap(48, 48));
    auto *version = new QLabel(versionLine(), this);
    version->setObjectName(QStringLiteral("versionLine"));
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto *about = new QLabel(QStringLiteral("An FTP client: browse FTP hosts and the local disks, and copy files "
                                            "between them or from host to host."),
                             this);
    about->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(about, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(320);
}
