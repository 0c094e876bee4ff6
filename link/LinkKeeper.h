#pragma once
// Keeps a reading run alive when the serial device goes away (a pulled
// cable, an ignition switched off): tells a vanished device from an ordinary
// failed exchange, paces the reopen tries, and slows a loop whose failures
// take no time at all. No Qt, no threads and no clock of its own: the caller
// passes monotonic milliseconds, so a window and a headless tool drive it the
// same way, and nothing here ever blocks.
//
//   keeper.Reset();                       // a run starts
//   per frame, while !keeper.Lost():
//       t0 = now; mark = LinkKeeper::MarkSerialError();
//       r = AldlExchange(...); t1 = now;
//       code = LinkKeeper::SerialErrorSince(mark);
//       if (keeper.Exchanged(r, code, scErrText(), t0, t1)) {
//           close the port; show keeper.LostText();      // once per loss
//       }
//   per frame, while keeper.Lost():
//       if (keeper.TimeToTry(now) && keeper.Opened(open the port, now))
//           show LinkKeeper::BackText();                  // once per return
//   between frames: wait the interval, and at least keeper.WaitMs(now),
//   while still answering the user.
#include <cstdint>
#include <string>

class LinkKeeper {
public:
    // `retryMs`: least time from the loss to the first open try, and between
    // two tries.
    explicit LinkKeeper(int retryMs = 1000);

    // True when an exchange result (a byte count or -1..-5) together with the
    // serial library's error state read right after it says the device has
    // gone: the exchange failed for want of the line (-1, -3, -4) and the
    // library reports a read or write failure carrying a system error (a
    // hang-up, EIO, a vanished port), or no port held. A read that merely
    // timed out carries no system error; an answer that came back wrong
    // (-2, -5) proves the device is there.
    static bool DeviceGone(int result, int errCode, const char* errText);

    // The serial library keeps its last error code until another failure
    // replaces it, so a code left by an earlier failed open would make an
    // ordinary missing reply look like a vanished device. MarkSerialError()
    // (just before an exchange) sets the code aside and clears it;
    // SerialErrorSince(mark) (just after) gives the code the exchange itself
    // set, or 0, and puts the old code back when it set none.
    static std::int32_t MarkSerialError();
    static std::int32_t SerialErrorSince(std::int32_t mark);

    // Reports one finished exchange (started and ended at the given times).
    // True when it lost the link: the caller closes the port and shows
    // LostText() once. Ignored while already lost.
    bool Exchanged(int result, int errCode, const char* errText, std::int64_t startMs,
                   std::int64_t endMs);

    bool Lost() const { return lost_; }
    // While lost: whether an open may be tried now (at most one per retryMs).
    bool TimeToTry(std::int64_t nowMs) const { return lost_ && nowMs >= nextTry_; }
    // The outcome of an open try; true when the link is back (show
    // BackText() once). A failed try only sets the time of the next one,
    // and keeps `error` (the serial library's text of it) as TryError().
    bool Opened(bool ok, std::int64_t nowMs, const std::string& error = {});
    // Why the last open try failed, while still lost; empty otherwise.
    const std::string& TryError() const { return tryError_; }

    // Least time to wait before the next exchange or open try, besides the
    // caller's own interval: while lost, until the next try; otherwise, after
    // three or more failures in a row that each took under QuickMs, a short
    // pause that grows up to MaxQuickWaitMs. 0 when there is no reason to wait.
    int WaitMs(std::int64_t nowMs) const;

    // A new run: not lost, no failures counted.
    void Reset();

    // Raw view texts: "Link lost: " with the error text of the loss (line
    // ends cut off), and "Link back.".
    const std::string& LostText() const { return lostText_; }
    static std::string BackText();

    static constexpr int QuickMs = 5;
    static constexpr int MaxQuickWaitMs = 250;

private:
    int retryMs_;
    bool lost_ = false;
    std::int64_t nextTry_ = 0;
    int quickFailures_ = 0;
    std::string lostText_;
    std::string tryError_;
};
