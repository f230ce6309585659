#include "WindowLook.h"

#include <QStringList>

namespace zqb {

QFont WindowFont(const QString& family, int pixelSize, bool bold)
{
    QFont font;
    // Faces of about Tahoma's width come first, so that captions fit the fixed layout.
    font.setFamilies(QStringList{family, QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                                 QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace zqb
