#include "dialogs/DirInfoDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DirInfoDialog::DirInfoDialog(QWidget *parent, const QString &path, const DirectoryStats &stats) : CDialog(parent)
{
    setWindowTitle(tr("Directory Stats for ") + path);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(3 * fontMetrics().averageCharWidth());
    grid->addWidget(new QLabel(tr("Selected")), 0, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(tr("Total")), 0, 2, Qt::AlignRight);
    const auto row = [grid](int at, const QString &title, const QString &selected, const QString &total) {
        grid->addWidget(new QLabel(title), at, 0);
        grid->addWidget(new QLabel(selected), at, 1, Qt::AlignRight);
        grid->addWidget(new QLabel(total), at, 2, Qt::AlignRight);
    };
    const auto count = [](int n) { return QString::number(n); };
    const int filesSelected = stats.ascii.selected + stats.binary.selected;
    const int files = stats.ascii.total + stats.binary.total;
    row(1, tr("ASCII Files:"), count(stats.ascii.selected), count(stats.ascii.total));
    row(2, tr("Binary Files:"), count(stats.binary.selected), count(stats.binary.total));
    row(3, tr("Total Files:"), count(filesSelected), count(files));
    row(4, tr("Directories:"), count(stats.directories.selected), count(stats.directories.total));
    row(5, tr("Symbolic Links:"), count(stats.links.selected), count(stats.links.total));
    row(6, tr("Total:"), count(filesSelected + stats.directories.selected + stats.links.selected),
        count(files + stats.directories.total + stats.links.total));
    grid->addWidget(new QLabel(tr("Size of Files")), 7, 0, 1, 3);
    row(8, tr("Total:"), withSeparators(stats.selectedBytes), withSeparators(stats.totalBytes));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ctl1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

QString DirInfoDialog::withSeparators(quint64 value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}
