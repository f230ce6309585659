// The bridge judges a module's answers as zqb does: the same reply for the same outcome.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "bridge/CoreModuleClient.h"
#include "sim/ModuleSimulator.h"

namespace zqb::bridge::test {
namespace {

// A module that answers every frame with the same bytes: for acknowledgements the simulator
// never gives.
class FixedReplyModule {
public:
    explicit FixedReplyModule(QByteArray reply) : reply_(std::move(reply))
    {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    received_ += socket->readAll();
                    socket->write(reply_);
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    std::uint16_t Port() const { return server_.serverPort(); }
    const QByteArray& Received() const { return received_; }

private:
    QByteArray reply_;
    QByteArray received_;
    QTcpServer server_;
};

TEST(BridgeChecks, ASetDoAcknowledgementThatReportsTheOtherLevelIsAMismatch)
{
    struct Case {
        bool on;
        const char* reply;  // magic, Set DO, status 6, DO bits, DI bits
        const char* outcome;
    };
    const Case cases[] = {
        {true, "5A3577A5D0060100", "delivered"},
        {true, "5A3577A5D0060000", "verdict_mismatch"},
        {true, "5A3577A5D0060200", "verdict_mismatch"},  // another output's bit is no DO0
        {false, "5A3577A5D0060003", "delivered"},
        {false, "5A3577A5D0060103", "verdict_mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.on ? "on / " : "off / ") + c.reply);
        FixedReplyModule module(QByteArray::fromHex(c.reply));
        CoreModuleClient client(QStringLiteral("127.0.0.1"), module.Port(), {}, {500, 300});
        const Outcome outcome = client.SetDo(c.on);
        EXPECT_STREQ(OutcomeKindName(outcome.kind), c.outcome) << DescribeOutcome(outcome).toStdString();
        EXPECT_EQ(module.Received().toHex(), QByteArray(c.on ? "5a3577a5d00101" : "5a3577a5d00100"));
    }
}

TEST(BridgeChecks, TheAnalogOutputReadsAsZqbShowsIt)
{
    struct Case {
        std::uint16_t reported;
        std::int32_t shown;
    };
    for (const Case c : {Case{100, 100}, Case{4095, 4095}, Case{4096, 4095}, Case{65535, 4095}}) {
        SCOPED_TRACE(c.reported);
        zqbsim::ModuleSimulator module;
        zqbsim::ModuleState state;
        state.dacCode = c.reported;
        module.SetState(state);
        ASSERT_TRUE(module.Start());
        CoreModuleClient client(QStringLiteral("127.0.0.1"), module.Port(), {}, {500, 300});
        const Result<IoState> io = client.ReadIo();
        ASSERT_TRUE(io.Ok()) << DescribeOutcome(io.outcome).toStdString();
        EXPECT_EQ(io.value.dacCode, c.shown);
    }
}

}  // namespace
}  // namespace zqb::bridge::test
