#pragma once

#include <cstdint>

#include <QString>

#include "protocol/Outcome.h"

namespace zqb {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb ColourRed{255, 0, 0};
inline constexpr Rgb ColourNavy{0, 0, 128};
inline constexpr Rgb ColourBlack{0, 0, 0};
inline constexpr Rgb ColourLocation{64, 132, 118};
inline constexpr Rgb ColourRssiIdle{255, 64, 129};

// The four status-bar panels of the main window.
enum class StatusPanel {
    LinkState,   // StatusBar1, panel 0: "Get Device Linked!!", "Dev MAC: ..."
    HostAddress, // StatusBar1, panel 1: "IP: ..."
    Message,     // StatusBar2, panel 0: the outcome of the last command or event
    Firmware,    // StatusBar2, panel 1: "FW: V.."
};

// What reply handling and link supervision may do to the windows. The main window implements
// it; tests give it a recording fake. Nothing below the windows includes a widget header, and
// nothing reads a text back from the display: what happened travels as typed outcomes.
class DeviceDisplay {
public:
    virtual ~DeviceDisplay() = default;

    // Setting a panel's text also makes it the panel's tool tip, so a text cut by the panel's
    // width can still be read in full.
    virtual void SetPanelText(StatusPanel panel, const QString& text) = 0;
    // A longer explanation of the panel's text, shown as its tool tip until the text changes.
    virtual void SetPanelDetail(StatusPanel panel, const QString& detail) = 0;

    // Label4: model or state text.
    virtual void SetModelText(const QString& text) = 0;
    virtual void SetModelColour(Rgb colour) = 0;
    // Label5: location text.
    virtual void SetLocationText(const QString& text) = 0;
    virtual void SetLocationColour(Rgb colour) = 0;
    // Label12: signal strength caption.
    virtual void SetRssiText(const QString& text) = 0;
    // Edit2: the module address box.
    virtual QString AddressText() const = 0;
    virtual void SetAddressText(const QString& text) = 0;

    // CheckBox2 "4~20mA"; a change of its tick runs its click handler, as a user click does.
    virtual void SetRangeTicked(bool ticked) = 0;

    virtual void ShowDigitalIo() = 0;
    virtual void EnableModelControls(std::uint8_t modelCode) = 0;
    virtual void ShowNoDevice() = 0;

    // Function window: apply the session's FunctionRecord; untick "Function Mode Enable".
    virtual void ApplyFunctionRecord() = 0;
    virtual void UntickFunctionEnable() = 0;

    // Counter window: show diCount0 and diCount1.
    virtual void ShowCounters() = 0;

    // Firmware image check: the message box of the verdict (its text is already in the status
    // bar): the sums equal (delivered), differ, or no verdict came.
    virtual void ShowChecksumVerdict(const Outcome& verdict) = 0;

    // Memo1, the hidden diagnostic log.
    virtual void AppendLog(const QString& line) = 0;
};

// An outcome short enough for the 200-pixel message panel, with its full reason in the panel's
// tool tip and in the diagnostic log.
inline void ReportOutcome(DeviceDisplay& display, const QString& text, const QString& reason)
{
    display.SetPanelText(StatusPanel::Message, text);
    if (reason.isEmpty()) return;
    display.SetPanelDetail(StatusPanel::Message, text + QStringLiteral(": ") + reason);
    display.AppendLog(text + QStringLiteral(": ") + reason);
}

}  // namespace zqb
