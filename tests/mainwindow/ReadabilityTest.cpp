// Every text of every window and box, measured on screen under a light and a dark desktop
// palette: the ink of each text against what is behind it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QSignalSpy>

#include "finder/FinderWindow.h"
#include "link/LinkSupervisor.h"
#include "mainwindow/AboutBox.h"
#include "mainwindow/ConsoleMenu.h"
#include "mainwindow/MainWindowRig.h"
#include "platform/QtDialogs.h"
#include "platform/WindowLook.h"
#include "support/DesktopPalettes.h"
#include "trend/TrendSeries.h"
#include "trend/TrendWindow.h"

namespace zqb::test {
namespace {

double Luminance(const QColor& colour)
{
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

enum class DesktopPalette { Light, Dark };

// The desktop's palette is in force before the windows are built, as it is at a real start.
class DesktopPaletteFirst {
protected:
    DesktopPaletteFirst() : before_(QApplication::palette())
    {
        if (::testing::WithParamInterface<DesktopPalette>::GetParam() == DesktopPalette::Dark)
            QApplication::setPalette(DarkDesktopPalette());
    }
    ~DesktopPaletteFirst() { QApplication::setPalette(before_); }

private:
    QPalette before_;
};

// The colours the layout itself gives some texts, on the backgrounds it gives them: they stay as
// drawn, and so do their ratios, which lie below 4.5:1; on these controls only, and where texts
// are named, with these texts only. Every other text keeps 4.5:1.
struct LayoutColour {
    std::vector<const QWidget*> controls;
    QColor text;
    QColor background;
    QStringList texts;  // empty: whatever the control shows in that colour
    const char* where;
};
constexpr double RequiredContrast = 4.5;

std::vector<LayoutColour> LayoutColours(TForm1& form)
{
    const TForm4& f = form.FunctionWindow();
    const QColor grey(240, 240, 240);
    return {
        {{form.Label4}, {255, 0, 0}, Qt::white, {"Device not found!!", "Same multiple IP found!!"}, "state text, 14 pt bold"},
        {{form.Label5}, {64, 132, 118}, Qt::white, {}, "location, 14 pt bold"},
        {{form.Label12}, {255, 64, 129}, Qt::white, {}, "RSSI caption"},
        {{f.Label2, f.Label4, f.Label5, f.Label6, f.Label16, f.Label7}, {255, 0, 0}, grey, {}, "function window: On value and seconds"},
        {{f.Label18, f.Label10}, {0, 162, 235}, grey, {}, "function window: Ton"},
        {{f.Label17, f.Label8}, {255, 127, 39}, grey, {}, "function window: Thold"},
        {{f.Label19, f.Label12}, {34, 177, 76}, grey, {}, "function window: Toff"},
    };
}

double RequiredFor(const QWidget* widget, const QString& text, const std::vector<LayoutColour>& layout)
{
    const QColor own = widget->palette().color(QPalette::WindowText);
    double required = RequiredContrast;
    for (const LayoutColour& colour : layout) {
        const bool control = std::find(colour.controls.begin(), colour.controls.end(), widget) != colour.controls.end();
        if (control && own == colour.text && (colour.texts.isEmpty() || colour.texts.contains(text)))
            required = std::min(required, std::floor(Contrast(colour.text, colour.background) * 10) / 10);
    }
    return required;
}

// A text taken away for a moment, to see what is behind it: the text, and how to put it back.
struct HiddenText {
    QString text;
    std::function<void()> restore;
};

HiddenText HideText(QWidget* widget)
{
    // Every kind of text the windows show, with its getter and setter.
    const auto hide = [](auto* control, QString text, auto set) -> HiddenText {
        if (text.isEmpty()) return {};
        const QSignalBlocker quiet(control);
        set(control, QString());
        return {text, [control, text, set] {
                    const QSignalBlocker quiet(control);
                    set(control, text);
                }};
    };
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->pixmap().isNull() ? hide(label, label->text(), [](QLabel* l, const QString& t) { l->setText(t); })
                                        : HiddenText{};
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return hide(group, group->title(), [](QGroupBox* g, const QString& t) { g->setTitle(t); });
    if (auto* tool = qobject_cast<QToolButton*>(widget); tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return {};  // its text is not drawn
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return hide(button, button->text(), [](QAbstractButton* b, const QString& t) { b->setText(t); });
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return hide(edit, edit->text(), [](QLineEdit* e, const QString& t) { e->setText(t); });
    return {};
}

// Each visible text of a window whose strongest ink falls below what it must keep, as
// "text: measured < required". The ink is every pixel the text changes; what is behind it is
// the same pixel drawn without the text.
QStringList UnreadableTexts(QWidget& window, const std::vector<LayoutColour>& layout = {})
{
    QStringList unreadable;
    window.show();
    QApplication::processEvents();
    const QImage withText = window.grab().toImage();
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window)) continue;
        const HiddenText hidden = HideText(widget);
        if (!hidden.restore) continue;
        const QImage without = window.grab().toImage();
        hidden.restore();
        const QRect area = QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size()) & window.rect();
        double strongest = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (withText.pixel(x, y) != without.pixel(x, y))
                    strongest = std::max(strongest, Contrast(withText.pixelColor(x, y), without.pixelColor(x, y)));
        const double required = RequiredFor(widget, hidden.text, layout);
        if (strongest < required)
            unreadable << QStringLiteral("%1 \"%2\": %3 < %4")
                              .arg(QString::fromLatin1(widget->metaObject()->className()), hidden.text)
                              .arg(strongest, 0, 'f', 2)
                              .arg(required);
    }
    window.hide();
    return unreadable;
}

// The strongest ink in an area against the colour most of its pixels have, its background: for
// what draws its texts without widgets of their own (menu entries, table cells and headings).
double StrongestInk(const QImage& image, const QRect& area)
{
    std::map<QRgb, int> counts;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y)];
    if (counts.empty()) return 0;
    const QColor background(std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                                return a.second < b.second;
                            })->first);
    double strongest = 0;
    for (const auto& [pixel, count] : counts) strongest = std::max(strongest, Contrast(QColor(pixel), background));
    return strongest;
}

// Each entry of a menu, under the focus and not, whose text falls below 4.5:1.
QStringList UnreadableEntries(QMenu& menu)
{
    QStringList unreadable;
    menu.popup(QPoint(40, 40));
    QApplication::processEvents();
    QList<QAction*> entries = menu.actions();
    entries.removeIf([](const QAction* a) { return a->isSeparator(); });
    for (QAction* focused : entries) {
        menu.setActiveAction(focused);
        QApplication::processEvents();
        const QImage image = menu.grab().toImage();
        for (QAction* entry : entries) {
            const double ink = StrongestInk(image, menu.actionGeometry(entry));
            if (ink < RequiredContrast)
                unreadable << QStringLiteral("menu \"%1\"%2: %3").arg(entry->text(), entry == focused ? QStringLiteral(" (focused)") : QString())
                                  .arg(ink, 0, 'f', 2);
        }
    }
    menu.hide();
    return unreadable;
}

// Each cell and heading of a table whose text falls below 4.5:1, the current row's included.
QStringList UnreadableCells(QTableWidget& table)
{
    QStringList unreadable;
    const QImage cells = table.viewport()->grab().toImage();
    for (int row = 0; row < table.rowCount(); ++row)
        for (int column = 0; column < table.columnCount(); ++column) {
            const QTableWidgetItem* item = table.item(row, column);
            if (!item || item->text().isEmpty()) continue;
            const double ink = StrongestInk(cells, table.visualItemRect(item).adjusted(1, 1, -1, -1));
            if (ink < RequiredContrast) unreadable << QStringLiteral("cell \"%1\": %2").arg(item->text()).arg(ink, 0, 'f', 2);
        }
    QHeaderView* header = table.horizontalHeader();
    const QImage headings = header->grab().toImage();
    for (int column = 0; column < table.columnCount(); ++column) {
        const QRect section(header->sectionViewportPosition(column) + 2, 2, header->sectionSize(column) - 4, header->height() - 4);
        const double ink = StrongestInk(headings, section);
        if (ink < RequiredContrast)
            unreadable << QStringLiteral("heading \"%1\": %2").arg(table.horizontalHeaderItem(column)->text()).arg(ink, 0, 'f', 2);
    }
    return unreadable;
}

class WindowReadability : public DesktopPaletteFirst,
                          public MainWindowRig,
                          public ::testing::WithParamInterface<DesktopPalette> {};

TEST_P(WindowReadability, EveryTextKeepsItsContrast)
{
    StartModule();
    module.Update([](zqbsim::ModuleState& s) { s.location = "Pump house 3"; });
    const std::vector<LayoutColour> layout = LayoutColours(*form);
    const auto check = [&](QWidget& window, const char* look) {
        EXPECT_EQ(UnreadableTexts(window, layout), QStringList{}) << look;
    };
    form->FormActivate();  // nothing answered yet: the no-module look says so
    check(*form, "main window, no module");
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(context.session.linked, 1);
    form->Analog().CheckBox1->setChecked(true);  // the calibration button enabled
    check(*form, "main window, linked");
    const auto network = hostBackend.interfaces;
    hostBackend.interfaces.clear();
    link.Supervisor().PrepareLink();
    check(*form, "main window, network lost");
    hostBackend.interfaces = network;
    link.Supervisor().RequestLink();
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(context.session.linked, 1);
    // A module that stops answering: "Not linked", and what it reported greyed.
    const std::uint16_t port = module.Port();
    module.Stop();
    context.session.linkTick = PeriodicCheckTick;
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(form->Label4->text(), QStringLiteral("Not linked"));
    check(*form, "main window, module stopped");
    ASSERT_TRUE(module.Start(port));
    link.Supervisor().RequestLink();
    link.Supervisor().LinkTimerTick();
    ASSERT_EQ(context.session.linked, 1);
    form->SetupWindow().ShowSessionSettings();
    form->SetupWindow().CheckBox1->setChecked(false);
    form->SetupWindow().SetStaticIpControls(false);  // greyed static address controls
    check(form->SetupWindow(), "setup window");
    form->SetupWindow().Edit6->setText(QStringLiteral("abc"));
    check(form->SetupWindow(), "setup window with a masked key");
    check(form->CounterWindow(), "counter window");
    check(form->FunctionWindow(), "function window");

    // The windows of the console menu, and the menu itself.
    FinderWindow finder(link.Context(), link.Display(), link.Supervisor(), FinderSetup{&hostBackend, std::nullopt, QString()},
                        form.get());
    finder.NetworkEdit->setText(QStringLiteral("127.0.0.1/32"));
    QSignalSpy scanned(&finder, &FinderWindow::scanFinished);
    finder.StartScan();
    ASSERT_TRUE(scanned.wait(3000));
    ASSERT_EQ(finder.Table->rowCount(), 1);
    finder.show();
    QApplication::processEvents();
    check(finder, "finder window");
    EXPECT_EQ(UnreadableCells(*finder.Table), QStringList{});
    finder.hide();

    TrendHistory history;
    TrendSample sample;
    sample.atMs = QDateTime::currentMSecsSinceEpoch() - 60'000;
    sample.dacCode = 2048;
    sample.signalDbm = -50;
    history.Append(sample);
    TrendWindow trend(history, context, dialogs, form.get());
    trend.TogglePause();  // the summary stays as it is while it is measured
    check(trend, "trend window");
    // The chart writes its axis labels in the colours of the series.
    const QColor chartBackground = trend.Chart->palette().color(QPalette::Base);
    for (const TrendSeries series : {TrendSeries::Dac, TrendSeries::Di0, TrendSeries::Di1, TrendSeries::Do0, TrendSeries::Signal})
        EXPECT_GE(Contrast(TrendChart::SeriesColour(series, trend.Chart->palette()), chartBackground), RequiredContrast)
            << SeriesName(series).toStdString();

    ConsoleMenu menu(form.get(), ConsoleMenuActions{});
    EXPECT_EQ(UnreadableEntries(*menu.Menu), QStringList{});

    const auto about = MakeAboutBox(form.get());
    check(*about, "About box");
    for (const MessageIcon icon : {MessageIcon::Question, MessageIcon::Error, MessageIcon::Information, MessageIcon::None}) {
        const auto box = MakeMessageBox(QStringLiteral("Reboot device, execute?"), QStringLiteral("Confirm"), icon,
                                        icon == MessageIcon::Question ? MessageButtons::YesNo : MessageButtons::Ok,
                                        true, form.get());
        check(*box, "message box");
    }
}

INSTANTIATE_TEST_SUITE_P(Palettes, WindowReadability, ::testing::Values(DesktopPalette::Light, DesktopPalette::Dark),
                         [](const auto& info) {
                             return std::string(info.param == DesktopPalette::Light ? "Light" : "Dark");
                         });

// Ink of a word: the darkness of every pixel summed, black on white.
double Ink(const QFont& font, const QString& word)
{
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(4, 28, word);
    painter.end();
    double ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += 1.0 - qGray(image.pixel(x, y)) / 255.0;
    return ink;
}

// What the layout sets in bold must look bold: a clearly heavier stroke than the regular face at
// the same size, not the same stroke spaced wider.
TEST(WindowFonts, BoldLooksBold)
{
    const struct {
        QFont regular;
        QFont bold;
        const char* word;
    } cases[] = {
        {TahomaFont(11), TahomaFont(11, true), "Status"},
        {TahomaFont(12), TahomaFont(12, true), "DI 0 Counter:"},
        {TahomaFont(13), TahomaFont(13, true), "Update F/W"},
        {WindowFont(QStringLiteral("Calibri"), 19), WindowFont(QStringLiteral("Calibri"), 19, true), "zQB-AO4K"},
    };
    for (const auto& c : cases) {
        const QString word = QString::fromLatin1(c.word);
        EXPECT_GT(Ink(c.bold, word), 1.3 * Ink(c.regular, word)) << c.word << " in " << QFontInfo(c.bold).family().toStdString();
    }
}

}  // namespace
}  // namespace zqb::test
