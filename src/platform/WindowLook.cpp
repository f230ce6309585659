#include "platform/WindowLook.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QStringList>
#include <QToolTip>

#include "platform/WindowAccessibility.h"

namespace zqb {

namespace {

// Where Debian's Tahoma-metric face lives (package fonts-wine); it is not in the font
// configuration's own folders, so the console registers it itself. Its bold sibling is left out
// on purpose: see WindowFont.
const QString TahomaFile = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
const QString BoldTahomaStandIn = QStringLiteral("DejaVu Sans Condensed");

// The check boxes and radio buttons of the layout leave the room of 13-pixel indicators with a
// 3-pixel gap before their captions, as drawn; the platform's wider ones would cut the captions.
class WindowStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return 13;
        case PM_CheckBoxLabelSpacing:
        case PM_RadioButtonLabelSpacing:
            return 3;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    // Group boxes as the layout draws them: a thin etched line around, no shading inside, so the
    // texts in a group stand on the window's own colour (nested groups would otherwise darken it
    // step by step).
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_FrameGroupBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(option->palette.color(QPalette::Mid));
        painter->drawRect(option->rect.adjusted(0, 0, -2, -2));
        painter->setPen(option->palette.color(QPalette::Light));
        painter->drawRect(option->rect.adjusted(1, 1, -1, -1));
        painter->restore();
    }
};

}  // namespace

bool ApplyWindowLook()
{
    static const bool registered = QFile::exists(TahomaFile) && QFontDatabase::addApplicationFont(TahomaFile) >= 0;
    if (!dynamic_cast<WindowStyle*>(QApplication::style())) QApplication::setStyle(new WindowStyle(QStringLiteral("Fusion")));
    QToolTip::setPalette(WindowPalette(LookColour::ToolTip));
    InstallWindowAccessibility();
    return registered;
}

QPalette WindowPalette(const QColor& background)
{
    const auto colourOf = [&](QPalette::ColorRole role) -> QColor {
        switch (role) {
        case QPalette::Window: return background;
        case QPalette::Button: return LookColour::ButtonFace;
        case QPalette::Base:
        case QPalette::Light:
        case QPalette::BrightText:
        case QPalette::HighlightedText: return LookColour::White;
        case QPalette::Midlight: return QColor(227, 227, 227);
        case QPalette::Mid:
        case QPalette::Dark: return QColor(160, 160, 160);
        case QPalette::Shadow: return QColor(105, 105, 105);
        case QPalette::Highlight: return LookColour::Highlight;
        case QPalette::Link: return LookColour::Highlight;
        case QPalette::LinkVisited: return QColor(85, 26, 139);
        case QPalette::AlternateBase: return QColor(245, 245, 245);
        case QPalette::ToolTipBase: return LookColour::ToolTip;
        case QPalette::PlaceholderText: return LookColour::DisabledText;
        default: return LookColour::Text;  // WindowText, Text, ButtonText, ToolTipText
        }
    };
    QPalette palette;
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, r, colourOf(r));
    }
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, LookColour::DisabledText);
    return palette;
}

void PinWindowPalette(QWidget* window, const QColor& background)
{
    window->setPalette(WindowPalette(background));
    window->setAutoFillBackground(true);
}

void ShowFitted(QLabel* label, const QString& text, const QFont& designFont, int minimumPixelSize)
{
    const int room = label->contentsRect().width() - 2 * label->margin();
    QFont font = designFont;
    while (QFontMetrics(font).horizontalAdvance(text) > room && font.pixelSize() > minimumPixelSize)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
    label->setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, room));
    label->setToolTip(text);
    label->setAccessibleName(text);
}

QFont WindowFont(const QString& family, int pixelSize, bool bold)
{
    QFont font;
    // Without the layout's own face, a narrow one of about its width, so that captions fit.
    // Carlito has Calibri's metrics.
    QStringList families{family};
    if (bold && family == QStringLiteral("Tahoma")) families.prepend(BoldTahomaStandIn);
    font.setFamilies(families + QStringList{QStringLiteral("Carlito"), QStringLiteral("DejaVu Sans Condensed"),
                                 QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans"),
                                 QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace zqb
