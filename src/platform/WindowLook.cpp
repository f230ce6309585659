#include "WindowLook.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace zqb {

namespace {

// Where Debian's Tahoma-metric faces live (package fonts-wine); they are not in the font
// configuration's own folders, so the console registers them itself.
const QStringList TahomaFiles = {
    QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
    QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"),
};

}  // namespace

bool RegisterWindowFonts()
{
    static const bool registered = [] {
        bool any = false;
        for (const QString& file : TahomaFiles)
            if (QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0) any = true;
        return any;
    }();
    return registered;
}

QFont WindowFont(const QString& family, int pixelSize, bool bold)
{
    QFont font;
    // Without the layout's own face, a narrow one of about its width, so that captions fit.
    font.setFamilies(QStringList{family, QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                                 QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace zqb
