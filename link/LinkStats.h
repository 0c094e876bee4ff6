#pragma once
// Link health of one run, for the status bar: frame rate, good and failed
// exchanges by kind, replies whose checksum does not add up, and a hint when
// the first minute of a run fails in one telling way. Pure bookkeeping: the
// caller feeds it every frame and reads it at its own pace, so the cost per
// frame is a handful of integer operations.
#include <array>
#include <cstdint>

// A reply's three header bytes and its body sum to 0 modulo 256.
bool ReplyChecksumOk(const std::uint8_t* header, const std::uint8_t* body, int count);

enum class LinkHint { None, TryWithoutEcho, TryWithEcho, CheckPort, Chatter };
const char* LinkHintText(LinkHint hint);

class TLinkStats {
public:
    static constexpr int Kinds = 5; // the exchange failures -1 .. -5

    // Counts start again.
    void Start(std::int64_t nowMs);
    // One frame's result: a byte count (0 and above is a good frame) or a
    // failure -1 .. -5. `echo` is the echo setting the exchange ran with;
    // `chatter`: other modules' frames were on the line when it failed, which
    // says more than any echo hint.
    void Frame(int result, bool echo, std::int64_t nowMs, bool chatter = false);
    // A good reply whose checksum did not add up, with the frame's stamp.
    void BadChecksum(std::int32_t stamp);

    // Good frames per second over the last two seconds (or since the start when younger).
    double Rate(std::int64_t nowMs) const;
    std::int64_t Good() const { return good_; }
    std::int64_t Failed() const { return failed_; }
    // Failures of kind -1 .. -5 (`result` as the exchange returned it).
    std::int64_t FailedOf(int result) const;
    std::int64_t BadChecksums() const { return badSums_; }
    std::int32_t LastBadStamp() const { return lastBadStamp_; }
    // The hint to show now: only before the first good frame, in the first
    // minute, once every one of at least three exchanges failed the same telling way.
    LinkHint Hint() const { return hint_; }

private:
    static constexpr int Slots = 20; // 100 ms each
    static constexpr std::int64_t SlotMs = 100;
    void Advance(std::int64_t nowMs);

    std::int64_t start_ = 0;
    std::int64_t good_ = 0, failed_ = 0, badSums_ = 0;
    std::int32_t lastBadStamp_ = 0;
    std::array<std::int64_t, Kinds> kinds_{};
    std::array<std::int32_t, Slots> slots_{};
    std::int64_t slotIndex_ = 0; // absolute index of the newest slot
    LinkHint hint_ = LinkHint::None;
    LinkHint candidate_ = LinkHint::None;
    int sameFailures_ = 0;
    int chatterFailures_ = 0;
    bool hintDone_ = false;
};
