#include "platform/WindowLook.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QProxyStyle>
#include <QStringList>

namespace zqb {

namespace {

// Where Debian's Tahoma-metric faces live (package fonts-wine); they are not in the font
// configuration's own folders, so the console registers them itself.
const QStringList TahomaFiles = {
    QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
    QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"),
};

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
};

}  // namespace

bool ApplyWindowLook()
{
    static const bool registered = [] {
        bool any = false;
        for (const QString& file : TahomaFiles)
            if (QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0) any = true;
        return any;
    }();
    if (!dynamic_cast<WindowStyle*>(QApplication::style())) QApplication::setStyle(new WindowStyle(QStringLiteral("Fusion")));
    return registered;
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
    font.setFamilies(QStringList{family, QStringLiteral("Carlito"), QStringLiteral("DejaVu Sans Condensed"),
                                 QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans"),
                                 QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace zqb
