#pragma once

#include <memory>
#include <vector>

#include <QAction>

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "setup/Gauge.h"
#include "platform/ImageButton.h"
#include "link/LinkSupervisor.h"
#include "platform/Dialogs.h"
#include "platform/Pauses.h"
#include "protocol/DisplayRelay.h"
#include "protocol/SessionContext.h"
#include "setup/DeviceSettings.h"
#include "setup/SettingActions.h"
#include "transfer/FirmwareUpload.h"
#include "transfer/ProgressRelay.h"

namespace zqb {

// What the setup window uses of the module link: the parts its setting actions work with, the link
// supervision that the closing window hands the poll back to, and the progress its gauge shows.
struct SetupLinkParts {
    SessionContext& context;
    DeviceSettings& settings;
    FirmwareUpload& firmware;
    Dialogs& dialogs;
    Pauses& pauses;
    DisplayRelay& display;
    LinkSupervisor& supervisor;
    ProgressRelay& progress;
};

// TForm2, "zQB.Setup": the module's own settings. Opened modally from the main window while
// the link poll rests; closing asks the module for a fresh link record. The actions themselves
// live in SettingActions; the window gathers their inputs and shows the settings last reported.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(const SetupLinkParts& link, QWidget* parent = nullptr);
    // The gauge stops showing the link's transfers.
    ~TForm2() override;

    // Opening from the main window's Image1: refused while an exchange runs.
    void OpenSetup();
    void FormCreate();
    // The settings the module reported last; run when the window opens, not on every activation
    // (a message box of its own would put them back into the inputs).
    void ShowSessionSettings();
    void SetStaticIpControls(bool on);
    void FormClose();

    void CheckBox1Click();
    ActionOutcome Image1Click();        // "Update F/W"
    ActionOutcome Image2Click();        // AP settings
    ActionOutcome Image3Click();        // station settings
    ActionOutcome Image4Click();        // Wi-Fi mode
    ActionOutcome Image5Click();        // web login key
    ActionOutcome Image6Click();        // location
    ActionOutcome Image7Click();        // reset to default
    ActionOutcome Image8Click();        // reboot
    ActionOutcome Image9Click();        // Modbus
    ActionOutcome Image10Click();       // static address

    SettingActions& Actions() { return *actions_; }

    QGroupBox* GroupBoxAp;
    QLineEdit* Edit1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QLineEdit* Edit2;
    ImageButton* Image2;
    QGroupBox* GroupBoxWeb;
    QLineEdit* Edit6;
    ImageButton* Image5;
    QGroupBox* GroupBoxModbus;
    QLineEdit* Edit7;
    QLineEdit* Edit11;
    ImageButton* Image9;
    QGroupBox* GroupBoxLocation;
    QLineEdit* Edit5;
    ImageButton* Image6;
    QGroupBox* GroupBoxStation;
    QLineEdit* Edit3;
    QRadioButton* RadioButton3;
    QRadioButton* RadioButton4;
    QRadioButton* RadioButton5;
    QLineEdit* Edit4;
    ImageButton* Image3;
    QCheckBox* CheckBox1;
    QFrame* StaticIpPanel;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLineEdit* Edit8;
    QLineEdit* Edit9;
    QLineEdit* Edit10;
    ImageButton* Image10;
    QGroupBox* GroupBoxWifiMode;
    QRadioButton* RadioButton6;
    QRadioButton* RadioButton7;
    ImageButton* Image4;
    ImageButton* Image7;
    ImageButton* Image1;
    ImageButton* Image8;
    Gauge* CGauge1;

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildWireless();
    void BuildServices();
    void BuildCommands();
    void BuildKeyboard();

    SetupLinkParts link_;
    SessionContext& context_;
    std::unique_ptr<SettingActions> actions_;
    std::uint8_t pollBeforeOpening_ = 1;
    std::vector<QAction*> keyToggles_;  // the "show key" toggles of Edit2, Edit4, Edit6
};

inline const QString SetupCaption = QStringLiteral("zQB.Setup");

}  // namespace zqb
