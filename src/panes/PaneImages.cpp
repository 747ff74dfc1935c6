// The thirteen pane pictures. Each comes from the desktop's icon theme where the theme has it and
// is drawn here otherwise, on a 16 by 16 grid, at ratio 1 and 2 for high-density screens. The
// link and the two pending folders are folders with a mark drawn over them.
#include "panes/PaneImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

constexpr int kSize = 16;
using Drawing = std::function<void(QPainter &)>;

const QColor kOutline(0x40, 0x40, 0x40);
const QColor kFolder(0xf2, 0xc1, 0x4e);
const QColor kFolderDark(0xd9, 0x9e, 0x2b);
const QColor kFolderLight(0xfb, 0xdd, 0x8b);
const QColor kMetal(0xc8, 0xc8, 0xcc);
const QColor kScreen(0x3a, 0x6e, 0xb5);

QPixmap canvas(int ratio)
{
    QPixmap pixmap(kSize * ratio, kSize * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QIcon drawn(const Drawing &draw)
{
    QIcon icon;
    for (int ratio : {1, 2}) {
        QPixmap pixmap = canvas(ratio);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The base picture with a mark painted over it, at both ratios.
QIcon marked(const QIcon &base, const Drawing &mark)
{
    QIcon icon;
    for (int ratio : {1, 2}) {
        QPixmap pixmap = canvas(ratio);
        QPainter painter(&pixmap);
        painter.drawPixmap(QRect(0, 0, kSize, kSize), base.pixmap(QSize(kSize, kSize), ratio));
        painter.setRenderHint(QPainter::Antialiasing);
        mark(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon themed(std::initializer_list<const char *> names, const Drawing &fallback)
{
    for (const char *name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            return icon;
    }
    return drawn(fallback);
}

void page(QPainter &p)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(10.5, 0.5);
    sheet.lineTo(13.5, 3.5);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(QPointF(10.5, 0.5), QPointF(10.5, 3.5));
    p.drawLine(QPointF(10.5, 3.5), QPointF(13.5, 3.5));
}

void binaryFile(QPainter &p)
{
    page(p);
    // Rows of ones (bars) and zeros (rings).
    p.setPen(QPen(QColor(0x20, 0x50, 0x90), 1));
    const char *rows[] = {"1011", "0110", "1101", "0010"};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const QRectF cell(4 + c * 2.2, 4.5 + r * 2.6, 1.4, 2);
            if (rows[r][c] == '1')
                p.drawLine(QPointF(cell.center().x(), cell.top()), QPointF(cell.center().x(), cell.bottom()));
            else
                p.drawEllipse(cell);
        }
    }
}

void textFile(QPainter &p)
{
    page(p);
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    for (qreal y : {5.5, 7.5, 9.5, 11.5, 13.5})
        p.drawLine(QPointF(4.5, y), QPointF(y == 13.5 ? 8.5 : 11.5, y));
}

void folderBack(QPainter &p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kFolderDark);
    p.drawRoundedRect(QRectF(0.5, 2.5, 6, 3), 1, 1);
    p.setBrush(kFolder);
    p.drawRect(QRectF(0.5, 4.5, 15, 10));
}

void folder(QPainter &p)
{
    folderBack(p);
    p.setPen(QPen(kFolderLight, 1));
    p.drawLine(QPointF(1.5, 5.5), QPointF(14.5, 5.5));
}

void openFolder(QPainter &p)
{
    folderBack(p);
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kFolderLight);
    p.drawPolygon(QPolygonF{{3.5, 7.5}, {15.5, 7.5}, {13.5, 14.5}, {0.5, 14.5}});
}

void computer(QPainter &p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kMetal);
    p.drawRect(QRectF(1.5, 1.5, 13, 10));
    p.setBrush(kScreen);
    p.drawRect(QRectF(3.5, 3.5, 9, 6));
    p.setBrush(kMetal);
    p.drawRect(QRectF(6.5, 11.5, 3, 2));
    p.drawRect(QRectF(3.5, 13.5, 9, 2));
}

void driveBox(QPainter &p, const QColor &face)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 5.5, 15, 6), 1, 1);
}

void removableDrive(QPainter &p)
{
    driveBox(p, kMetal);
    p.setPen(QPen(kOutline, 1.2));
    p.drawLine(QPointF(3, 8.5), QPointF(10, 8.5)); // the slot
}

void fixedDrive(QPainter &p)
{
    driveBox(p, kMetal);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0xc0, 0x40));
    p.drawEllipse(QRectF(11.5, 7.5, 2, 2)); // the light
}

void networkDrive(QPainter &p)
{
    p.save();
    p.translate(0, -3);
    fixedDrive(p);
    p.restore();
    p.setPen(QPen(kOutline, 1));
    p.drawLine(QPointF(8, 8.5), QPointF(8, 13.5));
    p.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 13.5));
    p.setBrush(kScreen);
    p.drawRect(QRectF(6.5, 12.5, 3, 2));
}

void cdDrive(QPainter &p)
{
    p.setPen(QPen(kOutline, 1));
    QRadialGradient shine(QPointF(6, 6), 9);
    shine.setColorAt(0, QColor(0xf4, 0xf4, 0xff));
    shine.setColorAt(1, QColor(0xa8, 0xb4, 0xd8));
    p.setBrush(shine);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 6, 4, 4));
}

// A link: a small arrow in the lower left corner.
void linkMark(QPainter &p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 8.5, 7, 7));
    p.setPen(QPen(QColor(0x10, 0x40, 0xa0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(2.5, 13.5), QPointF(5.5, 10.5));
    p.drawLine(QPointF(3.3, 10.5), QPointF(5.5, 10.5));
    p.drawLine(QPointF(5.5, 10.5), QPointF(5.5, 12.7));
}

// A folder made by Go To that was not listed yet: a bar across its foot.
void pendingMark(QPainter &p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(0x2f, 0x6f, 0xc4));
    p.drawRect(QRectF(0.5, 12.5, 15, 3));
}

QList<QIcon> buildImages()
{
    const QIcon closed = themed({"folder"}, folder);
    const QIcon open = themed({"folder-open"}, openFolder);
    QList<QIcon> images(PaneIconCount);
    images[IconBinaryFile] = themed({"application-octet-stream", "application-x-executable"}, binaryFile);
    images[IconFolder] = closed;
    images[IconAsciiFile] = themed({"text-x-generic"}, textFile);
    images[IconLink] = marked(closed, linkMark);
    images[IconFolderOpen] = open;
    images[IconFolderPlain] = closed;
    images[IconComputer] = themed({"computer"}, computer);
    images[IconRemovableDrive] = themed({"drive-removable-media"}, removableDrive);
    images[IconFixedDrive] = themed({"drive-harddisk"}, fixedDrive);
    images[IconNetworkDrive] = themed({"folder-remote", "network-server"}, networkDrive);
    images[IconCdDrive] = themed({"media-optical", "drive-optical"}, cdDrive);
    images[IconPendingFolder] = marked(closed, pendingMark);
    images[IconPendingFolderOpen] = marked(open, pendingMark);
    images[IconHomeDrive] = themed({"user-home", "folder-home"}, fixedDrive);
    images[IconRootDrive] = themed({"drive-harddisk-root", "drive-harddisk-system", "drive-harddisk"}, fixedDrive);
    return images;
}

} // namespace

const QList<QIcon> &paneImages()
{
    static const QList<QIcon> images = buildImages();
    return images;
}
