#pragma once

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "CommandTransport.h"
#include "HexBytes.h"
#include "LinkGate.h"
#include "ModuleSimulator.h"
#include "RecordingDisplay.h"
#include "ReplyHandler.h"
#include "SessionContext.h"

namespace zqb::test {

// Counts what reply handling asks of the link layer and answers with a fixed verdict.
class FakeLinkGate : public LinkGate {
public:
    explicit FakeLinkGate(SessionContext& context) : context_(context) {}
    std::uint8_t PrepareLink() override
    {
        ++prepareCalls;
        return reachable;
    }
    std::uint8_t RequestLink() override
    {
        ++requestCalls;
        if (!PrepareLink()) return 0;
        context_.session.queuedCommand = 33;
        return 1;
    }
    std::uint8_t reachable = 1;
    int prepareCalls = 0;
    int requestCalls = 0;

private:
    SessionContext& context_;
};

// A fresh context wired to the transport and reply handling, talking to a simulated module on
// 127.0.0.1 (started on demand).
class ProtocolRig : public ::testing::Test {
protected:
    ProtocolRig()
    {
        transport.SetReplyHandler([this](std::size_t n) { replies.HandleReply(n); });
        replies.SetLinkGate(&gate);
        context.session.hostAddress = QStringLiteral("127.0.0.1");
    }

    void StartModule()
    {
        ASSERT_TRUE(module.Start());
        context.session.hostPort = module.Port();
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
    SessionContext context;
    RecordingDisplay display{&context};
    CommandTransport transport{context, display};
    ReplyHandler replies{context, display, transport};
    FakeLinkGate gate{context};
};

}  // namespace zqb::test
