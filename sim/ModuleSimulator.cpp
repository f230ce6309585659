#include "ModuleSimulator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include "SimModuleLogic.h"

namespace zqbsim {

namespace {

// The short announcement has no reply to wait for, so its end is only seen by a pause.
constexpr int kAnnouncementGraceMs = 30;
// A peer that neither sends nor closes for this long is dropped, so no connection outlives a test.
constexpr int kIdleLimitMs = 60000;

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
};

class Server;

// One accepted connection: a command frame, or the raw data of an announced file.
class Connection : public QObject {
public:
    Connection(Server& server, Shared& shared, QTcpSocket* socket, std::optional<logic::Announcement> data);
    ~Connection() override;

    // A new connection arrived: a short announcement still waiting for more bytes ends now.
    void EndAnnouncementWait();

private:
    void OnReadyRead();
    void OnDisconnected();
    void TakeCommandBytes();
    void Decide(bool peerClosed);
    void SendPieces(QByteArray rest, std::vector<int> pieces, std::size_t next, int delayMs);
    void TakeDataBytes();
    void Drop();

    Server& server_;
    Shared& shared_;
    QTcpSocket* socket_;
    QTimer grace_;
    QTimer idle_;
    // command connection
    QByteArray frame_;
    bool decided_ = false;
    std::size_t frameIndex_ = 0;
    std::uint64_t frameGeneration_ = 0;
    // data connection
    std::optional<logic::Announcement> data_;
    qint64 received_ = 0;
    qint64 dropAfter_ = -1;
    bool gone_ = false;
};

// Lives on the simulator thread; owns the listener and every connection.
class Server : public QObject {
public:
    explicit Server(Shared& shared) : shared_(shared)
    {
        connect(&tcp_, &QTcpServer::newConnection, this, &Server::Accept);
    }

    ~Server() override
    {
        // Connections unregister themselves; delete them before the members they refer to.
        const auto all = connections_;
        for (Connection* c : all) delete c;
    }

    bool Listen(std::uint16_t port)
    {
        if (!tcp_.listen(QHostAddress::LocalHost, port)) return false;
        port_ = tcp_.serverPort();
        return true;
    }

    std::uint16_t Port() const { return port_; }

    void SetListening(bool on)
    {
        if (!on) {
            tcp_.close();
        } else if (!tcp_.isListening() && !tcp_.listen(QHostAddress::LocalHost, port_)) {
            qWarning("zqb-sim: cannot listen again on 127.0.0.1:%u: %s", port_, qPrintable(tcp_.errorString()));
        }
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
    void Accept()
    {
        while (QTcpSocket* socket = tcp_.nextPendingConnection()) {
            const auto waiting = waiting_;
            for (Connection* c : waiting) c->EndAnnouncementWait();
            std::optional<logic::Announcement> data;
            {
                std::lock_guard lock(shared_.mutex);
                ++shared_.connectionCount;
                data.swap(shared_.pendingData);
            }
            new Connection(*this, shared_, socket, std::move(data));
        }
    }

    Shared& shared_;
    QTcpServer tcp_;
    std::uint16_t port_ = 0;
    std::set<Connection*> connections_;
    std::set<Connection*> waiting_;
};

Connection::Connection(Server& server, Shared& shared, QTcpSocket* socket, std::optional<logic::Announcement> data)
    : server_(server), shared_(shared), socket_(socket), data_(std::move(data))
{
    server_.Register(this);
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    grace_.setSingleShot(true);
    connect(&grace_, &QTimer::timeout, this, [this] { Decide(false); });
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, &Connection::Drop);
    idle_.start(kIdleLimitMs);
    connect(socket_, &QTcpSocket::readyRead, this, &Connection::OnReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &Connection::OnDisconnected);

    if (data_) {
        std::lock_guard lock(shared_.mutex);
        dropAfter_ = shared_.behaviour.dropDataAfterBytes;
    }
    // Bytes may already be waiting when the connection is handed over.
    if (socket_->bytesAvailable() > 0) OnReadyRead();
}

Connection::~Connection() { server_.Forget(this); }

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
    gone_ = true;
    grace_.stop();
    idle_.stop();
    server_.SetWaiting(this, false);
    socket_->abort();
    deleteLater();
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
        return;
    }
    frame_.append(bytes);
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
        }
        behaviour = shared_.behaviour;
    }
    shared_.changed.notify_all();

    if (!act || peerClosed) return;
    if (behaviour.closeWithoutReply) {
        socket_->disconnectFromHost();
        return;
    }
    if (behaviour.silent || !outcome.reply) return;
    QByteArray reply = logic::ShapeReply(*outcome.reply, code, behaviour);
    if (behaviour.replyDelayMs > 0) {
        QTimer::singleShot(behaviour.replyDelayMs, Qt::PreciseTimer, this,
                           [this, reply, pieces = behaviour.splitPieces, delay = behaviour.pieceDelayMs] {
                               SendPieces(reply, pieces, 0, delay);
                           });
    } else {
        SendPieces(reply, behaviour.splitPieces, 0, behaviour.pieceDelayMs);
    }
}

void Connection::SendPieces(QByteArray rest, std::vector<int> pieces, std::size_t next, int delayMs)
{
    if (gone_ || socket_->state() != QAbstractSocket::ConnectedState) return;
    qsizetype n = rest.size();
    if (next < pieces.size()) n = std::clamp<qsizetype>(pieces[next], 1, rest.size());
    socket_->write(rest.constData(), n);
    socket_->flush();
    rest.remove(0, n);
    if (rest.isEmpty()) return;
    auto more = [this, rest, pieces, next, delayMs] { SendPieces(rest, pieces, next + 1, delayMs); };
    if (delayMs > 0)
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this, more);
    else
        more();
}

void Connection::TakeDataBytes()
{
    const qint64 length = data_->length;
    bool completed = false;
    while (socket_->bytesAvailable() > 0) {
        qint64 room = length - received_;
        if (dropAfter_ >= 0) room = std::min(room, dropAfter_ - received_);
        if (room <= 0) break;
        const QByteArray chunk = socket_->read(std::min(room, socket_->bytesAvailable()));
        if (chunk.isEmpty()) break;
        received_ += chunk.size();
        std::lock_guard lock(shared_.mutex);
        completed = logic::AppendFileData(shared_.core, data_->name, chunk) || completed;
    }
    if (completed) shared_.changed.notify_all();
    if (received_ >= length) {
        socket_->readAll();  // anything past the announced length is not part of the file
    } else if (dropAfter_ >= 0 && received_ >= dropAfter_) {
        Drop();
    }
}

// Runs the server's event loop; the server is created and destroyed on this thread.
class SimulatorThread : public QThread {
public:
    SimulatorThread(Shared& shared, std::uint16_t port, bool refusing)
        : shared_(shared), port_(port), refusing_(refusing)
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
        if (!server.Listen(port_)) {
            SetState(Failed, nullptr);
            return;
        }
        port_ = server.Port();
        if (refusing_) server.SetListening(false);
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
    std::atomic<std::uint16_t> port_;
    const bool refusing_;
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

bool ModuleSimulator::Start(std::uint16_t port)
{
    std::lock_guard life(impl_->lifecycle);
    if (impl_->thread) return false;
    bool refusing = false;
    {
        std::lock_guard lock(impl_->shared.mutex);
        refusing = impl_->shared.behaviour.refuseConnections;
    }
    impl_->thread = std::make_unique<SimulatorThread>(impl_->shared, port, refusing);
    impl_->thread->start();
    if (!impl_->thread->WaitUntilReady()) {
        impl_->StopThread();
        return false;
    }
    impl_->port = impl_->thread->Port();
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
    bool wasRefusing = false;
    {
        std::lock_guard lock(impl_->shared.mutex);
        wasRefusing = impl_->shared.behaviour.refuseConnections;
        impl_->shared.behaviour = behaviour;
    }
    if (impl_->thread && wasRefusing != behaviour.refuseConnections) {
        // Done on the simulator thread and waited for, so a connect right after this call sees it.
        const bool listen = !behaviour.refuseConnections;
        impl_->thread->RunOnServer([listen](Server& server) { server.SetListening(listen); });
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
