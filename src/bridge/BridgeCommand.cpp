#include "bridge/BridgeCommand.h"

namespace zqb::bridge {

const QStringList& CommandNames()
{
    static const QStringList names = {QStringLiteral("do/set"), QStringLiteral("ao/set"), QStringLiteral("range/set"),
                                      QStringLiteral("counters/clear"), QStringLiteral("locate/set")};
    return names;
}

std::variant<BridgeCommand, Outcome> ParseCommand(const QString& name, const QByteArray& payload)
{
    using Kind = BridgeCommand::Kind;
    BridgeCommand c;
    c.name = name;
    if (name == QLatin1String("locate/set")) {
        // Any payload presses the button; it is never read.
        c.kind = Kind::Locate;
        return c;
    }
    if (payload.size() > MaxPayloadBytes) return Outcome::BadInput(name, QStringLiteral("the payload is longer than %1 bytes").arg(MaxPayloadBytes));
    const QString text = QString::fromUtf8(payload).trimmed();
    if (name == QLatin1String("do/set")) {
        c.kind = Kind::SetDo;
        if (text.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0) c.on = true;
        else if (text.compare(QLatin1String("OFF"), Qt::CaseInsensitive) != 0)
            return Outcome::BadInput(name, QStringLiteral("say ON or OFF"));
        return c;
    }
    if (name == QLatin1String("ao/set")) {
        c.kind = Kind::SetAnalog;
        const std::optional<cli::AnalogRequest> request = cli::ParseAnalog(text);
        if (!request)
            return Outcome::BadInput(name, QStringLiteral("neither a DAC code (0-4095) nor volts (5V, 2.5V) nor milliamperes (12mA)"));
        c.analog = *request;
        return c;
    }
    if (name == QLatin1String("range/set")) {
        c.kind = Kind::SetRange;
        if (text == QLatin1String("4-20")) c.fourToTwenty = true;
        else if (text != QLatin1String("0-20")) return Outcome::BadInput(name, QStringLiteral("say 0-20 or 4-20"));
        return c;
    }
    if (name == QLatin1String("counters/clear")) {
        c.kind = Kind::ClearCounter;
        if (text == QLatin1String("1")) c.input = 1;
        else if (text != QLatin1String("0")) return Outcome::BadInput(name, QStringLiteral("say 0 or 1, the input whose counter to clear"));
        return c;
    }
    return Outcome::BadInput(name, QStringLiteral("no such command"));
}

}  // namespace zqb::bridge
