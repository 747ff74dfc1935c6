#include "dialogs/FileExistDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/DialogRunner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

FileExistDialog::FileExistDialog(QWidget *parent, const QString &fileName) : CDialog(parent, true)
{
    setWindowTitle(tr("File Exists"));
    auto *text = named(new QLabel(tr("%1 Exists.").arg(Controls::shown(fileName))), IdText);
    text->setWordWrap(true);
    auto *buttons = new QHBoxLayout;
    const auto add = [&](const QString &label, int id, Choice choice) {
        auto *button = named(new QPushButton(label), id);
        connect(button, &QPushButton::clicked, this, [this, choice] { choose(choice); });
        buttons->addWidget(button);
        return button;
    };
    add(tr("&Replace"), IdReplace, Replace)->setDefault(true);
    add(tr("&Continue Int."), IdContinue, Continue);
    add(tr("&Skip File"), IdSkip, Skip);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

FileExistDialog::Choice FileExistDialog::ask(QWidget *parent, const QString &fileName)
{
    FileExistDialog dialog(parent, fileName);
    DialogRunner::current().run(dialog);
    return dialog.choice();
}

void FileExistDialog::reject()
{
    choose(Skip);
}

void FileExistDialog::choose(Choice choice)
{
    choice_ = choice;
    done(choice == Skip ? Rejected : Accepted);
}
