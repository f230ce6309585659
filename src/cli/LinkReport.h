#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace zqb::cli {

// What a module says about itself in its link record, read through the link record table:
// enough to tell modules apart in a scan and to head the status.
struct LinkReport {
    std::uint8_t model = 0;
    QString reportedAddress;
    QString mac;             // "00:1E:C0:12:34:56"
    QString firmware;        // "V01.10", as the window's status bar shows it
    QByteArray location;     // the module's bytes
    std::optional<int> signalDbm;
    bool accessPoint = false;
    bool fourToTwenty = false;

    QString ModelName() const;
};

// The reply must carry the magic, echo GetLink, be acknowledged and reach the current range
// field; otherwise nothing, and `problem` says what is wrong with it.
std::optional<LinkReport> ReadLinkReport(const std::uint8_t* reply, std::size_t length, QString& problem);

// What tells a module apart (model, firmware, MAC, location), plain and as JSON.
QString IdentityLine(const LinkReport& report);
QJsonObject IdentityJson(const LinkReport& report);

// The DAC code as the window's analog panel shows it: "2047 (4.999V, 9.998mA, 50%)".
QString DacText(std::int32_t code);
QJsonObject DacJson(std::int32_t code);

}  // namespace zqb::cli
