#pragma once
// The ECM's side of the line: takes the request bytes in, echoes them and
// queues the replies and other modules' frames, and writes every byte when
// the paced line is free for it.
#include "tools/ecmsim/Chatter.h"
#include "tools/ecmsim/Device.h"
#include "tools/ecmsim/EngineModel.h"
#include "tools/ecmsim/FaultMixer.h"
#include "tools/ecmsim/Options.h"
#include "tools/ecmsim/Protocol.h"
#include "tools/ecmsim/Recorder.h"

#include <csignal>
#include <cstdint>
#include <deque>
#include <vector>

class Simulator {
public:
    Simulator(const Options& o, LineEnd& end, Recorder& record);

    // Runs until `stop` is set or the simulator hangs up (stop signals are
    // let in only while it waits). 0 on a normal end, 1 when the line failed.
    int Run(const volatile std::sig_atomic_t& stop);

private:
    struct Out {
        std::uint8_t byte;
        std::int64_t gapNs;   // idle line time before this byte
        std::int64_t enqNs;   // when it was queued
        bool chatter = false; // another module's byte
    };
    void QueueChatter(std::int64_t now);

    void Received(std::uint8_t b, std::int64_t now);
    void Answer(const std::vector<std::uint8_t>& frame, const Faults& faults, std::int64_t now);
    std::int64_t DueOf(const Out& out) const
    {
        std::int64_t start = lineFree_ + out.gapNs;
        if (start < out.enqNs)
            start = out.enqNs;
        return start + byteNs_;
    }
    bool Flush(std::int64_t now);
    void DrainBeforeHangup(const volatile std::sig_atomic_t& stop);

    const Options& o_;
    LineEnd& end_;
    EngineModel model_;
    RequestParser parser_;
    FaultMixer faults_;
    Recorder& record_;
    std::deque<Out> queue_;
    std::int64_t byteNs_ = 0;
    std::int64_t lineFree_ = 0;
    long requests_ = 0;
    long replies_ = 0;
    bool hangingUp_ = false;
    Chatter chatter_;
    int chatterQueued_ = 0;       // other modules' bytes not yet on the line
    std::int64_t chatterEnd_ = 0; // when the last of them left
    bool collided_ = false;       // the request being received overlapped them
    bool inRequest_ = false;
};
