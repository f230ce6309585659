#include "functioncfg/Cfg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include "functioncfg/ButtonPictures.h"
#include "functioncfg/FunctionCommands.h"
#include "functioncfg/FunctionFile.h"
#include "functioncfg/FunctionFileDialogs.h"
#include "functioncfg/FunctionModel.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWaveform.h"
#include "platform/KeyboardOrder.h"
#include "platform/WindowLook.h"

namespace zqb {

namespace {

constexpr int ClientWidth = 727;
constexpr int ClientHeight = 377;

const QColor Navy(0, 0, 128);
const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);
const QColor Blue(0, 162, 235);
const QColor Orange(255, 127, 39);
const QColor Green(34, 177, 76);

enum FontStyle { Plain = 0, Bold = 1, Italic = 2, Underlined = 4 };

QFont Tahoma(int pixels, int style = Plain)
{
    QFont font = TahomaFont(pixels, style & Bold);
    font.setItalic(style & Italic);
    font.setUnderline(style & Underlined);
    return font;
}

template <class Control>
Control* Place(Control* control, int left, int top, int width, int height, const QFont& font)
{
    control->setGeometry(left, top, width, height);
    control->setFont(font);
    return control;
}

QGroupBox* Group(QWidget* parent, const QString& title, int left, int top, int width, int height)
{
    QGroupBox* box = Place(new QGroupBox(title, parent), left, top, width, height, Tahoma(13, Bold));
    // Named by its own caption: an unnamed group would take the name of the group around it.
    box->setAccessibleName(title.trimmed());
    return box;
}

QCheckBox* Check(QWidget* parent, const QString& text, int left, int top, int width, int height, const QFont& font)
{
    return Place(new QCheckBox(text, parent), left, top, width, height, font);
}

QLabel* CaptionLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                     const QColor& colour)
{
    QLabel* label = Place(new QLabel(text, parent), left, top, width, height, Tahoma(11, Bold | Italic));
    SetTextColour(label, colour);
    return label;
}

QLabel* ValueLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                   const QColor& colour, bool centred = false)
{
    QLabel* label = Place(new QLabel(text, parent), left, top, width, height, Tahoma(11, Bold | Italic | Underlined));
    SetTextColour(label, colour);
    if (centred) label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

const QString Seconds = QStringLiteral(" Sec");
const QString Percent = QStringLiteral("%");

FunctionTrackBar* Bar(QWidget* parent, const QString& name, Qt::Orientation orientation, int maximum, int position,
                      int tickInterval, int left, int top, int width, int height, const QString& unit = Seconds)
{
    auto* bar = new FunctionTrackBar(orientation, maximum, position, tickInterval, parent);
    bar->setGeometry(left, top, width, height);
    bar->setAccessibleName(name);
    bar->SetUnit(unit);
    return bar;
}

QToolButton* Button(QWidget* parent, const QString& text, const QIcon& picture, int left, int top)
{
    auto* button = Place(new QToolButton(parent), left, top, 100, 31, Tahoma(11));
    button->setText(text);
    button->setIcon(picture);
    button->setIconSize(QSize(20, 20));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    return button;
}

QString SecondsText(int seconds) { return QString::number(seconds) + QStringLiteral(" Sec"); }
QString PercentText(int percent) { return QString::number(percent) + QStringLiteral("%"); }

}  // namespace

TForm4::TForm4(SessionContext& context, CommandTransport& transport, LinkSupervisor& supervisor, Dialogs& dialogs,
               QWidget* parent)
    : QDialog(parent), context_(context), transport_(transport), supervisor_(supervisor), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("DAC Function Config"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(Tahoma(11));
    PinWindowPalette(this, LookColour::ButtonFace);
    BuildControls();
    LinkCaptions();
    BuildKeyboard();
    WireHandlers();
}

// Each value is announced with its caption.
void TForm4::LinkCaptions()
{
    Label11->setBuddy(Label2);
    Label13->setBuddy(Label4);
    Label3->setBuddy(Label4);
    Label15->setBuddy(Label9);
    Label16->setBuddy(Label7);
    Label18->setBuddy(Label10);
    Label17->setBuddy(Label8);
    Label19->setBuddy(Label12);
    Label20->setBuddy(Label5);
    Label1->setBuddy(Label6);
}

// Tab down the left column, then along the waveform's bars, then the four buttons row by row;
// the trigger type is entered on the edge chosen. Keys for the buttons that change nothing on
// the module; writing it has none, so no stray key sends a function.
void TForm4::BuildKeyboard()
{
    SetTabChain({CheckBox3, RadioButton2, RadioButton1, CheckBox4, CheckBox6, TrackBar1, TrackBar2, CheckBox5, TrackBar3,
                 CheckBox7, TrackBar4, TrackBar7, TrackBar5, TrackBar8, TrackBar6, TrackBar9, SpeedButton7, SpeedButton10,
                 SpeedButton9, SpeedButton8});
    TabToCheckedRadio({RadioButton2, RadioButton1});
    SpeedButton7->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    SpeedButton9->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SpeedButton10->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
}

void TForm4::BuildControls()
{
    // Reaches below the window so that its lower border is not seen.
    GroupBox5 = Group(this, QStringLiteral("Standalone Function "), 0, 8, 725, 449);
    CheckBox3 = Check(GroupBox5, QStringLiteral("Function Mode Enable"), 12, 22, 165, 17, Tahoma(12, Bold));
    SetTextColour(CheckBox3, Navy);

    GroupBox4 = Group(GroupBox5, QStringLiteral("DI Trigger Type"), 3, 45, 353, 59);
    RadioButton2 = Place(new QRadioButton(QStringLiteral("Falling edge (Close)"), GroupBox4), 11, 26, 164, 17,
                         Tahoma(13, Bold));
    RadioButton1 = Place(new QRadioButton(QStringLiteral("Rising edge (Open)"), GroupBox4), 181, 26, 160, 17,
                         Tahoma(13, Bold));
    RadioButton2->setChecked(true);

    GroupBox6 = Group(GroupBox5, QStringLiteral("DO Output Select"), 3, 103, 353, 175);
    CheckBox4 = Check(GroupBox6, QStringLiteral("DI0 Trig DO Enable"), 17, 21, 157, 17, Tahoma(12, Bold));
    CheckBox6 = Check(GroupBox6, QStringLiteral("DI1 Trig DO Enable"), 180, 21, 157, 17, Tahoma(12, Bold));
    Label11 = CaptionLabel(GroupBox6, QStringLiteral("Delay to ON"), 49, 56, 72, 13, Navy);
    Label2 = ValueLabel(GroupBox6, QStringLiteral("0 Sec"), 67, 72, 40, 16, Red);
    TrackBar1 = Bar(GroupBox6, QStringLiteral("DO delay to on"), Qt::Vertical, 10, 10, 1, 68, 87, 26, 85);
    Label13 = CaptionLabel(GroupBox6, QStringLiteral("Time to Hold"), 209, 44, 81, 13, Navy);
    Label3 = CaptionLabel(GroupBox6, QStringLiteral("After DI release"), 200, 56, 97, 13, Navy);
    Label4 = ValueLabel(GroupBox6, QStringLiteral("0 Sec"), 225, 72, 40, 13, Red);
    TrackBar2 = Bar(GroupBox6, QStringLiteral("DO time to hold after DI release"), Qt::Vertical, 10, 10, 1, 228, 87, 26, 85);

    GroupBox7 = Group(GroupBox5, QStringLiteral("DAC Output Waveform"), 362, 45, 364, 233);
    Image5 = new QLabel(GroupBox7);
    Image5->setGeometry(15, 26, 330, 78);
    Image5->setScaledContents(true);
    Image5->setPixmap(QPixmap::fromImage(DrawFunctionWaveform()));
    Label15 = CaptionLabel(GroupBox7, QStringLiteral("Off Value"), 12, 114, 57, 13, Black);
    Label16 = CaptionLabel(GroupBox7, QStringLiteral("On Value"), 86, 114, 53, 13, Red);
    Label18 = CaptionLabel(GroupBox7, QStringLiteral("Ton Sec"), 159, 114, 49, 13, Blue);
    Label17 = CaptionLabel(GroupBox7, QStringLiteral("Thold Sec"), 226, 114, 69, 13, Orange);
    Label19 = CaptionLabel(GroupBox7, QStringLiteral("Toff Sec"), 301, 114, 60, 13, Green);
    Label9 = ValueLabel(GroupBox7, QStringLiteral("0%"), 22, 127, 35, 19, Black, true);
    Label7 = ValueLabel(GroupBox7, QStringLiteral("0%"), 94, 127, 35, 13, Red, true);
    Label10 = ValueLabel(GroupBox7, QStringLiteral("0 Sec"), 166, 127, 35, 13, Blue, true);
    Label8 = ValueLabel(GroupBox7, QStringLiteral("0 Sec"), 234, 127, 40, 13, Orange, true);
    Label12 = ValueLabel(GroupBox7, QStringLiteral("0 Sec"), 309, 127, 35, 13, Green, true);
    TrackBar7 = Bar(GroupBox7, QStringLiteral("DAC off value"), Qt::Vertical, 100, 100, 10, 25, 144, 26, 86, Percent);
    TrackBar5 = Bar(GroupBox7, QStringLiteral("DAC on value"), Qt::Vertical, 100, 100, 10, 97, 144, 26, 86, Percent);
    TrackBar8 = Bar(GroupBox7, QStringLiteral("DAC ton"), Qt::Vertical, 10, 10, 1, 168, 144, 26, 86);
    TrackBar6 = Bar(GroupBox7, QStringLiteral("DAC thold"), Qt::Vertical, 10, 10, 1, 240, 144, 26, 86);
    TrackBar9 = Bar(GroupBox7, QStringLiteral("DAC toff"), Qt::Vertical, 10, 10, 1, 313, 144, 26, 86);

    GroupBox1 = Group(GroupBox5, QStringLiteral("DAC Output Select"), 3, 277, 353, 81);
    CheckBox5 = Check(GroupBox1, QStringLiteral("DI0 Trig DAC Enable"), 3, 22, 149, 17, Tahoma(13, Bold));
    Label20 = CaptionLabel(GroupBox1, QStringLiteral("Delay ON:"), 158, 23, 63, 13, Navy);
    Label5 = ValueLabel(GroupBox1, QStringLiteral("0 Sec"), 227, 23, 40, 13, Red);
    TrackBar3 = Bar(GroupBox1, QStringLiteral("DI0 DAC delay on"), Qt::Horizontal, 15, 0, 1, 273, 17, 71, 26);
    CheckBox7 = Check(GroupBox1, QStringLiteral("DI1 Trig DAC Enable"), 3, 49, 149, 17, Tahoma(13, Bold));
    Label1 = CaptionLabel(GroupBox1, QStringLiteral("Delay ON:"), 158, 50, 63, 13, Navy);
    Label6 = ValueLabel(GroupBox1, QStringLiteral("0 Sec"), 227, 49, 40, 13, Red);
    TrackBar4 = Bar(GroupBox1, QStringLiteral("DI1 DAC delay on"), Qt::Horizontal, 15, 0, 1, 273, 42, 71, 26);

    SpeedButton7 = Button(GroupBox5, QStringLiteral("Load File"), LoadFilePicture(), 397, 289);
    SpeedButton10 = Button(GroupBox5, QStringLiteral("Read Device"), ReadDevicePicture(), 599, 289);
    SpeedButton9 = Button(GroupBox5, QStringLiteral("Save FIle"), SaveFilePicture(), 397, 326);
    SpeedButton8 = Button(GroupBox5, QStringLiteral("Write Device"), WriteDevicePicture(), 599, 326);
}

void TForm4::WireHandlers()
{
    connect(TrackBar1, &FunctionTrackBar::changed, this, &TForm4::TrackBar1Change);
    connect(TrackBar2, &FunctionTrackBar::changed, this, &TForm4::TrackBar2Change);
    connect(TrackBar3, &FunctionTrackBar::changed, this, &TForm4::TrackBar3Change);
    connect(TrackBar4, &FunctionTrackBar::changed, this, &TForm4::TrackBar4Change);
    connect(TrackBar5, &FunctionTrackBar::changed, this, &TForm4::TrackBar5Change);
    connect(TrackBar6, &FunctionTrackBar::changed, this, &TForm4::TrackBar6Change);
    connect(TrackBar7, &FunctionTrackBar::changed, this, &TForm4::TrackBar7Change);
    connect(TrackBar8, &FunctionTrackBar::changed, this, &TForm4::TrackBar8Change);
    connect(TrackBar9, &FunctionTrackBar::changed, this, &TForm4::TrackBar9Change);
    connect(SpeedButton7, &QToolButton::clicked, this, &TForm4::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm4::SpeedButton8Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TForm4::SpeedButton9Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TForm4::SpeedButton10Click);
}

void TForm4::OpenFunctionWindow()
{
    if (context_.ExchangeBusy) return;
    pollBeforeOpening_ = context_.session.LinkPollEnabled;
    context_.session.LinkPollEnabled = 0;
    if (const QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());
    exec();
}

void TForm4::ApplyFunctionRecord() { zqb::ApplyFunctionRecord(*this, context_.session.functionRecord); }

void TForm4::UntickFunctionEnable() { CheckBox3->setChecked(false); }

void TForm4::TrackBar1Change() { Label2->setText(SecondsText(SecondsBarTop - TrackBar1->value())); }
void TForm4::TrackBar2Change() { Label4->setText(SecondsText(SecondsBarTop - TrackBar2->value())); }
void TForm4::TrackBar3Change() { Label5->setText(SecondsText(TrackBar3->value())); }
void TForm4::TrackBar4Change() { Label6->setText(SecondsText(TrackBar4->value())); }
void TForm4::TrackBar6Change() { Label8->setText(SecondsText(SecondsBarTop - TrackBar6->value())); }
void TForm4::TrackBar8Change() { Label10->setText(SecondsText(SecondsBarTop - TrackBar8->value())); }
void TForm4::TrackBar9Change() { Label12->setText(SecondsText(SecondsBarTop - TrackBar9->value())); }

// On bar. Setting a bar inside runs its handler at once when it moves, so the label is written
// last, from the position the nested handlers left.
void TForm4::TrackBar5Change()
{
    ApplySpacingRule(*this, FunctionField::dacOnCode);
    Label7->setText(PercentText(PercentBarTop - TrackBar5->value()));
}

// Off bar, the mirror of the On bar.
void TForm4::TrackBar7Change()
{
    ApplySpacingRule(*this, FunctionField::dacOffCode);
    Label9->setText(PercentText(PercentBarTop - TrackBar7->value()));
}

void TForm4::SpeedButton7Click()
{
    if (context_.ExchangeBusy) return;
    LoadFunctionFile(*this, dialogs_);
}

// The "done!" box confirms only what the module acknowledged; any other outcome gets its own box
// here, where the button was pressed, not only in the main window's status bar behind it.
void TForm4::ShowDeviceOutcome(const Outcome& outcome, const QString& action, const QString& done)
{
    if (outcome.Ok()) {
        dialogs_.ShowMessage(done, InformationCaption, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    if (outcome.kind == OutcomeKind::InputError) {
        ShowFunctionProblem(dialogs_, outcome, false);
        return;
    }
    dialogs_.ShowMessage(action + QStringLiteral(" failed,\n    . ") + FailureReason(outcome) + QLatin1Char('.'),
                         FunctionFailureCaption, MessageIcon::Error, MessageButtons::Ok);
}

void TForm4::SpeedButton8Click()
{
    if (context_.ExchangeBusy) return;
    ShowDeviceOutcome(WriteFunctionConfig(transport_, *this), QStringLiteral("Function Config write"), WriteDoneText);
}

void TForm4::SpeedButton9Click()
{
    if (context_.ExchangeBusy) return;
    SaveFunctionFile(*this, dialogs_);
}

void TForm4::SpeedButton10Click()
{
    if (context_.ExchangeBusy) return;
    ShowDeviceOutcome(ReadFunctionConfig(transport_), QStringLiteral("Function Config read"), ReadDoneText);
}

// The GetLink queued on closing brings the module's own function back into the window.
void TForm4::FormClose() { supervisor_.DialogClosed(pollBeforeOpening_); }

void TForm4::done(int result)
{
    FormClose();
    QDialog::done(result);
}

// Every opening starts on the first control, never on the one used last.
void TForm4::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CheckBox3->setFocus(Qt::OtherFocusReason);
}

QCheckBox* TForm4::CheckBoxOf(FunctionField field) const
{
    switch (field) {
    case FunctionField::functionEnable: return CheckBox3;
    case FunctionField::di0TrigDo: return CheckBox4;
    case FunctionField::di1TrigDo: return CheckBox6;
    case FunctionField::di0TrigDac: return CheckBox5;
    case FunctionField::di1TrigDac: return CheckBox7;
    default: return nullptr;
    }
}

FunctionTrackBar* TForm4::TrackBarOf(FunctionField field) const
{
    switch (field) {
    case FunctionField::doDelayOn: return TrackBar1;
    case FunctionField::doHoldAfterRelease: return TrackBar2;
    case FunctionField::dacOffCode: return TrackBar7;
    case FunctionField::dacOnCode: return TrackBar5;
    case FunctionField::di0DacDelayOn: return TrackBar3;
    case FunctionField::tOn: return TrackBar8;
    case FunctionField::tHold: return TrackBar6;
    case FunctionField::tOff: return TrackBar9;
    case FunctionField::di1DacDelayOn: return TrackBar4;
    default: return nullptr;
    }
}

bool TForm4::Ticked(FunctionField field) const
{
    if (field == FunctionField::triggerEdge) return !RadioButton2->isChecked();
    const QCheckBox* box = CheckBoxOf(field);
    return box && box->isChecked();
}

void TForm4::SetTicked(FunctionField field, bool ticked)
{
    if (field == FunctionField::triggerEdge) {
        (ticked ? RadioButton1 : RadioButton2)->setChecked(true);
        return;
    }
    if (QCheckBox* box = CheckBoxOf(field)) box->setChecked(ticked);
}

int TForm4::Position(FunctionField field) const
{
    const FunctionTrackBar* bar = TrackBarOf(field);
    return bar ? bar->value() : 0;
}

void TForm4::SetPosition(FunctionField field, int position)
{
    if (FunctionTrackBar* bar = TrackBarOf(field)) bar->setValue(position);
}

}  // namespace zqb
