#include "tools/ecmsim/Simulator.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace {

std::int64_t NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

Simulator::Simulator(const Options& o, LineEnd& end, Recorder& record)
    : o_(o), end_(end), model_(o.seed), faults_(o), record_(record), chatter_(o.chatter, o.quietMs, o.id)
{
    byteNs_ = o.pace ? 10LL * 1000000000 / o.baud : 0;
}

// Other modules' frames join the line when due; a request they overlap is lost.
void Simulator::QueueChatter(std::int64_t now)
{
    // Nobody reading: the talk goes nowhere rather than filling the line
    // until a write blocks the simulator.
    const std::vector<Chatter::Frame> due = chatter_.Due(now);
    const int pending = PendingForReader(end_);
    if (pending > 512 || queue_.size() > 512)
        return;
    for (const Chatter::Frame& f : due) {
        if (inRequest_)
            collided_ = true;
        for (std::size_t i = 0; i < f.bytes.size(); ++i)
            queue_.push_back({f.bytes[i], i == 0 ? f.gapNs : 0, now, true});
        chatterQueued_ += static_cast<int>(f.bytes.size());
    }
}

void Simulator::Received(std::uint8_t b, std::int64_t now)
{
    const FedByte fed = parser_.Feed(b, now / 1000000);
    if (chatter_.On()) {
        if (fed.position == 0)
            collided_ = false;
        if (chatterQueued_ > 0 || now < chatterEnd_ + byteNs_)
            collided_ = true;
        inRequest_ = !fed.complete;
    }
    if (fed.position == 0)
        faults_.RequestStarts();
    const Faults f = faults_.For(requests_ + 1);
    bool echo = !(f.any && f.noEcho);
    if (f.any && f.shortEcho >= 0 && fed.position >= f.shortEcho)
        echo = false;
    if (echo) {
        std::uint8_t e = b;
        if (fed.complete && f.any && f.wrongEcho)
            e = static_cast<std::uint8_t>(~e);
        queue_.push_back({e, 0, now});
    }
    if (!fed.complete)
        return;
    ++requests_;
    if (!o_.quiet)
        std::fprintf(stderr, "ecmsim: request %ld of %zu bytes%s\n", requests_, fed.frame.size(),
                     fed.good ? "" : ", bad checksum, ignored");
    if (fed.good && chatter_.On()) {
        if (collided_) {
            if (!o_.quiet)
                std::fprintf(stderr, "ecmsim: request %ld collided with other modules' frames\n", requests_);
            return;
        }
        std::vector<std::uint8_t> answer;
        if (chatter_.Heard(fed.frame, now, answer)) {
            for (std::size_t i = 0; i < answer.size(); ++i)
                queue_.push_back({answer[i], i == 0 ? static_cast<std::int64_t>(o_.replyDelayMs * 1000000) : 0, now, true});
            chatterQueued_ += static_cast<int>(answer.size());
            return;
        }
    }
    if (fed.good)
        Answer(fed.frame, f, now);
}

void Simulator::Answer(const std::vector<std::uint8_t>& frame, const Faults& faults, std::int64_t now)
{
    if (frame[0] != o_.id || frame.size() < 4)
        return;
    const std::uint8_t mode = frame[2];
    std::vector<std::uint8_t> reply;
    if (mode == 1) {
        reply = BuildReply(o_.id, 1, model_.Data(o_.dataLength));
        model_.Advance(o_.tickMs / 1000);
        model_.NextFrame();
    } else {
        reply = BuildReply(o_.id, mode, {});
    }
    faults_.Spoil(faults, reply);
    const std::int64_t delay = static_cast<std::int64_t>(o_.replyDelayMs * 1000000);
    for (std::size_t i = 0; i < reply.size(); ++i)
        queue_.push_back({reply[i], i == 0 ? delay : 0, now});
    ++replies_;
    record_.Reply(replies_, faults.kind, reply);
    if (o_.hangupAfter && replies_ >= o_.hangupAfter)
        hangingUp_ = true;
    if (faults_.HangupDrawn())
        hangingUp_ = true;
    if (hangingUp_)
        record_.Hangup(replies_);
}

// Writes every byte that is due; false when the line failed.
bool Simulator::Flush(std::int64_t now)
{
    std::vector<std::uint8_t> out;
    while (!queue_.empty() && DueOf(queue_.front()) <= now) {
        lineFree_ = DueOf(queue_.front());
        if (queue_.front().chatter) {
            --chatterQueued_;
            chatterEnd_ = lineFree_;
        }
        out.push_back(queue_.front().byte);
        queue_.pop_front();
    }
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = write(end_.fd, out.data() + done, out.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{end_.fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

int Simulator::Run(const volatile std::sig_atomic_t& stop)
{
    sigset_t none;
    sigemptyset(&none);
    record_.Turn(NowNs(), replies_);
    while (!stop) {
        std::int64_t now = NowNs();
        // A recorded run notes when this process did not get the processor
        // for a while: a reply may then have come too late for the reader.
        record_.Turn(now, replies_);
        if (chatter_.On() && !hangingUp_)
            QueueChatter(now);
        if (!Flush(now)) {
            std::fprintf(stderr, "ecmsim: line write failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (hangingUp_ && queue_.empty())
            break;
        timespec wait{};
        timespec* waitPtr = nullptr;
        if (!queue_.empty() || record_.On() || chatter_.On()) {
            std::int64_t left = queue_.empty() ? Recorder::TurnNs : DueOf(queue_.front()) - NowNs();
            const std::int64_t talk = chatter_.NextDueNs(NowNs());
            if (talk >= 0 && (queue_.empty() || talk < left))
                left = talk;
            if (left < 0)
                left = 0;
            if (record_.On() && left > Recorder::TurnNs)
                left = Recorder::TurnNs; // wake often enough to notice a stall
            wait.tv_sec = left / 1000000000;
            wait.tv_nsec = left % 1000000000;
            waitPtr = &wait;
        }
        pollfd p{end_.fd, static_cast<short>(hangingUp_ ? 0 : POLLIN), 0};
        int r = ppoll(&p, 1, waitPtr, &none);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "ecmsim: poll failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (r == 0 || hangingUp_)
            continue;
        std::uint8_t buf[512];
        ssize_t n = read(end_.fd, buf, sizeof buf);
        if (n > 0) {
            now = NowNs();
            for (ssize_t i = 0; i < n && !hangingUp_; ++i)
                Received(buf[i], now);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            std::fprintf(stderr, "ecmsim: line closed: %s\n", n == 0 ? "end of file" : std::strerror(errno));
            return 1;
        }
    }
    if (hangingUp_ && !stop)
        DrainBeforeHangup(stop);
    return 0;
}

// Bytes the reader has not taken vanish when a pseudo-terminal's master
// closes, so wait (bounded) until it has drained the line. The pty hands
// written bytes on asynchronously, so "nothing pending" must hold for a
// while before it is believed.
void Simulator::DrainBeforeHangup(const volatile std::sig_atomic_t& stop)
{
    sigset_t none;
    sigemptyset(&none);
    const std::int64_t give = NowNs() + 10LL * 1000000000;
    std::int64_t quietSince = NowNs();
    while (!stop && NowNs() < give) {
        const std::int64_t now = NowNs();
        if (PendingForReader(end_) > 0)
            quietSince = now;
        else if (now - quietSince >= 30000000)
            break;
        timespec ms{0, 1000000};
        ppoll(nullptr, 0, &ms, &none); // lets a stop signal in
    }
    if (!o_.quiet)
        std::fprintf(stderr, "ecmsim: hanging up after %ld replies\n", replies_);
}
