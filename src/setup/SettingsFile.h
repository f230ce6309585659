#pragma once

#include <QByteArray>
#include <QString>

#include "protocol/DeviceSession.h"
#include "protocol/Outcome.h"

namespace zqb {

inline const QByteArray SettingsFileName = "/local/syscfg.cfg";

inline const QString SettingsNotReadText =
    QStringLiteral("the module's settings have not been read since it started or was reset; link it again first");

// Whether 256 bytes can be a settings record at all, by the record's own rules: every text
// within its area, each key empty or 8 to 15 bytes, the station key type open, WEP or WPA/WPA2,
// the Wi-Fi mode access point or station, the fixed-address flag and the markers 0 or 1. An
// erased record (0xFF throughout) or a file of another kind fails. Delivered when it can; an
// input error naming the first field at fault otherwise.
Outcome CheckSettingsRecord(const DeviceConfigRecord& record);

// The stored key of the access point or the station, when the record's length byte is one the
// module can hold (0 for none, or 8 to 15); nothing for any other length, such as the 255 of
// erased flash.
std::optional<QByteArray> StoredKey(const DeviceConfigRecord& record, bool station);

}  // namespace zqb
