#pragma once

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include "support/HexBytes.h"
#include "link/HostNetworkScan.h"
#include "link/ModuleLink.h"
#include "sim/ModuleSimulator.h"
#include "support/RecordingDisplay.h"
#include "support/ScriptedDialogs.h"
#include "link/SimulatedHostNetwork.h"

namespace zqb::test {

// The console's link to a simulated module on 127.0.0.1 (started on demand), wired as the
// programs wire it, reporting to a recording display. The host has one Wi-Fi interface in
// 127.0.0.x, so the network check passes until a test takes it away.
template <class Display = RecordingDisplay>
class ModuleBenchWith {
public:
    ModuleBenchWith()
    {
        hostBackend.AddWifi("127.0.0.5");
        display.Watch(context);
        link.AimAt(QStringLiteral("127.0.0.1"), DefaultHostPort);
    }

    void StartModule()
    {
        ASSERT_TRUE(module.Start());
        link.AimAt(QStringLiteral("127.0.0.1"), module.Port());
    }

    // Host network scans so far: one per network check (PrepareLink).
    int Scans() const { return hostBackend.adapterScans; }
    // Takes the host off the module's network, or puts it back.
    void SetNetworkReachable(bool reachable)
    {
        hostBackend.adapters.clear();
        hostBackend.interfaces.clear();
        if (reachable) hostBackend.AddWifi("127.0.0.5");
    }

    // Puts a reply into ReplyBuffer as if it had just been received.
    void Receive(const QByteArray& bytes)
    {
        context.replyBuffer.fill(0);
        std::copy(bytes.begin(), bytes.end(), context.replyBuffer.begin());
    }

    QByteArray LastFrame(int timeoutMs = 2000)
    {
        if (!module.WaitForFrames(1, timeoutMs)) return {};
        return module.Frames().back();
    }

    zqbsim::ModuleSimulator module;
    ScriptedDialogs dialogs;
    SimulatedHostNetwork hostBackend;
    HostNetwork hostNetwork{hostBackend, [this](const std::string& text) { dialogs.ShowError(QString::fromStdString(text)); }};
    Display display;
    RecordingPauses pauses;
    QTemporaryDir lockDir;
    ModuleLink link{display, hostNetwork, dialogs, pauses, lockDir.path().toStdString()};
    SessionContext& context = link.Context();
    CommandTransport& transport = link.Transport();
    ReplyHandler& replies = link.Replies();
    LinkSupervisor& supervisor = link.Supervisor();
};

using ModuleBench = ModuleBenchWith<>;

class ProtocolRig : public ::testing::Test, public ModuleBench {};

}  // namespace zqb::test
