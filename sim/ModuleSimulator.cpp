#include "sim/ModuleSimulator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <utility>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include "sim/SimModuleLogic.h"

namespace zqbsim {

namespace {

// The short announcement has no reply to wait for, so its end is only seen by a pause.
constexpr int kAnnouncementGraceMs = 30;
// A peer that neither sends nor closes for this long is dropped, so no connection outlives a test.
constexpr int kIdleLimitMs = 60000;
// While a stall is asked for, accepted sockets get a receive window this small (the kernel
// doubles it and keeps a floor) and Qt buffers no more than kStallReadBuffer on top, so a peer
// that goes on writing soon finds its own buffers full.
constexpr int kStallReceiveBuffer = 2048;
constexpr qint64 kStallReadBuffer = 512;
// How long a module that took a whole file waits before it resets the data connection.
constexpr int kResetAfterAllMs = 50;
// How often a stalled connection looks for the peer's reset or close, which Qt no longer
// reports once its buffer is full.
constexpr int kStallWatchMs = 20;

bool IsLoopbackV4(const QHostAddress& address)
{
    return address.protocol() == QAbstractSocket::IPv4Protocol && (address.toIPv4Address() >> 24) == 127;
}

// State shared between the caller's threads and the simulator thread.
struct Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    logic::ModuleCore core;
    Misbehaviour behaviour;
    std::vector<QByteArray> frames;
    std::uint64_t framesGeneration = 0;  // bumped by ClearFrames so late bytes do not land in a new list
    int connectionCount = 0;
    std::optional<logic::Announcement> pendingData;
    std::vector<ConnectionRecord> log;
    std::uint64_t logGeneration = 0;  // bumped by ClearConnections, like framesGeneration
    std::uint64_t sequence = 0;       // never reset, so sequence numbers stay comparable

    // Appends an entry for a connection just accepted; the caller holds the lock.
    std::size_t Opened(ConnectionRecord record)
    {
        record.openedSeq = ++sequence;
        log.push_back(std::move(record));
        return log.size() - 1;
    }
};

class Server;

// One accepted connection: a command frame, or the raw data of an announced file.
class Connection : public QObject {
public:
    Connection(Server& server, Shared& shared, QTcpSocket* socket, std::optional<logic::Announcement> data,
               std::size_t logIndex, std::uint64_t logGeneration);
    ~Connection() override;

    // A new connection arrived: a short announcement still waiting for more bytes ends now.
    void EndAnnouncementWait();
    // Closes at once, throwing away whatever is unread or unsent.
    void Drop();
    void ResetConnection();
    void ResetOnClose();
    // Closes once what is queued to send has gone out.
    void HangUp();
    // When the peer has closed already, takes what it sent and its close now.
    void CatchUpWithPeer();

private:
    void OnReadyRead();
    void OnDisconnected();
    void TakeCommandBytes();
    void Decide(bool peerClosed);
    void SendPieces(QByteArray rest, std::vector<int> pieces, std::size_t next, int delayMs);
    void RebootIfDue();
    void TakeDataBytes();
    void Stall();
    void WatchStalledPeer();
    bool PeerClosed() const;
    // Changes this connection's log entry; the caller holds the lock.
    template <typename F>
    void Log(F change)
    {
        if (logGeneration_ == shared_.logGeneration && logIndex_ < shared_.log.size()) change(shared_.log[logIndex_]);
    }
    void LogClosed();
    // Notes, before the socket goes, what the stack took but nobody read.
    void NoteAcknowledged();

    Server& server_;
    Shared& shared_;
    QTcpSocket* socket_;
    QTimer grace_;
    QTimer idle_;
    std::size_t logIndex_;
    std::uint64_t logGeneration_;
    bool closeLogged_ = false;
    // command connection
    QByteArray frame_;
    bool decided_ = false;
    std::size_t frameIndex_ = 0;
    std::uint64_t frameGeneration_ = 0;
    int rebootDowntimeMs_ = 0;  // a restart waiting for its reply to go out
    // data connection
    std::optional<logic::Announcement> data_;
    qint64 received_ = 0;
    qint64 dropAfter_ = -1;
    bool resetAfterAll_ = false;
    qint64 stallAfter_ = -1;
    int stallCloseMs_ = 0;
    bool stalled_ = false;
    QTimer stallWatch_;
    bool gone_ = false;
};

// Lives on the simulator thread; owns the listener and every connection. The listener is open
// unless connects are refused by request, by a restart's downtime or by a data refusal.
class Server : public QObject {
public:
    explicit Server(Shared& shared) : shared_(shared)
    {
        connect(&tcp_, &QTcpServer::newConnection, this, &Server::Accept);
        for (QTimer* t : {&downtime_, &dataRefusal_}) {
            t->setSingleShot(true);
            t->setTimerType(Qt::PreciseTimer);
        }
        connect(&downtime_, &QTimer::timeout, this, &Server::UpdateListening);
        connect(&dataRefusal_, &QTimer::timeout, this, [this] {
            // The data connection never came; what follows is commands again.
            {
                std::lock_guard lock(shared_.mutex);
                shared_.pendingData.reset();
            }
            UpdateListening();
        });
    }

    ~Server() override
    {
        // Connections unregister themselves; delete them before the members they refer to.
        const auto all = connections_;
        for (Connection* c : all) delete c;
    }

    bool Listen(const QHostAddress& address, std::uint16_t port)
    {
        if (!tcp_.listen(address, port)) return false;
        address_ = address;
        port_ = tcp_.serverPort();
        ApplyReceiveBuffer();
        return true;
    }

    std::uint16_t Port() const { return port_; }

    void SetRefusing(bool refusing)
    {
        refusing_ = refusing;
        UpdateListening();
    }

    void SetSmallReceiveBuffer(bool small)
    {
        if (small == smallReceiveBuffer_) return;
        smallReceiveBuffer_ = small;
        ApplyReceiveBuffer();
    }

    // The module reboots: off the network for `downtimeMs`, every connection closed; `cause`
    // (whose reply, if any, is already out) closes once that reply has gone.
    void Reboot(int downtimeMs, Connection* cause)
    {
        downtime_.start(std::max({downtimeMs, downtime_.remainingTime(), 0}));
        UpdateListening();
        const auto all = connections_;
        for (Connection* c : all)
            if (c != cause) c->Drop();
        if (cause) cause->HangUp();
    }

    void RefuseData(int ms)
    {
        dataRefusal_.start(std::max({ms, dataRefusal_.remainingTime(), 0}));
        UpdateListening();
    }

    void Register(Connection* c) { connections_.insert(c); }
    void Forget(Connection* c)
    {
        connections_.erase(c);
        waiting_.erase(c);
    }
    void SetWaiting(Connection* c, bool waiting)
    {
        if (waiting)
            waiting_.insert(c);
        else
            waiting_.erase(c);
    }

private:
    void UpdateListening()
    {
        const bool listen = !refusing_ && !downtime_.isActive() && !dataRefusal_.isActive();
        if (!listen) {
            tcp_.close();
        } else if (!tcp_.isListening()) {
            if (tcp_.listen(address_, port_)) {
                shrunk_ = false;  // a new socket, with the system's buffer
                ApplyReceiveBuffer();
            } else {
                qWarning("zqb-sim: cannot listen again on %s:%u: %s", qPrintable(address_.toString()), port_,
                         qPrintable(tcp_.errorString()));
            }
        }
    }

    // Accepted sockets inherit the listener's receive buffer, and the window they offer is fixed
    // from it at the handshake, so it is set on the listener.
    void ApplyReceiveBuffer()
    {
        if (!tcp_.isListening()) return;
        const int fd = static_cast<int>(tcp_.socketDescriptor());
        if (smallReceiveBuffer_) {
            if (!shrunk_) {
                socklen_t size = sizeof normalReceiveBuffer_;
                if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &normalReceiveBuffer_, &size) != 0) normalReceiveBuffer_ = 0;
            }
            const int small = kStallReceiveBuffer;
            shrunk_ = ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small) == 0;
        } else if (shrunk_) {
            // The kernel reports twice what it was given.
            const int normal = normalReceiveBuffer_ / 2;
            if (normal > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &normal, sizeof normal);
            shrunk_ = false;
        }
    }

    void Accept()
    {
        while (QTcpSocket* socket = tcp_.nextPendingConnection()) {
            const auto waiting = waiting_;
            for (Connection* c : waiting) c->EndAnnouncementWait();
            // A peer that closed one connection and then opened this one sees them in that order;
            // the log must too, though the close may not have been read yet.
            const auto open = connections_;
            for (Connection* c : open) c->CatchUpWithPeer();
            // An announcement decided just now may have refused its data connection, and this
            // one got in first: it is turned away as the listener would have done.
            const bool refused = dataRefusal_.isActive() || downtime_.isActive();
            std::optional<logic::Announcement> data;
            std::size_t logIndex = 0;
            std::uint64_t logGeneration = 0;
            {
                std::lock_guard lock(shared_.mutex);
                ++shared_.connectionCount;
                if (refused)
                    data = shared_.pendingData;
                else
                    data.swap(shared_.pendingData);
                ConnectionRecord record;
                if (data) {
                    record.kind = ConnectionRecord::Kind::Data;
                    record.fileName = data->name;
                }
                logIndex = shared_.Opened(std::move(record));
                logGeneration = shared_.logGeneration;
                if (refused) shared_.log[logIndex].closedSeq = ++shared_.sequence;
            }
            if (refused) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            new Connection(*this, shared_, socket, std::move(data), logIndex, logGeneration);
        }
    }

    Shared& shared_;
    QTcpServer tcp_;
    QHostAddress address_{QHostAddress::LocalHost};
    std::uint16_t port_ = 0;
    bool refusing_ = false;
    bool smallReceiveBuffer_ = false;
    bool shrunk_ = false;
    int normalReceiveBuffer_ = 0;
    QTimer downtime_;
    QTimer dataRefusal_;
    std::set<Connection*> connections_;
    std::set<Connection*> waiting_;
};

Connection::Connection(Server& server, Shared& shared, QTcpSocket* socket, std::optional<logic::Announcement> data,
                       std::size_t logIndex, std::uint64_t logGeneration)
    : server_(server), shared_(shared), socket_(socket), logIndex_(logIndex), logGeneration_(logGeneration),
      data_(std::move(data))
{
    server_.Register(this);
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    grace_.setSingleShot(true);
    connect(&grace_, &QTimer::timeout, this, [this] { Decide(false); });
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, &Connection::Drop);
    idle_.start(kIdleLimitMs);
    connect(&stallWatch_, &QTimer::timeout, this, &Connection::WatchStalledPeer);
    connect(socket_, &QTcpSocket::readyRead, this, &Connection::OnReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &Connection::OnDisconnected);

    if (data_) {
        std::lock_guard lock(shared_.mutex);
        dropAfter_ = shared_.behaviour.dropDataAfterBytes;
        resetAfterAll_ = shared_.behaviour.resetDataAfterAll;
        stallAfter_ = shared_.behaviour.stallDataAfterBytes;
        stallCloseMs_ = shared_.behaviour.stallDataCloseMs;
    }
    // Nothing is read before this point, so the limit holds from the first byte.
    if (stallAfter_ >= 0) socket_->setReadBufferSize(kStallReadBuffer);
    // Bytes may already be waiting when the connection is handed over.
    if (socket_->bytesAvailable() > 0) OnReadyRead();
}

Connection::~Connection()
{
    // A module that goes away with part of a file unread resets the data connection.
    if (!gone_ && data_ && received_ < static_cast<qint64>(data_->length)) ResetOnClose();
    if (!gone_) NoteAcknowledged();
    LogClosed();
    server_.Forget(this);
}

void Connection::NoteAcknowledged()
{
    if (closeLogged_) return;
    const int fd = static_cast<int>(socket_->socketDescriptor());
    int queued = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &queued) != 0) queued = 0;
    const qint64 unread = socket_->bytesAvailable() + queued;
    std::lock_guard lock(shared_.mutex);
    Log([&](ConnectionRecord& r) { r.bytesAcknowledged = r.bytesReceived + unread; });
}

void Connection::LogClosed()
{
    if (closeLogged_) return;
    closeLogged_ = true;
    std::lock_guard lock(shared_.mutex);
    Log([&](ConnectionRecord& r) { r.closedSeq = ++shared_.sequence; });
}

void Connection::EndAnnouncementWait()
{
    if (!decided_ && grace_.isActive()) {
        grace_.stop();
        Decide(false);
    }
}

void Connection::OnReadyRead()
{
    if (gone_) return;
    idle_.start(kIdleLimitMs);
    if (data_)
        TakeDataBytes();
    else
        TakeCommandBytes();
}

void Connection::OnDisconnected()
{
    if (gone_) return;
    // What arrived just before the close is still readable.
    if (socket_->bytesAvailable() > 0) OnReadyRead();
    if (!data_ && !decided_ && !frame_.isEmpty()) Decide(true);
    Drop();
}

void Connection::Drop()
{
    if (gone_) return;
    NoteAcknowledged();
    // Part of a file left unread: the close resets the connection, as the module's does.
    if (data_ && received_ < static_cast<qint64>(data_->length)) ResetOnClose();
    gone_ = true;
    grace_.stop();
    idle_.stop();
    stallWatch_.stop();
    server_.SetWaiting(this, false);
    socket_->abort();
    LogClosed();
    deleteLater();
    // A restart whose reply never got out still happens.
    RebootIfDue();
}

// A module that gives up on a file closes with the rest of it unread, which resets the
// connection: the sender learns that not all of it arrived.
void Connection::ResetConnection()
{
    ResetOnClose();
    Drop();
}

void Connection::ResetOnClose()
{
    const int fd = static_cast<int>(socket_->socketDescriptor());
    if (fd < 0) return;
    const linger immediately{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
}

void Connection::HangUp()
{
    if (gone_) return;
    socket_->disconnectFromHost();
    if (socket_->state() == QAbstractSocket::UnconnectedState) Drop();
}

void Connection::TakeCommandBytes()
{
    const QByteArray bytes = socket_->readAll();
    if (bytes.isEmpty()) return;
    if (decided_) {
        // Bytes after the frame still belong to what this connection sent.
        std::lock_guard lock(shared_.mutex);
        if (frameGeneration_ == shared_.framesGeneration && frameIndex_ < shared_.frames.size())
            shared_.frames[frameIndex_].append(bytes);
        Log([&](ConnectionRecord& r) { r.bytesReceived += bytes.size(); });
        return;
    }
    frame_.append(bytes);
    {
        std::lock_guard lock(shared_.mutex);
        Log([&](ConnectionRecord& r) {
            r.bytesReceived += bytes.size();
            if (frame_.size() > 4) r.code = static_cast<std::uint8_t>(frame_[4]);
        });
    }
    if (!logic::MagicSoFar(frame_)) {
        Decide(false);
    } else if (logic::FrameComplete(frame_)) {
        if (logic::MayGrow(frame_)) {
            if (!grace_.isActive()) {
                grace_.start(kAnnouncementGraceMs);
                server_.SetWaiting(this, true);
            }
        } else {
            grace_.stop();
            Decide(false);
        }
    }
}

void Connection::Decide(bool peerClosed)
{
    if (decided_) return;
    decided_ = true;
    server_.SetWaiting(this, false);
    const bool act = logic::MagicSoFar(frame_) && logic::FrameComplete(frame_);
    const std::uint8_t code = frame_.size() > 4 ? static_cast<std::uint8_t>(frame_[4]) : 0;
    logic::Outcome outcome;
    Misbehaviour behaviour;
    {
        std::lock_guard lock(shared_.mutex);
        shared_.frames.push_back(frame_);
        frameIndex_ = shared_.frames.size() - 1;
        frameGeneration_ = shared_.framesGeneration;
        if (act) {
            outcome = logic::Execute(frame_, shared_.core);
            if (outcome.announcement) {
                logic::BeginFile(shared_.core, *outcome.announcement);
                shared_.pendingData = outcome.announcement;
            }
            // A reboot forgets an announcement whose data never came.
            if (outcome.restart) shared_.pendingData.reset();
        }
        behaviour = shared_.behaviour;
    }
    shared_.changed.notify_all();

    if (!act) return;
    if (outcome.announcement && behaviour.refuseDataMs > 0) server_.RefuseData(behaviour.refuseDataMs);
    if (outcome.restart) rebootDowntimeMs_ = behaviour.restartDowntimeMs;
    if (peerClosed) {
        RebootIfDue();
        return;
    }
    if (behaviour.closeWithoutReply) {
        socket_->disconnectFromHost();
        RebootIfDue();
        return;
    }
    if (behaviour.silent || behaviour.silentFor.count(code) > 0 || !outcome.reply) {
        RebootIfDue();
        return;
    }
    QByteArray reply = logic::ShapeReply(*outcome.reply, code, behaviour);
    const auto delayFor = behaviour.replyDelayFor.find(code);
    const int delayMs = delayFor != behaviour.replyDelayFor.end() ? delayFor->second : behaviour.replyDelayMs;
    if (delayMs > 0) {
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this,
                           [this, reply, pieces = behaviour.splitPieces, delay = behaviour.pieceDelayMs] {
                               SendPieces(reply, pieces, 0, delay);
                           });
    } else {
        SendPieces(reply, behaviour.splitPieces, 0, behaviour.pieceDelayMs);
    }
}

void Connection::SendPieces(QByteArray rest, std::vector<int> pieces, std::size_t next, int delayMs)
{
    if (gone_ || socket_->state() != QAbstractSocket::ConnectedState) {
        RebootIfDue();
        return;
    }
    qsizetype n = rest.size();
    if (next < pieces.size()) n = std::clamp<qsizetype>(pieces[next], 1, rest.size());
    socket_->write(rest.constData(), n);
    socket_->flush();
    rest.remove(0, n);
    if (rest.isEmpty()) {
        RebootIfDue();
        return;
    }
    auto more = [this, rest, pieces, next, delayMs] { SendPieces(rest, pieces, next + 1, delayMs); };
    if (delayMs > 0)
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this, more);
    else
        more();
}

// Only with a downtime does a restart touch the network; without one, connections stay as they were.
void Connection::RebootIfDue()
{
    if (rebootDowntimeMs_ <= 0) return;
    const int downtimeMs = std::exchange(rebootDowntimeMs_, 0);
    server_.Reboot(downtimeMs, this);
}

void Connection::TakeDataBytes()
{
    // A stalled reader leaves the bytes where they are, so the buffers fill and the peer blocks.
    if (stalled_) return;
    const qint64 length = data_->length;
    bool completed = false;
    while (socket_->bytesAvailable() > 0) {
        qint64 room = length - received_;
        if (dropAfter_ >= 0) room = std::min(room, dropAfter_ - received_);
        if (stallAfter_ >= 0) room = std::min(room, stallAfter_ - received_);
        if (room <= 0) break;
        const QByteArray chunk = socket_->read(std::min(room, socket_->bytesAvailable()));
        if (chunk.isEmpty()) break;
        received_ += chunk.size();
        std::lock_guard lock(shared_.mutex);
        completed = logic::AppendFileData(shared_.core, data_->name, chunk) || completed;
        Log([&](ConnectionRecord& r) { r.bytesReceived += chunk.size(); });
    }
    if (completed) shared_.changed.notify_all();
    if (received_ >= length) {
        // Anything past the announced length is not part of the file.
        const QByteArray surplus = socket_->readAll();
        {
            std::lock_guard lock(shared_.mutex);
            Log([&](ConnectionRecord& r) { r.bytesReceived += surplus.size(); });
        }
        // Some stacks end a connection they are done with by a reset, not a close; their
        // acknowledgements of the last bytes go out first.
        if (resetAfterAll_) QTimer::singleShot(kResetAfterAllMs, Qt::PreciseTimer, this, [this] {
            if (!gone_) ResetConnection();
        });
    } else if (dropAfter_ >= 0 && received_ >= dropAfter_) {
        ResetConnection();
    } else if (stallAfter_ >= 0 && received_ >= stallAfter_) {
        Stall();
    }
}

void Connection::Stall()
{
    stalled_ = true;
    // Take nothing more from the kernel, not even the peer's end of sending: what the peer sent
    // stays unread, so closing resets the connection as the module's stack would.
    socket_->setReadBufferSize(1);
    // Closing with the rest of the file unread resets the connection.
    if (stallCloseMs_ > 0) QTimer::singleShot(stallCloseMs_, Qt::PreciseTimer, this, &Connection::ResetConnection);
    stallWatch_.start(kStallWatchMs);
}

void Connection::WatchStalledPeer()
{
    if (!gone_ && PeerClosed()) ResetConnection();
}

// Seen in the kernel before Qt reads it: a reset, or the peer's end of sending.
bool Connection::PeerClosed() const
{
    pollfd p{};
    p.fd = static_cast<int>(socket_->socketDescriptor());
    p.events = POLLRDHUP;
    return p.fd < 0 || (::poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP | POLLRDHUP)));
}

void Connection::CatchUpWithPeer()
{
    if (gone_ || !PeerClosed()) return;
    if (stalled_) {
        ResetConnection();
        return;
    }
    // Reads what is left; reading the end of it emits disconnected, which drops the connection.
    while (!gone_ && socket_->waitForReadyRead(0)) {
    }
    if (!gone_) OnDisconnected();
}

// Runs the server's event loop; the server is created and destroyed on this thread.
class SimulatorThread : public QThread {
public:
    SimulatorThread(Shared& shared, const QHostAddress& address, std::uint16_t port, const Misbehaviour& behaviour)
        : shared_(shared), address_(address), port_(port), refusing_(behaviour.refuseConnections),
          smallReceiveBuffer_(behaviour.stallDataAfterBytes >= 0)
    {
    }

    // Blocks until the server listens or failed to.
    bool WaitUntilReady()
    {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return state_ != Starting; });
        return state_ == Running;
    }

    std::uint16_t Port() const { return port_; }

    // Runs f(server) on the simulator thread and waits for it.
    template <typename F>
    void RunOnServer(F f)
    {
        Server* server = nullptr;
        {
            std::lock_guard lock(mutex_);
            server = server_;
        }
        if (server) QMetaObject::invokeMethod(server, [server, f] { f(*server); }, Qt::BlockingQueuedConnection);
    }

protected:
    void run() override
    {
        Server server(shared_);
        if (!server.Listen(address_, port_)) {
            SetState(Failed, nullptr);
            return;
        }
        port_ = server.Port();
        server.SetSmallReceiveBuffer(smallReceiveBuffer_);
        server.SetRefusing(refusing_);
        // Report readiness from inside the loop, so a quit() that follows finds it running.
        QMetaObject::invokeMethod(&server, [this, &server] { SetState(Running, &server); }, Qt::QueuedConnection);
        exec();
        SetState(Stopped, nullptr);
    }

private:
    enum State { Starting, Running, Failed, Stopped };

    void SetState(State state, Server* server)
    {
        {
            std::lock_guard lock(mutex_);
            state_ = state;
            server_ = server;
        }
        ready_.notify_all();
    }

    Shared& shared_;
    const QHostAddress address_;
    std::atomic<std::uint16_t> port_;
    const bool refusing_;
    const bool smallReceiveBuffer_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    State state_ = Starting;
    Server* server_ = nullptr;
};

// A change that wrote the file itself keeps it as written.
void FollowSettings(const ModuleState& before, ModuleState& after)
{
    if (after.configRecord == before.configRecord) logic::PatchChangedSettings(before, after);
}

}  // namespace

ModuleState::ModuleState() { configRecord = logic::SettingsRecord(*this); }

struct ModuleSimulator::Impl {
    Shared shared;
    std::mutex lifecycle;  // Start, Stop and listener switches; never taken on the simulator thread
    std::unique_ptr<SimulatorThread> thread;
    std::atomic<std::uint16_t> port{0};
    QHostAddress address{QHostAddress::LocalHost};  // under `lifecycle`

    void StopThread()
    {
        if (!thread) return;
        thread->quit();
        thread->wait();
        thread.reset();
    }
};

ModuleSimulator::ModuleSimulator() : impl_(std::make_unique<Impl>()) {}

ModuleSimulator::~ModuleSimulator() { Stop(); }

bool ModuleSimulator::Start(std::uint16_t port, const QHostAddress& address)
{
    // Never where a real network could reach it.
    if (!IsLoopbackV4(address)) return false;
    std::lock_guard life(impl_->lifecycle);
    if (impl_->thread) return false;
    Misbehaviour behaviour;
    {
        std::lock_guard lock(impl_->shared.mutex);
        behaviour = impl_->shared.behaviour;
    }
    impl_->thread = std::make_unique<SimulatorThread>(impl_->shared, address, port, behaviour);
    impl_->thread->start();
    if (!impl_->thread->WaitUntilReady()) {
        impl_->StopThread();
        return false;
    }
    impl_->port = impl_->thread->Port();
    impl_->address = address;
    return true;
}

void ModuleSimulator::Stop()
{
    std::lock_guard life(impl_->lifecycle);
    impl_->StopThread();
    std::lock_guard lock(impl_->shared.mutex);
    impl_->shared.pendingData.reset();
}

std::uint16_t ModuleSimulator::Port() const { return impl_->port; }

QHostAddress ModuleSimulator::Address() const
{
    std::lock_guard life(impl_->lifecycle);
    return impl_->address;
}

ModuleState ModuleSimulator::State() const
{
    std::lock_guard lock(impl_->shared.mutex);
    return impl_->shared.core.state;
}

void ModuleSimulator::SetState(const ModuleState& state)
{
    std::lock_guard lock(impl_->shared.mutex);
    ModuleState next = state;
    FollowSettings(impl_->shared.core.state, next);
    impl_->shared.core.state = std::move(next);
}

void ModuleSimulator::Update(const std::function<void(ModuleState&)>& change)
{
    std::lock_guard lock(impl_->shared.mutex);
    ModuleState& state = impl_->shared.core.state;
    const ModuleState before = state;
    change(state);
    FollowSettings(before, state);
}

Misbehaviour ModuleSimulator::Behaviour() const
{
    std::lock_guard lock(impl_->shared.mutex);
    return impl_->shared.behaviour;
}

void ModuleSimulator::SetBehaviour(const Misbehaviour& behaviour)
{
    std::lock_guard life(impl_->lifecycle);
    Misbehaviour was;
    {
        std::lock_guard lock(impl_->shared.mutex);
        was = std::exchange(impl_->shared.behaviour, behaviour);
    }
    const bool small = behaviour.stallDataAfterBytes >= 0;
    if (impl_->thread &&
        (was.refuseConnections != behaviour.refuseConnections || (was.stallDataAfterBytes >= 0) != small)) {
        // Done on the simulator thread and waited for, so a connect right after this call sees it.
        const bool refusing = behaviour.refuseConnections;
        impl_->thread->RunOnServer([refusing, small](Server& server) {
            server.SetSmallReceiveBuffer(small);
            server.SetRefusing(refusing);
        });
    }
}

std::vector<QByteArray> ModuleSimulator::Frames() const
{
    std::lock_guard lock(impl_->shared.mutex);
    return impl_->shared.frames;
}

void ModuleSimulator::ClearFrames()
{
    std::lock_guard lock(impl_->shared.mutex);
    impl_->shared.frames.clear();
    ++impl_->shared.framesGeneration;
}

bool ModuleSimulator::WaitForFrames(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(impl_->shared.mutex);
    return impl_->shared.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [&] { return impl_->shared.frames.size() >= count; });
}

int ModuleSimulator::ConnectionCount() const
{
    std::lock_guard lock(impl_->shared.mutex);
    return impl_->shared.connectionCount;
}

std::vector<ConnectionRecord> ModuleSimulator::Connections() const
{
    std::lock_guard lock(impl_->shared.mutex);
    return impl_->shared.log;
}

void ModuleSimulator::ClearConnections()
{
    std::lock_guard lock(impl_->shared.mutex);
    impl_->shared.log.clear();
    ++impl_->shared.logGeneration;
}

std::map<QByteArray, StoredFile> ModuleSimulator::Files() const
{
    std::lock_guard lock(impl_->shared.mutex);
    return impl_->shared.core.files;
}

bool ModuleSimulator::WaitForFile(const QByteArray& name, int timeoutMs) const
{
    std::unique_lock lock(impl_->shared.mutex);
    const auto& files = impl_->shared.core.files;
    return impl_->shared.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        const auto it = files.find(name);
        return it != files.end() && it->second.complete;
    });
}

}  // namespace zqbsim
