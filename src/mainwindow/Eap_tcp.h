#pragma once

#include <functional>
#include <memory>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "mainwindow/AnalogOutputPanel.h"
#include "functioncfg/Cfg.h"
#include "counter/Counter.h"
#include "protocol/DeviceDisplay.h"
#include "mainwindow/DigitalIoPanel.h"
#include "mainwindow/LinkFreshness.h"
#include "platform/Dialogs.h"
#include "platform/ImageButton.h"
#include "link/LinkTimer.h"
#include "link/ModuleLink.h"
#include "mainwindow/PanelStatusBar.h"
#include "protocol/SessionContext.h"
#include "setup/Setup.h"

namespace zqb {

// TForm1, the main window: what module is linked and in what state, the digital I/O and analog
// output panels, the icons that open the other windows, and the two 100 ms timers that drive
// the link. It is the display through which replies reach the screen, and it creates the three
// dialog windows after itself, in their order: setup, counters, function.
class TForm1 : public QWidget, public DeviceDisplay {
    Q_OBJECT
public:
    TForm1(ModuleLink& link, QWidget* parent = nullptr);
    ~TForm1() override;

    LinkTimer& Timer3() { return *timer3_; }
    DigitalIoPanel& DigitalIo() { return *digitalIo_; }
    AnalogOutputPanel& Analog() { return *analog_; }
    TForm2& SetupWindow() { return *form2_; }
    TForm3& CounterWindow() { return *form3_; }
    TForm4& FunctionWindow() { return *form4_; }

    void FormCreate();
    void FormActivate();
    void RequestLocator();
    void Image1Click();
    void Image2Click();
    void Image3Click();
    void Image4Click();
    void Image5Click();
    void Timer1Timer();
    // The status display's word on the link: current, or not linked with stale values greyed.
    void ShowLinkState();
    // What an outcome of the module's says of the values shown.
    void TakeFreshness(Freshness freshness);

    // DeviceDisplay
    void SetPanelText(StatusPanel panel, const QString& text) override;
    // What a panel shows, for tests and screenshots; nothing in the program reads it.
    QString PanelText(StatusPanel panel) const;
    void SetPanelDetail(StatusPanel panel, const QString& detail) override;
    void SetModelText(const QString& text) override;
    void SetModelColour(Rgb colour) override;
    void SetLocationText(const QString& text) override;
    void SetLocationColour(Rgb colour) override;
    void SetRssiText(const QString& text) override;
    QString AddressText() const override;
    void SetAddressText(const QString& text) override;
    void SetRangeTicked(bool ticked) override;
    void ShowDigitalIo() override;
    void EnableModelControls(std::uint8_t modelCode) override;
    void ShowNoDevice() override;
    void ApplyFunctionRecord() override;
    void UntickFunctionEnable() override;
    void ShowCounters() override;
    void ShowChecksumVerdict(const Outcome& verdict) override;
    void AppendLog(const QString& line) override;

    QGroupBox* GroupBox3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label12;
    QLabel* Label6;
    QLineEdit* Edit2;
    QPushButton* SpeedButton5;
    ImageButton* Image1;
    ImageButton* Image3;
    ImageButton* Image2;
    QGroupBox* GroupBox1;
    ImageButton* Image4;
    QGroupBox* GroupBox2;
    ImageButton* Image5;
    QGroupBox* GroupBox4;
    PanelStatusBar* StatusBar3;
    PanelStatusBar* StatusBar2;
    PanelStatusBar* StatusBar1;
    QPlainTextEdit* Memo1;
    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildStatusBox();
    void BuildIconButtons();
    void BuildKeyboard();
    PanelStatusBar* BarOf(StatusPanel panel, int& index) const;
    static void SetLabelColour(QLabel* label, Rgb colour);
    static QColor ColourOf(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }

    ModuleLink& link_;
    SessionContext& context_;
    Dialogs& dialogs_;
    std::unique_ptr<LinkTimer> timer3_;
    std::unique_ptr<DigitalIoPanel> digitalIo_;
    std::unique_ptr<AnalogOutputPanel> analog_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm4> form4_;
    bool noModuleLook_ = true;
    // The module answered its last poll; a link record came since it last did not.
    bool answering_ = false;
    bool recordCurrent_ = false;
    // Label4 and Label5 as the module's replies and the link supervision set them, and Label12's
    // colour; ShowLinkState shows them, or says "Not linked", or greys them.
    QString modelText_;
    QColor modelColour_;
    QColor locationColour_;
    QColor rssiColour_;
    bool rssiValueShown_ = false;
};

inline const QString MainWindowCaption = QStringLiteral("zQB IO Console V1.10(20200213)");
// Label4 while no module is linked and nothing else is said there, or while the linked module
// does not answer: the console's own words, in a darker red than the module's state texts, so
// that they keep 4.5:1 on white.
inline const QString NotLinkedText = QStringLiteral("Not linked");
inline constexpr Rgb NotLinkedColour{192, 0, 0};

}  // namespace zqb
