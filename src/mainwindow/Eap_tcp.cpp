#include "mainwindow/Eap_tcp.h"

#include <QFontMetrics>
#include <QPointer>
#include <QScreen>
#include <QShortcut>

#include "mainwindow/AboutBox.h"
#include "platform/KeyboardOrder.h"
#include "platform/WindowAccessibility.h"
#include "link/AfterExchange.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "protocol/ReplyHandler.h"
#include "platform/Icons.h"
#include "platform/WindowLook.h"

namespace zqb {

namespace {

const QColor Purple(128, 0, 128);

// Label4 and Label5: Calibri 14 point.
QFont LocationFont() { return WindowFont(QStringLiteral("Calibri"), 19, true); }

QGroupBox* MakeGroupBox(const QString& title, const QRect& geometry, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setGeometry(geometry);
    return box;
}

}  // namespace

TForm1::TForm1(ModuleLink& link, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      link_(link),
      context_(link.Context()),
      dialogs_(link.GetDialogs())
{
    link_.ShowOn(*this);
    // Outcomes come from the link, which outlives this window.
    const QPointer<TForm1> self(this);
    context_.outcomes.Watch([self, &session = context_.session](const LoggedOutcome& logged) {
        if (self) self->TakeFreshness(FreshnessAfter(logged.outcome, session.linked == 1));
    });

    setWindowTitle(MainWindowCaption);
    setFixedSize(420, 551);
    setFont(TahomaFont(11));
    PinWindowPalette(this, LookColour::White);
    SetAccessibleRole(this, QAccessible::Window);

    BuildStatusBox();
    GroupBox1 = MakeGroupBox(QString(), QRect(1, 134, 417, 65), this);
    digitalIo_ = std::make_unique<DigitalIoPanel>(context_, *this, GroupBox1,
                                                  [this](std::int32_t code) { analog_->ShowDacValue(code); });
    GroupBox2 = MakeGroupBox(QString(), QRect(1, 197, 417, 251), this);
    GroupBox4 = MakeGroupBox(QString(), QRect(1, 446, 417, 49), this);
    analog_ = std::make_unique<AnalogOutputPanel>(context_, link_.Transport(), *this, GroupBox2, GroupBox4);
    BuildIconButtons();

    StatusBar3 = new PanelStatusBar(0, 200, this);
    StatusBar3->setGeometry(0, 494, 420, 19);
    StatusBar2 = new PanelStatusBar(2, 200, this);
    StatusBar2->setGeometry(0, 513, 420, 19);
    StatusBar1 = new PanelStatusBar(2, 200, this);
    StatusBar1->setGeometry(0, 532, 420, 19);
    StatusBar3->setAccessibleName(QStringLiteral("Spare status bar"));
    StatusBar2->setAccessibleName(QStringLiteral("Messages and firmware"));
    StatusBar1->setAccessibleName(QStringLiteral("Link and address"));

    // The diagnostic log: kept, never shown, bounded so a long run cannot grow it without end.
    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(3, 443, 417, 120);
    Memo1->setReadOnly(true);
    Memo1->setMaximumBlockCount(5000);
    Memo1->hide();

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    timer3_ = std::make_unique<LinkTimer>([this] { link_.Supervisor().LinkTimerTick(); }, this);

    BuildKeyboard();

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    FormCreate();

    form2_ = std::make_unique<TForm2>(SetupLinkParts{.context = context_,
                                                     .settings = link_.Settings(),
                                                     .firmware = link_.Firmware(),
                                                     .dialogs = dialogs_,
                                                     .pauses = link_.GetPauses(),
                                                     .display = link_.Display(),
                                                     .supervisor = link_.Supervisor(),
                                                     .progress = link_.Progress()},
                                      this);
    form3_ = std::make_unique<TForm3>(context_, link_.Transport(), this);
    form4_ = std::make_unique<TForm4>(context_, link_.Transport(), link_.Supervisor(), dialogs_, this);
}

TForm1::~TForm1()
{
    // The dialogs go first, while the display they report to still stands.
    form4_.reset();
    form3_.reset();
    form2_.reset();
    link_.StopShowingOn(*this);
}

void TForm1::BuildStatusBox()
{
    GroupBox3 = MakeGroupBox(QStringLiteral("Status"), QRect(1, 1, 417, 137), this);
    GroupBox3->setFont(TahomaFont(11, true));

    const QFont big = LocationFont();
    // Texts from the module are shown as they are, never read as markup.
    Label4 = new QLabel(GroupBox3);
    Label4->setTextFormat(Qt::PlainText);
    Label4->setGeometry(9, 19, 316, 23);
    Label4->setFont(big);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    modelColour_ = ColourOf(ColourRed);
    SetTextColour(Label4, modelColour_);
    Label5 = new QLabel(GroupBox3);
    Label5->setTextFormat(Qt::PlainText);
    Label5->setGeometry(9, 48, 357, 23);
    Label5->setFont(big);
    locationColour_ = ColourOf(ColourNavy);
    SetTextColour(Label5, locationColour_);

    Label12 = new QLabel(QStringLiteral("RSSI:"), GroupBox3);
    Label12->setTextFormat(Qt::PlainText);
    Label12->setFont(TahomaFont(11));
    Label12->setGeometry(9, 77, 200, 16);
    rssiColour_ = Purple;
    SetTextColour(Label12, rssiColour_);

    Label6 = new QLabel(QStringLiteral("Device  IP:"), GroupBox3);
    Label6->setFont(TahomaFont(11));
    Label6->setGeometry(9, 100, 64, 18);
    Edit2 = new QLineEdit(GroupBox3);
    Edit2->setAccessibleName(QStringLiteral("Device IP"));
    Edit2->setToolTip(QStringLiteral("Four numbers 0~255, for example 192.168.77.1"));
    Label6->setBuddy(Edit2);
    Edit2->setGeometry(76, 98, 104, 22);
    Edit2->setFont(TahomaFont(11, true));
    SpeedButton5 = new QPushButton(QStringLiteral("Static IP"), GroupBox3);
    SpeedButton5->setGeometry(194, 98, 63, 22);
    SpeedButton5->setFont(TahomaFont(11));
    connect(SpeedButton5, &QPushButton::clicked, this, [this] { link_.Supervisor().StaticIpClick(); });
    connect(Edit2, &QLineEdit::returnPressed, this, [this] { link_.Supervisor().StaticIpClick(); });
}

void TForm1::BuildIconButtons()
{
    Image1 = new ImageButton(MakeIcon(IconKind::Setup), QStringLiteral("Setup"), GroupBox3);
    Image1->move(385, 20);
    Image3 = new ImageButton(MakeIcon(IconKind::FindMe), QStringLiteral("Find me"), GroupBox3);
    Image3->move(385, 58);
    Image2 = new ImageButton(MakeIcon(IconKind::Refresh), QStringLiteral("Refresh"), GroupBox3);
    Image2->move(385, 97);
    Image4 = new ImageButton(MakeIcon(IconKind::Counter), QStringLiteral("Digital Input Counter"), GroupBox1);
    Image4->move(385, 19);
    Image5 = new ImageButton(MakeIcon(IconKind::Function), QStringLiteral("Function Configuration"), GroupBox2);
    Image5->move(385, 9);
    connect(Image1, &QToolButton::clicked, this, [this] { Image1Click(); });
    connect(Image2, &QToolButton::clicked, this, [this] { Image2Click(); });
    connect(Image3, &QToolButton::clicked, this, [this] { Image3Click(); });
    connect(Image4, &QToolButton::clicked, this, [this] { Image4Click(); });
    connect(Image5, &QToolButton::clicked, this, [this] { Image5Click(); });
}

// Tab in reading order, the icons where they stand; keys for the main actions (an icon's key does
// nothing while the icon is disabled), and F1 for the About box.
void TForm1::BuildKeyboard()
{
    DigitalIoPanel& io = *digitalIo_;
    AnalogOutputPanel& dac = *analog_;
    SetTabChain({Image1, Image3, Edit2, SpeedButton5, Image2, io.SpeedButton4, Image4, Image5, dac.TrackBar1, dac.Image6,
                 dac.Image7, dac.CheckBox2, dac.CheckBox3, dac.CheckBox1, dac.SpeedButton1, dac.SpeedButton2});
    Image1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
    Image3->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F));
    Image2->setShortcut(QKeySequence(Qt::Key_F5));
    Image4->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
    Image5->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
    auto* toAddress = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_I), this);
    connect(toAddress, &QShortcut::activated, Edit2, [this] { Edit2->setFocus(Qt::ShortcutFocusReason); });
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    // The box is modal: opened inside an exchange's socket wait it would hold the exchange.
    connect(about, &QShortcut::activated, this, [this] { RunAfterExchange(context_, this, [this] { ShowAboutBox(this); }); });
}

void TForm1::SetLabelColour(QLabel* label, Rgb colour)
{
    SetTextColour(label, QColor(colour.red, colour.green, colour.blue));
}

void TForm1::FormCreate()
{
    ShowNoDevice();
    context_.session.LinkPollEnabled = 1;
    Timer1->start();
    timer3_->Start();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The first activation checks the network once the window is on screen.
    if (!context_.session.firstActivationDone) QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TForm1::FormActivate() { link_.Supervisor().StartUp(); }

void TForm1::RequestLocator() { zqb::RequestLocator(context_); }

// The dialogs refuse to open while an exchange runs: their modal loop would run inside the
// exchange's socket wait and hold the exchange until they close.
void TForm1::Image1Click() { form2_->OpenSetup(); }

void TForm1::Image2Click()
{
    if (context_.ExchangeBusy) return;  // its network check may raise a box inside the wait
    context_.session.retryCount = 0;
    link_.Supervisor().RequestLink();
}

void TForm1::Image3Click() { RequestLocator(); }

void TForm1::Image4Click() { form3_->Image4Click(); }

void TForm1::Image5Click() { form4_->OpenFunctionWindow(); }

void TForm1::Timer1Timer()
{
    link_.Replies().OverdueTick();
    ShowLinkState();
}

namespace {

void ShowText(QLabel* label, const QString& text)
{
    if (label->text() != text) label->setText(text);
}

void ShowColour(QWidget* widget, const QColor& colour)
{
    if (widget->palette().color(QPalette::WindowText) != colour) SetTextColour(widget, colour);
}

// A value in its own colour, or greyed and said to be from an earlier link.
void ShowCurrent(QLabel* label, bool current, const QColor& own)
{
    ShowColour(label, current ? own : LookColour::DisabledText);
    const QString description = current ? QString() : QStringLiteral("From an earlier link");
    if (label->accessibleDescription() != description) label->setAccessibleDescription(description);
}

}  // namespace

void TForm1::TakeFreshness(Freshness freshness)
{
    switch (freshness) {
    case Freshness::Unchanged: return;
    case Freshness::Answered: answering_ = true; break;
    case Freshness::Linked: answering_ = recordCurrent_ = true; break;
    case Freshness::Silent: answering_ = recordCurrent_ = false; break;
    }
    ShowLinkState();
}

// A module stays linked while it stops answering (only a lost network unlinks it), so what is
// shown as current follows what the module last did as well: the values a poll brings (signal,
// inputs and output, the address polled) are current again once it answers, those of the link
// record (model, location, MAC, firmware) only with a new record. Until then they are greyed, and
// Label4 says "Not linked" where it would be blank, or name a module that does not answer. The
// module's own state texts ("Device not found!!") stay as they are.
void TForm1::ShowLinkState()
{
    const bool linked = context_.session.linked == 1;
    const bool live = linked && answering_;
    const bool record = linked && recordCurrent_;
    if (modelText_.isEmpty() ? !live : linked && !answering_) {
        ShowText(Label4, NotLinkedText);
        ShowCurrent(Label4, true, ColourOf(NotLinkedColour));
    } else {
        ShowText(Label4, modelText_);
        ShowCurrent(Label4, !linked || recordCurrent_, modelColour_);
    }
    ShowCurrent(Label5, !linked || recordCurrent_, locationColour_);
    ShowCurrent(Label12, live || !rssiValueShown_, rssiColour_);
    StatusBar1->SetPanelStale(0, !record);
    StatusBar2->SetPanelStale(1, !record);
    StatusBar1->SetPanelStale(1, !live);
    // In the no-module look the lamps are off, as drawn, not stale.
    for (ShapeIndicator* lamp : {digitalIo_->Shape6, digitalIo_->Shape2, digitalIo_->Shape1})
        lamp->SetStale(!live && !noModuleLook_);
}

PanelStatusBar* TForm1::BarOf(StatusPanel panel, int& index) const
{
    switch (panel) {
    case StatusPanel::LinkState: index = 0; return StatusBar1;
    case StatusPanel::HostAddress: index = 1; return StatusBar1;
    case StatusPanel::Message: index = 0; return StatusBar2;
    case StatusPanel::Firmware: index = 1; return StatusBar2;
    }
    index = 0;
    return StatusBar2;
}

void TForm1::SetPanelText(StatusPanel panel, const QString& text)
{
    int index = 0;
    BarOf(panel, index)->SetPanelText(index, text);
}

QString TForm1::PanelText(StatusPanel panel) const
{
    int index = 0;
    return BarOf(panel, index)->PanelText(index);
}

void TForm1::SetPanelDetail(StatusPanel panel, const QString& detail)
{
    int index = 0;
    BarOf(panel, index)->SetPanelDetail(index, detail);
}

void TForm1::SetModelText(const QString& text)
{
    modelText_ = text;
    ShowLinkState();
}
void TForm1::SetModelColour(Rgb colour)
{
    modelColour_ = ColourOf(colour);
    ShowLinkState();
}
// The location is up to 31 characters of the module's choosing: it shrinks, then is cut, to stay
// on its line, and the whole text stays in the tool tip.
void TForm1::SetLocationText(const QString& text) { ShowFitted(Label5, text, LocationFont(), 13); }
void TForm1::SetLocationColour(Rgb colour)
{
    locationColour_ = ColourOf(colour);
    ShowLinkState();
}
void TForm1::SetRssiText(const QString& text)
{
    Label12->setText(text);
    rssiValueShown_ = true;
    ShowLinkState();
}
QString TForm1::AddressText() const { return Edit2->text(); }
void TForm1::SetAddressText(const QString& text) { Edit2->setText(text); }
void TForm1::SetRangeTicked(bool ticked) { analog_->CheckBox2->setChecked(ticked); }
void TForm1::ShowDigitalIo() { digitalIo_->ShowDigitalIo(); }

void TForm1::EnableModelControls(std::uint8_t modelCode)
{
    if (modelCode != SupportedModelCode) return;
    DigitalIoPanel& io = *digitalIo_;
    AnalogOutputPanel& dac = *analog_;
    io.Label1->setEnabled(true);
    io.Label21->setEnabled(true);
    io.SpeedButton4->setEnabled(true);
    locationColour_ = ColourOf(ColourBlack);
    SetLabelColour(io.Label14, ColourBlack);
    for (QWidget* control : std::initializer_list<QWidget*>{Image1, Image3, Image4, Image5, dac.CheckBox1, dac.CheckBox2,
                                                             dac.Image6, dac.Image7, dac.TrackBar1})
        control->setEnabled(true);
    noModuleLook_ = false;
    ShowLinkState();
}

void TForm1::ShowNoDevice()
{
    DigitalIoPanel& io = *digitalIo_;
    AnalogOutputPanel& dac = *analog_;
    for (QWidget* control : std::initializer_list<QWidget*>{io.SpeedButton4, io.Label1, io.Label21, Image1, Image3, Image4,
                                                             Image5, dac.Image6, dac.Image7, dac.TrackBar1})
        control->setEnabled(false);
    Label12->setText(QStringLiteral("RSSI:"));
    rssiValueShown_ = false;
    context_.session.doState = 0;
    context_.session.diState = 0;
    ShowDigitalIo();
    modelText_.clear();
    SetLocationText(QString());
    rssiColour_ = ColourOf(ColourRssiIdle);
    dac.CheckBox1->setEnabled(false);
    dac.CheckBox2->setEnabled(false);
    noModuleLook_ = true;
    ShowLinkState();
}

void TForm1::ApplyFunctionRecord() { form4_->ApplyFunctionRecord(); }

void TForm1::UntickFunctionEnable() { form4_->UntickFunctionEnable(); }

void TForm1::ShowCounters() { form3_->ShowCounters(); }

// The verdict's box, with its text as both text and title: the completion without an icon, every
// other end of the check (sums differ, a refusal, no answer) as the failure.
void TForm1::ShowChecksumVerdict(const Outcome& verdict)
{
    const QString& text = verdict.Ok() ? ChecksumMatchText : ChecksumMismatchText;
    dialogs_.ShowMessage(text, text, verdict.Ok() ? MessageIcon::None : MessageIcon::Error, MessageButtons::Ok);
}

void TForm1::AppendLog(const QString& line) { Memo1->appendPlainText(line); }

}  // namespace zqb
