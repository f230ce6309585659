#include "functioncfg/FunctionWaveform.h"

#include <QFont>
#include <QPainter>

namespace zqb {

namespace {

const QColor Background(241, 241, 241);
const QColor OffGrey(127, 127, 127);
const QColor RampBlue(0, 162, 232);
const QColor HoldOrange(255, 127, 39);
const QColor RampGreen(34, 177, 76);

constexpr int OnLevel = 17;
constexpr int OffLevel = 68;

QFont CaptionFont(bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

void Line(QPainter& painter, const QColor& colour, qreal width, QPointF from, QPointF to)
{
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    painter.drawLine(from, to);
}

// Text whose box is centred vertically on y; aligned by `alignment` inside [left, right].
void Caption(QPainter& painter, const QColor& colour, const QString& text, int left, int right, int y,
             Qt::Alignment alignment)
{
    painter.setPen(colour);
    painter.drawText(QRect(left, y - 8, right - left, 16), alignment | Qt::AlignVCenter, text);
}

}  // namespace

QImage DrawFunctionWaveform()
{
    QImage image(WaveformWidth, WaveformHeight, QImage::Format_RGB32);
    image.fill(Background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The trapezoid, 3 px wide.
    Line(painter, OffGrey, 3, {73, OffLevel}, {103, OffLevel});
    Line(painter, RampBlue, 3, {103, OffLevel}, {127, OnLevel - 1});
    Line(painter, HoldOrange, 3, {128, OnLevel}, {274, OnLevel});
    Line(painter, RampGreen, 3, {274, OnLevel}, {298, OffLevel - 1});
    Line(painter, OffGrey, 3, {298, OffLevel}, {344, OffLevel});

    // The thin guide from "On Value" to the On level.
    painter.setRenderHint(QPainter::Antialiasing, false);
    Line(painter, Qt::red, 1, {73, OnLevel}, {119, OnLevel});

    painter.setFont(CaptionFont(false));
    Caption(painter, RampBlue, QStringLiteral("Ton"), 60, 110, (OnLevel + OffLevel) / 2, Qt::AlignRight);
    Caption(painter, HoldOrange, QStringLiteral("Thold"), 128, 274, OnLevel - 10, Qt::AlignHCenter);
    Caption(painter, RampGreen, QStringLiteral("Toff"), 292, 344, (OnLevel + OffLevel) / 2, Qt::AlignLeft);

    painter.setFont(CaptionFont(true));
    Caption(painter, Qt::red, QStringLiteral("On Value"), 2, 72, OnLevel, Qt::AlignLeft);
    Caption(painter, Qt::black, QStringLiteral("Off Value"), 2, 72, OffLevel, Qt::AlignLeft);
    return image;
}

}  // namespace zqb
