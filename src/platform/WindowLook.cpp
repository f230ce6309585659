#include "WindowLook.h"

#include <QStringList>

namespace zqb {

QFont WindowFont(const QString& family, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(QStringList{family, QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace zqb
