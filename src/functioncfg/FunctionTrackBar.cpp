#include "functioncfg/FunctionTrackBar.h"

#include <QEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionSlider>

namespace zqb {

namespace {

// Thumbs 10 px long and a plain sunken channel. Styles that fill the groove from the minimum
// would paint an upside-down bar full while it shows zero.
class TrackBarStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_SliderLength) return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || !slider || !(slider->subControls & SC_SliderGroove)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        DrawChannel(painter, *slider, subControlRect(CC_Slider, slider, SC_SliderGroove, widget));
        QStyleOptionSlider rest(*slider);
        rest.subControls &= ~SC_SliderGroove;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
    }

private:
    static void DrawChannel(QPainter* painter, const QStyleOptionSlider& slider, const QRect& groove)
    {
        constexpr int thickness = 4;
        QRect channel = groove;
        if (slider.orientation == Qt::Vertical)
            channel = QRect(groove.center().x() - thickness / 2, groove.top(), thickness, groove.height());
        else
            channel = QRect(groove.left(), groove.center().y() - thickness / 2, groove.width(), thickness);
        painter->save();
        painter->fillRect(channel, slider.palette.base());
        painter->setPen(slider.palette.color(QPalette::Dark));
        painter->drawLine(channel.topLeft(), channel.topRight());
        painter->drawLine(channel.topLeft(), channel.bottomLeft());
        painter->setPen(slider.palette.color(QPalette::Light));
        painter->drawLine(channel.bottomLeft(), channel.bottomRight());
        painter->drawLine(channel.topRight(), channel.bottomRight());
        painter->restore();
    }
};

bool IsUserInput(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::Wheel;
}

}  // namespace

FunctionTrackBar::FunctionTrackBar(Qt::Orientation orientation, int maximum, int position, int tickInterval,
                                   QWidget* parent)
    : QSlider(orientation, parent)
{
    auto* style = new TrackBarStyle;
    style->setParent(this);
    setStyle(style);

    setRange(0, maximum);
    setValue(position);
    setSingleStep(1);
    setPageStep(2);
    setTickPosition(QSlider::TicksBothSides);
    setTickInterval(tickInterval);
    if (orientation == Qt::Vertical) {
        setInvertedAppearance(true);
        setInvertedControls(true);
    }

    connect(this, &QAbstractSlider::actionTriggered, this, [this] { actionSeen_ = true; });
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        changeSeen_ = true;
        emit changed();
    });
}

double FunctionTrackBar::ShownNumber() const
{
    return invertedAppearance() ? maximum() - value() : value();
}

QString FunctionTrackBar::ShownText() const { return QString::number(ShownNumber()) + unit_; }

void FunctionTrackBar::ShowNumber(double number)
{
    const int shown = static_cast<int>(number + 0.5);
    setValue(invertedAppearance() ? maximum() - shown : shown);
}

// The slider announces its raw position; the number shown follows it.
void FunctionTrackBar::sliderChange(SliderChange change)
{
    QSlider::sliderChange(change);
    if (change == SliderValueChange) NotifyShownValueChanged(this);
}

bool FunctionTrackBar::event(QEvent* event)
{
    if (!IsUserInput(event->type())) return QSlider::event(event);

    actionSeen_ = false;
    changeSeen_ = false;
    const bool wasDown = isSliderDown();
    const bool handled = QSlider::event(event);
    const bool dragEnded = event->type() == QEvent::MouseButtonRelease && wasDown;
    // A scroll that moved the bar has already notified through valueChanged.
    if ((actionSeen_ || dragEnded) && !changeSeen_) emit changed();
    return handled;
}

}  // namespace zqb
