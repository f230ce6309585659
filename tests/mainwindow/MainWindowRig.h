#pragma once

#include <QMouseEvent>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/CommandCodes.h"
#include "mainwindow/Eap_tcp.h"
#include "support/HexBytes.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "sim/ModuleSimulator.h"
#include "support/ScriptedDialogs.h"
#include "protocol/SessionContext.h"
#include "link/SimulatedHostNetwork.h"

namespace zqb::test {

// A main window on a simulated host network whose one Wi-Fi interface lies in 127.0.0.x, with
// the module simulated on 127.0.0.1. The timers are stopped: tests run the ticks themselves.
class MainWindowRig : public ::testing::Test {
protected:
    MainWindowRig()
    {
        link.AimAt(QStringLiteral("127.0.0.1"), DefaultHostPort);
        hostBackend.AddWifi("127.0.0.5");
        form = std::make_unique<TForm1>(link);
        form->Timer1->stop();
        form->Timer3().Stop();
    }

    void StartModule()
    {
        ASSERT_TRUE(module.Start());
        link.AimAt(QStringLiteral("127.0.0.1"), module.Port());
    }

    // Start-up, then the tick that sends the queued GetLink.
    void LinkUp()
    {
        form->FormActivate();
        link.Supervisor().LinkTimerTick();
        ASSERT_EQ(context.session.linked, 1);
        module.ClearFrames();
    }

    std::vector<QByteArray> FramesWithCode(std::uint8_t code) const
    {
        std::vector<QByteArray> found;
        for (const QByteArray& frame : module.Frames())
            if (frame.size() > 4 && static_cast<std::uint8_t>(frame[4]) == code) found.push_back(frame);
        return found;
    }

    // Mouse on the track bar's handle, as a user drags it.
    QPoint HandleCentre(QSlider* slider)
    {
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        option.upsideDown = slider->invertedAppearance();
        option.rect = slider->rect();
        return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
    }

    void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    zqbsim::ModuleSimulator module;
    ScriptedDialogs dialogs;
    SimulatedHostNetwork hostBackend;
    HostNetwork hostNetwork{hostBackend, [this](const std::string& text) { dialogs.ShowError(QString::fromStdString(text)); }};
    RecordingPauses pauses;
    QTemporaryDir lockDir;
    ModuleLink link{hostNetwork, dialogs, pauses, lockDir.path().toStdString()};
    SessionContext& context = link.Context();
    std::unique_ptr<TForm1> form;
};

}  // namespace zqb::test
