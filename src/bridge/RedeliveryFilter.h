#pragma once

#include <cstddef>
#include <deque>
#include <set>
#include <tuple>

#include <QByteArray>
#include <QString>

namespace zqb::bridge {

// Tells a QoS 1 message that the broker sends again after a reconnect from a new one, so that a
// command runs once per message.
//
// A broker resends a message whose acknowledgement it did not get with the same packet id, in
// the same session. The client library acknowledges before it hands the message over and does
// not pass on the DUP flag, so the bridge keeps the ids (with topic and payload) of the last
// messages taken in this session: one seen again is the resend. A broker hands out ids in turn
// and reuses one only after the whole range of 65535, far beyond this window, which need only
// cover the messages in flight. A session that did not survive the reconnect holds nothing to
// resend, and its ids start again: the window is emptied then.
class RedeliveryFilter {
public:
    explicit RedeliveryFilter(std::size_t window = 1024) : window_(window) {}

    // After each CONNACK.
    void SessionStarted(bool sessionPresent)
    {
        if (sessionPresent) return;
        seen_.clear();
        order_.clear();
    }

    // True for a message to act on; false for the resend of one already taken. QoS 0 messages
    // (id 0) are never resent.
    bool Take(int packetId, const QString& topic, const QByteArray& payload)
    {
        if (packetId == 0) return true;
        const Key key{packetId, topic, payload};
        if (seen_.count(key)) return false;
        seen_.insert(key);
        order_.push_back(key);
        while (order_.size() > window_) {
            seen_.erase(order_.front());
            order_.pop_front();
        }
        return true;
    }

private:
    using Key = std::tuple<int, QString, QByteArray>;
    std::size_t window_;
    std::set<Key> seen_;
    std::deque<Key> order_;
};

}  // namespace zqb::bridge
