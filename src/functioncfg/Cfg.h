#pragma once

#include <QDialog>

#include "functioncfg/FunctionControls.h"
#include "functioncfg/FunctionTrackBar.h"
#include "link/LinkSupervisor.h"
#include "platform/Dialogs.h"
#include "protocol/CommandTransport.h"
#include "protocol/Outcome.h"
#include "protocol/SessionContext.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QToolButton;

namespace zqb {

inline const QString WriteDoneText = QStringLiteral("Function Config write done!");
inline const QString ReadDoneText = QStringLiteral("Function Config read done!");
inline const QString InformationCaption = QStringLiteral("Information");
inline const QString FunctionFailureCaption = QStringLiteral("Error");

// "DAC Function Config": edits the module's standalone function, writes it to and reads it from
// the module and keeps it in ".zcf" files. Created once at start and only hidden when closed, so
// its controls are the edited function for the whole run.
class TForm4 : public QDialog, public FunctionControls {
    Q_OBJECT
public:
    TForm4(SessionContext& context, CommandTransport& transport, LinkSupervisor& supervisor, Dialogs& dialogs,
           QWidget* parent = nullptr);

    // The main window's function icon: nothing while an exchange runs; otherwise the link poll
    // pauses and the window shows modally until it is closed.
    void OpenFunctionWindow();

    // Reply handling reaches these through the main window's display.
    void ApplyFunctionRecord();
    void UntickFunctionEnable();

    // Handlers; the controls run them, tests may call them directly. The four buttons do nothing
    // while an exchange runs: a box or file dialog opened then would hold its socket wait open.
    void TrackBar1Change();
    void TrackBar2Change();
    void TrackBar3Change();
    void TrackBar4Change();
    void TrackBar5Change();
    void TrackBar6Change();
    void TrackBar7Change();
    void TrackBar8Change();
    void TrackBar9Change();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void SpeedButton10Click();
    void FormClose();

    // FunctionControls: the record's and the file's view of the controls.
    bool Ticked(FunctionField field) const override;
    void SetTicked(FunctionField field, bool ticked) override;
    int Position(FunctionField field) const override;
    void SetPosition(FunctionField field, int position) override;

    QGroupBox* GroupBox5 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox6 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label2 = nullptr;
    FunctionTrackBar* TrackBar1 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    FunctionTrackBar* TrackBar2 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    QLabel* Image5 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label12 = nullptr;
    FunctionTrackBar* TrackBar7 = nullptr;
    FunctionTrackBar* TrackBar5 = nullptr;
    FunctionTrackBar* TrackBar8 = nullptr;
    FunctionTrackBar* TrackBar6 = nullptr;
    FunctionTrackBar* TrackBar9 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label5 = nullptr;
    FunctionTrackBar* TrackBar3 = nullptr;
    QCheckBox* CheckBox7 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label6 = nullptr;
    FunctionTrackBar* TrackBar4 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QToolButton* SpeedButton10 = nullptr;
    QToolButton* SpeedButton9 = nullptr;
    QToolButton* SpeedButton8 = nullptr;

protected:
    // Every way the window closes runs FormClose: the close box and Escape alike.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void LinkCaptions();
    void BuildKeyboard();
    void WireHandlers();
    void ShowDeviceOutcome(const Outcome& outcome, const QString& action, const QString& done);
    QCheckBox* CheckBoxOf(FunctionField field) const;
    FunctionTrackBar* TrackBarOf(FunctionField field) const;

    SessionContext& context_;
    CommandTransport& transport_;
    LinkSupervisor& supervisor_;
    Dialogs& dialogs_;
    std::uint8_t pollBeforeOpening_ = 1;
};

}  // namespace zqb
