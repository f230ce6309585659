#include "platform/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace zqb {

namespace {

const QColor Blue(0, 102, 204);
const QColor Green(34, 150, 60);
const QColor Orange(230, 120, 20);
const QColor Grey(90, 90, 90);

void DrawGear(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Grey);
    const QPointF c(12, 12);
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        p.drawRoundedRect(QRectF(-2.5, -11, 5, 6), 1, 1);
        p.restore();
    }
    p.drawEllipse(c, 7.5, 7.5);
    p.setBrush(Qt::white);
    p.drawEllipse(c, 3, 3);
}

void DrawFindMe(QPainter& p)
{
    p.setBrush(Orange);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(12, 12), 3, 3);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Orange, 2, Qt::SolidLine, Qt::RoundCap));
    for (int r : {7, 11}) {
        const QRectF box(12 - r, 12 - r, 2 * r, 2 * r);
        p.drawArc(box, -45 * 16, 90 * 16);
        p.drawArc(box, 135 * 16, 90 * 16);
    }
}

void DrawRefresh(QPainter& p)
{
    p.setPen(QPen(Green, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(16.5, 0.5);
    head.lineTo(21.5, 6.5);
    head.lineTo(14, 8.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Green);
    p.drawPath(head);
}

void DrawCounter(QPainter& p)
{
    p.setPen(QPen(Blue, 1.5));
    p.setBrush(QColor(225, 238, 252));
    p.drawRoundedRect(QRectF(1.5, 5.5, 21, 13), 2, 2);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Blue);
    p.drawText(QRectF(1.5, 5.5, 21, 13), Qt::AlignCenter, QStringLiteral("123"));
}

void DrawFunction(QPainter& p)
{
    p.setPen(QPen(Grey, 1));
    p.drawLine(QPointF(1, 21), QPointF(23, 21));
    p.setPen(QPen(Blue, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath wave;
    wave.moveTo(1, 18);
    wave.lineTo(5, 18);
    wave.lineTo(9, 5);
    wave.lineTo(15, 5);
    wave.lineTo(19, 18);
    wave.lineTo(23, 18);
    p.drawPath(wave);
}

void DrawArrow(QPainter& p, bool right)
{
    QPainterPath arrow;
    if (right) {
        arrow.moveTo(8, 4);
        arrow.lineTo(18, 12);
        arrow.lineTo(8, 20);
    } else {
        arrow.moveTo(16, 4);
        arrow.lineTo(6, 12);
        arrow.lineTo(16, 20);
    }
    arrow.closeSubpath();
    p.setPen(QPen(Blue.darker(120), 1));
    p.setBrush(Blue);
    p.drawPath(arrow);
}

void DrawApply(QPainter& p)
{
    p.setPen(QPen(Green, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(4, 13);
    tick.lineTo(10, 19);
    tick.lineTo(20, 5);
    p.drawPath(tick);
}

// A circle of arrows turning back: the factory settings.
void DrawReset(QPainter& p)
{
    p.setPen(QPen(Orange, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4, 16, 16), 120 * 16, -300 * 16);
    QPainterPath head;
    head.moveTo(2.5, 4);
    head.lineTo(9.5, 4.5);
    head.lineTo(5, 10.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Orange);
    p.drawPath(head);
}

// An arrow down into a chip: new firmware.
void DrawUpdate(QPainter& p)
{
    p.setPen(QPen(Grey, 1.5));
    p.setBrush(QColor(230, 230, 230));
    p.drawRect(QRectF(5.5, 14.5, 13, 7));
    for (int x : {8, 12, 16}) p.drawLine(QPointF(x, 21.5), QPointF(x, 23.5));
    p.setPen(QPen(Blue, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(12, 1.5), QPointF(12, 11));
    p.drawLine(QPointF(7.5, 7), QPointF(12, 11.5));
    p.drawLine(QPointF(16.5, 7), QPointF(12, 11.5));
}

// The power sign: restart.
void DrawReboot(QPainter& p)
{
    p.setPen(QPen(QColor(200, 40, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 5, 16, 16), 125 * 16, -250 * 16);
    p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
}

// An open eye: show what a key field hides.
void DrawShowKey(QPainter& p)
{
    QPainterPath eye;
    eye.moveTo(2, 12);
    eye.quadTo(12, 2, 22, 12);
    eye.quadTo(12, 22, 2, 12);
    p.setPen(QPen(Grey, 1.8));
    p.setBrush(Qt::white);
    p.drawPath(eye);
    p.setPen(Qt::NoPen);
    p.setBrush(Grey);
    p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
}

}  // namespace

QIcon MakeIcon(IconKind kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    switch (kind) {
    case IconKind::Setup: DrawGear(p); break;
    case IconKind::FindMe: DrawFindMe(p); break;
    case IconKind::Refresh: DrawRefresh(p); break;
    case IconKind::Counter: DrawCounter(p); break;
    case IconKind::Function: DrawFunction(p); break;
    case IconKind::StepDown: DrawArrow(p, false); break;
    case IconKind::StepUp: DrawArrow(p, true); break;
    case IconKind::Apply: DrawApply(p); break;
    case IconKind::Reset: DrawReset(p); break;
    case IconKind::Update: DrawUpdate(p); break;
    case IconKind::Reboot: DrawReboot(p); break;
    case IconKind::ShowKey: DrawShowKey(p); break;
    }
    p.end();
    return QIcon(pixmap);
}

}  // namespace zqb
