#include "shell/ProgramPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

using Drawing = std::function<void(QPainter &)>;

// Draws a picture designed on a grid of design by design units at each of the sizes, sharp on
// screens of ratio 1 and 2.
QIcon render(const Drawing &draw, int design, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (int size : sizes) {
        for (int ratio : {1, 2}) {
            QPixmap pixmap(size * ratio, size * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(double(size) / design, double(size) / design);
            draw(painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
    }
    return icon;
}

const QColor kOutline(0x40, 0x40, 0x40);
const QColor kFolder(0xf2, 0xc1, 0x4e);
const QColor kFolderDark(0xd9, 0x9e, 0x2b);
const QColor kPaper(Qt::white);
const QColor kBlue(0x2f, 0x6f, 0xc4);
const QColor kGreen(0x2e, 0x9a, 0x3c);

void page(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 2)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void closedFolder(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kFolderDark);
    p.drawRect(QRectF(r.left(), r.top(), r.width() * 0.45, 3));
    p.setBrush(kFolder);
    p.drawRect(QRectF(r.left(), r.top() + 2, r.width(), r.height() - 2));
}

void arrow(QPainter &p, QPointF tip, qreal size, qreal angle, const QColor &colour)
{
    p.save();
    p.translate(tip);
    p.rotate(angle);
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(size, size);
    path.lineTo(size * 0.35, size);
    path.lineTo(size * 0.35, size * 2);
    path.lineTo(-size * 0.35, size * 2);
    path.lineTo(-size * 0.35, size);
    path.lineTo(-size, size);
    path.closeSubpath();
    p.setPen(QPen(kOutline, 0.8));
    p.setBrush(colour);
    p.drawPath(path);
    p.restore();
}

void drawOpen(QPainter &p)
{
    closedFolder(p, QRectF(1.5, 3.5, 12, 10));
    QPolygonF flap{{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}};
    p.setBrush(QColor(0xfb, 0xdd, 0x8b));
    p.drawPolygon(flap);
}

void drawCopy(QPainter &p)
{
    page(p, QRectF(1.5, 1.5, 8, 10));
    page(p, QRectF(6.5, 4.5, 8, 10));
}

void drawDelete(QPainter &p)
{
    p.setPen(QPen(QColor(0xc8, 0x1e, 0x1e), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void drawRefresh(QPainter &p)
{
    p.setPen(QPen(kGreen, 2.2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 290 * 16);
    QPolygonF head{{8.5, 0.5}, {12.0, 3.2}, {8.5, 6.0}};
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPolygon(head);
}

void smallSquare(QPainter &p, qreal x, qreal y)
{
    p.setPen(QPen(kOutline, 0.8));
    p.setBrush(kBlue);
    p.drawRect(QRectF(x, y, 3, 3));
}

void drawSmallIcons(QPainter &p)
{
    for (qreal y : {2.5, 9.5}) {
        for (qreal x : {1.5, 8.5}) {
            smallSquare(p, x, y);
            p.setPen(QPen(kOutline, 1));
            p.drawLine(QPointF(x + 4, y + 1.5), QPointF(x + 6.5, y + 1.5));
        }
    }
}

void drawList(QPainter &p)
{
    for (qreal y : {1.5, 6.5, 11.5}) {
        smallSquare(p, 1.5, y);
        p.setPen(QPen(kOutline, 1));
        p.drawLine(QPointF(5.5, y + 1.5), QPointF(14.5, y + 1.5));
    }
}

void drawDetails(QPainter &p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(0.5, 1.5, 15, 13));
    p.setBrush(QColor(0xd0, 0xd0, 0xd0));
    p.drawRect(QRectF(0.5, 1.5, 15, 3));
    for (qreal y : {7.0, 10.0, 13.0}) {
        p.drawLine(QPointF(2, y), QPointF(7, y));
        p.drawLine(QPointF(9, y), QPointF(11, y));
        p.drawLine(QPointF(12.5, y), QPointF(14.5, y));
    }
}

void drawUp(QPainter &p)
{
    closedFolder(p, QRectF(0.5, 5.5, 12, 9));
    arrow(p, QPointF(11.5, 0.5), 4, 0, kGreen);
}

void drawAppIcon(QPainter &p)
{
    // A blue disc for the network, a folder in front and two arrows: files going both ways.
    p.setPen(Qt::NoPen);
    QRadialGradient sky(QPointF(26, 22), 34);
    sky.setColorAt(0, QColor(0x6f, 0xa8, 0xe8));
    sky.setColorAt(1, QColor(0x1f, 0x4f, 0x99));
    p.setBrush(sky);
    p.drawEllipse(QRectF(2, 2, 60, 60));
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(14, 2, 36, 60));
    p.drawLine(QPointF(2, 32), QPointF(62, 32));
    p.drawLine(QPointF(32, 2), QPointF(32, 62));

    p.setPen(QPen(QColor(0x5a, 0x3d, 0x07), 1.5));
    p.setBrush(QColor(0xd9, 0x9e, 0x2b));
    p.drawRoundedRect(QRectF(10, 24, 16, 8), 2, 2);
    p.setBrush(QColor(0xf6, 0xc9, 0x5b));
    p.drawRoundedRect(QRectF(10, 28, 34, 24), 2.5, 2.5);

    arrow(p, QPointF(51, 12), 7, 0, QColor(0x3c, 0xc0, 0x4a));
    arrow(p, QPointF(51, 56), 7, 180, QColor(0xff, 0x9a, 0x1f));
}

struct Tool
{
    int bitmap;
    const char *themeName;
    void (*draw)(QPainter &);
};

constexpr Tool kTools[] = {
    {1, "document-open", drawOpen},
    {3, "edit-copy", drawCopy},
    {4, "edit-delete", drawDelete},
    {15, "view-list-icons", drawSmallIcons},
    {16, "view-list-text", drawList},
    {20, "view-refresh", drawRefresh},
    {22, "go-up", drawUp},
    {16627, "view-list-details", drawDetails},
};

const Tool *findTool(int bitmap)
{
    for (const Tool &tool : kTools) {
        if (tool.bitmap == bitmap)
            return &tool;
    }
    return nullptr;
}

} // namespace

QIcon ProgramPictures::drawnToolPicture(int bitmap)
{
    const Tool *tool = findTool(bitmap);
    return tool ? render(tool->draw, 16, {16}) : QIcon();
}

QIcon ProgramPictures::toolPicture(int bitmap)
{
    const Tool *tool = findTool(bitmap);
    if (!tool)
        return {};
    return QIcon::fromTheme(QString::fromLatin1(tool->themeName), drawnToolPicture(bitmap));
}

QIcon ProgramPictures::appIcon()
{
    static const QIcon icon = render(drawAppIcon, 64, {16, 24, 32, 48, 64, 128});
    return icon;
}
