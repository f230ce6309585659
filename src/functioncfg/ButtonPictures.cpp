#include "functioncfg/ButtonPictures.h"

#include <functional>

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace zqb {

namespace {

constexpr int PictureSize = 20;

QIcon Draw(const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(PictureSize, PictureSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    painter.end();
    return QIcon(pixmap);
}

void Folder(QPainter& p)
{
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(240, 200, 80));
    p.drawPolygon(QPolygonF({{1.5, 5.5}, {7.5, 5.5}, {9.5, 7.5}, {17.5, 7.5}, {17.5, 17.5}, {1.5, 17.5}}));
    p.setBrush(QColor(255, 225, 120));
    p.drawPolygon(QPolygonF({{4.5, 10.5}, {19.5, 10.5}, {16.5, 17.5}, {1.5, 17.5}}));
}

void Floppy(QPainter& p)
{
    p.setPen(QPen(QColor(20, 40, 100), 1));
    p.setBrush(QColor(40, 80, 170));
    p.drawRoundedRect(QRectF(2.5, 2.5, 15, 15), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(6, 3, 8, 5));
    p.setBrush(QColor(40, 80, 170));
    p.drawRect(QRectF(11, 4, 2, 3));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 11, 10, 6));
}

// The module: a dark box with its antenna.
void Module(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.drawLine(QPointF(15, 9), QPointF(15, 2));
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(90, 90, 100));
    p.drawRoundedRect(QRectF(8.5, 9.5, 10, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 230, 120));
    p.drawEllipse(QPointF(11.5, 12.5), 1.2, 1.2);
}

// A horizontal arrow between x0 and x1 at height y, pointing to x1.
void Arrow(QPainter& p, const QColor& colour, qreal x0, qreal x1, qreal y)
{
    const qreal head = x1 > x0 ? -4 : 4;
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x0, y), QPointF(x1 + head, y));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({{x1, y}, {x1 + head, y - 3.5}, {x1 + head, y + 3.5}}));
}

}  // namespace

QIcon LoadFilePicture()
{
    return Draw([](QPainter& p) {
        Folder(p);
        Arrow(p, QColor(0, 140, 60), 12, 19, 3.5);
    });
}

QIcon SaveFilePicture()
{
    return Draw([](QPainter& p) { Floppy(p); });
}

QIcon ReadDevicePicture()
{
    return Draw([](QPainter& p) {
        Module(p);
        Arrow(p, QColor(0, 140, 60), 8, 0.5, 14);
    });
}

QIcon WriteDevicePicture()
{
    return Draw([](QPainter& p) {
        Module(p);
        Arrow(p, QColor(200, 40, 30), 0.5, 8, 14);
    });
}

}  // namespace zqb
