#pragma once

#include <array>
#include <cstdint>

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "platform/ImageButton.h"
#include "protocol/CommandTransport.h"
#include "protocol/SessionContext.h"

namespace zqb {

// TForm3, "Digital Input Counter ": a row per input with its counter and a "Clear" button.
// Counters are read through the link timer's queue; a clear goes out at once.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(SessionContext& context, CommandTransport& transport, QWidget* parent = nullptr);

    // The main window's Image4: ask for the counters, pause the poll, show modally. Refused while
    // an exchange runs, so the window's modal loop never holds a socket wait open.
    void Image4Click();
    void RequestDiCounters();
    void ClearDiCounterAt(std::uint8_t input);
    // The counter reply's effect on the window.
    void ShowCounters();

    void FormActivate();
    void FormClose();
    void Image2Click();
    void ClearClick(std::uint8_t input);

    static constexpr int RowCount = 8;
    std::array<QLabel*, RowCount> captionLabels{};  // Label1, Label3, ... Label15
    std::array<QLabel*, RowCount> valueLabels{};    // Label2, Label4, ... Label16
    std::array<QPushButton*, RowCount> clearButtons{};  // SpeedButton1 ... SpeedButton8
    ImageButton* Image2;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void DisableRows(int first, int last);

    SessionContext& context_;
    CommandTransport& transport_;
};

}  // namespace zqb
