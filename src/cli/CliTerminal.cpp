#include "cli/CliTerminal.h"

#include <QJsonDocument>

#include "protocol/PeopleText.h"

namespace zqb::cli {

void Output::Result(const QString& plain, const QJsonObject& object)
{
    if (json_) {
        terminal_.WriteOut(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
        return;
    }
    QByteArray bytes = Said(plain).toUtf8();
    if (!bytes.endsWith('\n')) bytes += '\n';
    terminal_.WriteOut(bytes);
}

void Output::Message(const QString& text) { terminal_.WriteErr(QByteArrayLiteral("zqb: ") + Said(text).toUtf8() + '\n'); }

void Output::Raw(const QString& text) { terminal_.WriteErr(Said(text).toUtf8()); }

}  // namespace zqb::cli
