#include "setup/Setup.h"

#include "protocol/AnsiText.h"
#include "protocol/Ipv4Text.h"
#include "platform/Icons.h"
#include "platform/KeyField.h"
#include "platform/KeyboardOrder.h"
#include "platform/WindowAccessibility.h"
#include "platform/WindowLook.h"

namespace zqb {

namespace {

constexpr int ClientWidth = 701;
constexpr int ClientHeight = 367;
constexpr int GaugeHeight = 9;

// Captions of the groups 10 pt bold, labels and key type buttons 10 pt, input boxes 9 pt bold.
QFont GroupFont() { return TahomaFont(13, true); }
QFont LabelFont() { return TahomaFont(13); }
QFont InputFont() { return TahomaFont(12, true); }

QGroupBox* Group(QWidget* parent, const QString& title, int left, int top, int width, int height,
                 const QFont& font = GroupFont())
{
    auto* box = new QGroupBox(title, parent);
    box->setGeometry(left, top, width, height);
    box->setFont(font);
    // Named by its own caption: an unnamed group would take the name of the group around it.
    box->setAccessibleName(title.trimmed());
    return box;
}

QLabel* Caption(QWidget* parent, const QString& text, int left, int top, QWidget* labelFor = nullptr)
{
    auto* label = new QLabel(text, parent);
    label->setFont(LabelFont());
    label->move(left, top);
    label->adjustSize();
    if (labelFor) label->setBuddy(labelFor);
    return label;
}

// Input boxes show what the module reported or the user typed: plain text, never markup.
QLineEdit* Input(QWidget* parent, const QString& accessibleName, int left, int top, int width,
                 const QString& text = {}, const QString& hint = {})
{
    auto* edit = new QLineEdit(text, parent);
    edit->setGeometry(left, top, width, 22);
    edit->setFont(InputFont());
    edit->setAccessibleName(accessibleName);
    if (!hint.isEmpty()) edit->setToolTip(hint);
    return edit;
}

QRadioButton* Choice(QWidget* parent, const QString& text, int left, int top, const QFont& font = LabelFont())
{
    auto* button = new QRadioButton(text, parent);
    button->setFont(font);
    button->move(left, top);
    button->adjustSize();
    return button;
}

ImageButton* ApplyButton(QWidget* parent, const QString& accessibleName, int left, int top)
{
    auto* button = new ImageButton(MakeIcon(IconKind::Apply), accessibleName, parent);
    button->move(left, top);
    return button;
}

// The three picture buttons along the foot: a picture with its label, acting on a click.
ImageButton* PictureButton(QWidget* parent, IconKind icon, const QString& text, int left)
{
    auto* button = new ImageButton(MakeIcon(icon, 22), text, parent, 22);
    button->setFixedSize(178, 29);
    button->move(left, 316);
    button->setText(text);
    button->setToolTip(QString());
    button->setFont(TahomaFont(13, true));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // A style sheet takes its text colour from the application, not the window: it is named here.
    button->setStyleSheet(QStringLiteral("QToolButton { border: 1px solid #a0a0a0; border-radius: 2px; background: #f6f6f6;"
                                         " color: #000000; }"
                                         "QToolButton:disabled { color: #606060; }"));
    return button;
}

// The ranges the setting rules hold the inputs to, beside the inputs.
const QString SsidRange = QStringLiteral("1~%1 characters").arg(MaxSsidBytes);
const QString KeyRange = QStringLiteral("%1~%2 characters; not used with Open").arg(MinKeyBytes).arg(MaxKeyBytes);
const QString WebKeyRange = QStringLiteral("Up to %1 characters").arg(MaxWebLoginKeyBytes);
const QString LocationRange = QStringLiteral("Up to %1 characters").arg(MaxLocationBytes);
const QString PortRange = QStringLiteral("1~65535, not 80 or 13577");
const QString IdleTimeoutRange = QStringLiteral("1~65000 seconds");

}  // namespace

TForm2::TForm2(const SetupLinkParts& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      link_(link),
      context_(link.context)
{
    setWindowTitle(SetupCaption);
    setModal(true);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(TahomaFont(11));
    PinWindowPalette(this, LookColour::White);

    BuildWireless();
    BuildServices();
    BuildCommands();
    BuildKeyboard();
    CGauge1 = new Gauge(this);
    CGauge1->setGeometry(0, ClientHeight - GaugeHeight, ClientWidth, GaugeHeight);

    link_.progress.Attach(*CGauge1);
    actions_ = std::make_unique<SettingActions>(context_, link_.settings, link_.firmware, link_.dialogs, link_.pauses,
                                                link_.display);
    FormCreate();
}

TForm2::~TForm2() { link_.progress.Detach(*CGauge1); }

void TForm2::BuildWireless()
{
    GroupBoxAp = Group(this, QStringLiteral("AP "), 2, -1, 348, 123);
    Edit1 = Input(GroupBoxAp, QStringLiteral("AP SSID name"), 100, 22, 200, QStringLiteral("IOBOX-AP"), SsidRange);
    Caption(GroupBoxAp, QStringLiteral("SSID Name:"), 10, 25, Edit1);
    Caption(GroupBoxAp, QStringLiteral("Key Type:"), 10, 56);
    RadioButton1 = Choice(GroupBoxAp, QStringLiteral("Open"), 100, 55);
    RadioButton2 = Choice(GroupBoxAp, QStringLiteral("WPA/WPA2"), 170, 55);
    RadioButton1->setChecked(true);
    Edit2 = Input(GroupBoxAp, QStringLiteral("AP SSID key"), 100, 84, 200, {}, KeyRange);
    Caption(GroupBoxAp, QStringLiteral("SSID Key:"), 10, 87, Edit2);
    Image2 = ApplyButton(GroupBoxAp, QStringLiteral("Apply AP settings"), 312, 83);
    connect(Image2, &QToolButton::clicked, this, [this] { Image2Click(); });

    GroupBoxStation = Group(this, QStringLiteral("Station"), 356, -2, 348, 258);
    Edit3 = Input(GroupBoxStation, QStringLiteral("Station SSID name"), 100, 23, 200, QStringLiteral("LabNet"), SsidRange);
    Caption(GroupBoxStation, QStringLiteral("SSID Name:"), 10, 26, Edit3);
    Caption(GroupBoxStation, QStringLiteral("Key Type:"), 10, 57);
    RadioButton3 = Choice(GroupBoxStation, QStringLiteral("Open"), 100, 56);
    RadioButton4 = Choice(GroupBoxStation, QStringLiteral("WEP"), 160, 56);
    RadioButton5 = Choice(GroupBoxStation, QStringLiteral("WPA/WPA2"), 215, 56);
    RadioButton5->setChecked(true);
    Edit4 = Input(GroupBoxStation, QStringLiteral("Station SSID key"), 100, 85, 200, {}, KeyRange);
    Caption(GroupBoxStation, QStringLiteral("SSID Key:"), 10, 88, Edit4);
    Image3 = ApplyButton(GroupBoxStation, QStringLiteral("Apply station settings"), 312, 84);
    connect(Image3, &QToolButton::clicked, this, [this] { Image3Click(); });

    CheckBox1 = new QCheckBox(QStringLiteral("Static IP"), GroupBoxStation);
    CheckBox1->setFont(LabelFont());
    CheckBox1->move(10, 116);
    CheckBox1->adjustSize();
    CheckBox1->setToolTip(QStringLiteral("Static IP, only Station mode"));
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });

    StaticIpPanel = new QFrame(GroupBoxStation);
    StaticIpPanel->setGeometry(8, 140, 330, 112);
    StaticIpPanel->setAutoFillBackground(true);
    QPalette grey = StaticIpPanel->palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    StaticIpPanel->setPalette(grey);
    // A group of its own for screen readers, not a frame named after the group around it.
    SetAccessibleRole(StaticIpPanel, QAccessible::Grouping);
    StaticIpPanel->setAccessibleName(QStringLiteral("Static IP settings"));
    Edit8 = Input(StaticIpPanel, QStringLiteral("Static IP address"), 90, 9, 150, {}, QStringLiteral("Station mode Static IP"));
    Label10 = Caption(StaticIpPanel, QStringLiteral("IP:"), 10, 12, Edit8);
    Edit9 = Input(StaticIpPanel, QStringLiteral("Static IP subnet mask"), 90, 43, 150, QStringLiteral("255.255.255.0"),
                  QStringLiteral("Station mode Subnet mask"));
    Label11 = Caption(StaticIpPanel, QStringLiteral("Net mask:"), 10, 46, Edit9);
    Edit10 = Input(StaticIpPanel, QStringLiteral("Static IP gateway"), 90, 77, 150, {}, QStringLiteral("Station mode Gateway"));
    Label12 = Caption(StaticIpPanel, QStringLiteral("Gate way:"), 10, 80, Edit10);
    Image10 = ApplyButton(StaticIpPanel, QStringLiteral("Apply static IP"), 296, 76);
    connect(Image10, &QToolButton::clicked, this, [this] { Image10Click(); });

    GroupBoxWifiMode = Group(this, QStringLiteral("WiFi Mode "), 351, 249, 348, 49, TahomaFont(12, true));
    RadioButton6 = Choice(GroupBoxWifiMode, QStringLiteral("AP "), 20, 22);
    RadioButton7 = Choice(GroupBoxWifiMode, QStringLiteral("Station"), 100, 22);
    RadioButton7->setChecked(true);
    Image4 = ApplyButton(GroupBoxWifiMode, QStringLiteral("Apply Wi-Fi mode"), 312, 18);
    connect(Image4, &QToolButton::clicked, this, [this] { Image4Click(); });
}

void TForm2::BuildServices()
{
    GroupBoxWeb = Group(this, QStringLiteral("WEB"), 2, 119, 348, 60);
    Edit6 = Input(GroupBoxWeb, QStringLiteral("Web login key"), 100, 25, 200, {}, WebKeyRange);
    Caption(GroupBoxWeb, QStringLiteral("Login Key:"), 10, 28, Edit6);
    Image5 = ApplyButton(GroupBoxWeb, QStringLiteral("Apply web login key"), 312, 24);
    connect(Image5, &QToolButton::clicked, this, [this] { Image5Click(); });

    GroupBoxModbus = Group(this, QStringLiteral("Modbus"), 2, 172, 348, 66);
    Edit7 = Input(GroupBoxModbus, QStringLiteral("Modbus port"), 50, 28, 70, {}, PortRange);
    Caption(GroupBoxModbus, QStringLiteral("Port:"), 10, 31, Edit7);
    Edit11 = Input(GroupBoxModbus, QStringLiteral("Modbus idle timeout"), 228, 28, 52, {}, IdleTimeoutRange);
    Caption(GroupBoxModbus, QStringLiteral("Idle Timeout:"), 136, 31, Edit11);
    Caption(GroupBoxModbus, QStringLiteral("Sec"), 284, 31);
    Image9 = ApplyButton(GroupBoxModbus, QStringLiteral("Apply Modbus settings"), 316, 27);
    connect(Image9, &QToolButton::clicked, this, [this] { Image9Click(); });

    GroupBoxLocation = Group(this, QStringLiteral("Location"), 2, 231, 348, 67);
    Edit5 = Input(GroupBoxLocation, QStringLiteral("Location string"), 60, 28, 240, {}, LocationRange);
    Caption(GroupBoxLocation, QStringLiteral("String:"), 10, 31, Edit5);
    Image6 = ApplyButton(GroupBoxLocation, QStringLiteral("Apply location"), 312, 27);
    connect(Image6, &QToolButton::clicked, this, [this] { Image6Click(); });
}

void TForm2::BuildCommands()
{
    Image7 = PictureButton(this, IconKind::Reset, QStringLiteral("Reset to Default"), 34);
    Image1 = PictureButton(this, IconKind::Update, QStringLiteral("Update F/W"), 260);
    Image8 = PictureButton(this, IconKind::Reboot, QStringLiteral("Reboot device"), 486);
    Image8->setToolTip(QStringLiteral("Reboot"));
    connect(Image7, &QToolButton::clicked, this, [this] { Image7Click(); });
    connect(Image1, &QToolButton::clicked, this, [this] { Image1Click(); });
    connect(Image8, &QToolButton::clicked, this, [this] { Image8Click(); });
}

// Tab in reading order: the wireless settings, AP then station with its static address and the
// Wi-Fi mode, then the services in the left column, then the three buttons along the foot.
// Keys are masked, and each radio group is entered on its checked button.
void TForm2::BuildKeyboard()
{
    SetTabChain({Edit1, RadioButton1, RadioButton2, Edit2, Image2, Edit3, RadioButton3, RadioButton4, RadioButton5, Edit4,
                 Image3, CheckBox1, Edit8, Edit9, Edit10, Image10, RadioButton6, RadioButton7, Image4, Edit6, Image5,
                 Edit7, Edit11, Image9, Edit5, Image6, Image7, Image1, Image8});
    TabToCheckedRadio({RadioButton1, RadioButton2});
    TabToCheckedRadio({RadioButton3, RadioButton4, RadioButton5});
    TabToCheckedRadio({RadioButton6, RadioButton7});
    keyToggles_ = {MakeKeyField(Edit2), MakeKeyField(Edit4), MakeKeyField(Edit6)};
}

void TForm2::FormCreate() { SetStaticIpControls(false); }

void TForm2::OpenSetup()
{
    if (context_.ExchangeBusy) return;
    pollBeforeOpening_ = context_.session.LinkPollEnabled;
    context_.session.LinkPollEnabled = 0;
    ShowSessionSettings();
    for (QAction* toggle : keyToggles_) HideKey(toggle);
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    exec();
}

// Every opening starts on the first field, never on the control used last: that may be a
// command that restarts or erases the module.
void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm2::ShowSessionSettings()
{
    const DeviceSession& s = context_.session;
    Edit1->setText(FromAnsi(s.apSsid));
    if (s.apSecured == 0) {
        RadioButton1->setChecked(true);
        Edit2->clear();
    } else {
        RadioButton2->setChecked(true);
    }
    Edit3->setText(FromAnsi(s.staSsid));
    if (s.staKeyType == 0) {
        RadioButton3->setChecked(true);
        Edit4->clear();
    } else if (s.staKeyType == 1) {
        RadioButton4->setChecked(true);
    } else {
        RadioButton5->setChecked(true);
    }
    Edit5->setText(FromAnsi(s.locationText));
    Edit7->setText(QString::number(s.modbusPort));
    Edit11->setText(QString::number(s.modbusIdleTimeout));
    (s.wifiModeAp ? RadioButton6 : RadioButton7)->setChecked(true);
    SetStaticIpControls(s.staticIpEnabled != 0);
    if (s.staticIpEnabled) {
        Edit8->setText(DottedText(s.staticIp));
        Edit9->setText(DottedText(s.staticMask));
        Edit10->setText(DottedText(s.staticGateway));
    } else {
        Edit8->clear();
        Edit10->clear();
    }
    CGauge1->SetPosition(0);
}

void TForm2::SetStaticIpControls(bool on)
{
    for (QWidget* control : std::initializer_list<QWidget*>{Label10, Label11, Label12, Edit8, Edit9, Edit10})
        control->setEnabled(on);
    CheckBox1->setChecked(on);
}

void TForm2::CheckBox1Click() { SetStaticIpControls(CheckBox1->isChecked()); }

ActionOutcome TForm2::Image1Click() { return actions_->StartFirmwareUpdate(); }

ActionOutcome TForm2::Image2Click()
{
    return actions_->WriteApSettings({Edit1->text(), Edit2->text(), RadioButton2->isChecked()});
}

ActionOutcome TForm2::Image3Click()
{
    const StationKeyType type = RadioButton3->isChecked()   ? StationKeyType::Open
                                : RadioButton4->isChecked() ? StationKeyType::Wep
                                                            : StationKeyType::Wpa;
    return actions_->WriteStationSettings({Edit3->text(), Edit4->text(), type});
}

ActionOutcome TForm2::Image4Click() { return actions_->ChangeWifiMode(RadioButton6->isChecked()); }
ActionOutcome TForm2::Image5Click() { return actions_->WriteWebKey(Edit6->text()); }
ActionOutcome TForm2::Image6Click() { return actions_->WriteLocation(Edit5->text()); }
ActionOutcome TForm2::Image7Click() { return actions_->ResetToDefault(); }
ActionOutcome TForm2::Image8Click() { return actions_->RebootModule(); }
ActionOutcome TForm2::Image9Click() { return actions_->WriteModbusSettings(Edit7->text(), Edit11->text()); }

ActionOutcome TForm2::Image10Click()
{
    return actions_->WriteStaticAddress({CheckBox1->isChecked(), Edit8->text(), Edit9->text(), Edit10->text()});
}

void TForm2::FormClose() { link_.supervisor.DialogClosed(pollBeforeOpening_); }

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

}  // namespace zqb
