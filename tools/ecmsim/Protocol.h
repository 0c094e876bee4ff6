#pragma once
// ALDL framing on the ECM's side: ID, length 0x55 + n, n bytes, checksum;
// every byte of a frame sums to 0 modulo 256.
#include <cstdint>
#include <vector>

struct FedByte {
    int position = 0;       // place of the byte in the frame being collected
    bool complete = false;  // the byte ended a frame
    bool good = false;      // ... and its checksum holds
    std::vector<std::uint8_t> frame;  // the whole frame when complete
};

class RequestParser {
public:
    // A frame left unfinished for longer than this is dropped.
    static constexpr std::int64_t StaleMs = 50;
    FedByte Feed(std::uint8_t byte, std::int64_t nowMs);

private:
    std::vector<std::uint8_t> buf_;
    std::int64_t last_ = 0;
};

std::uint8_t ChecksumOf(const std::uint8_t* bytes, std::size_t count);
// ID, 0x55 + 1 + data size, mode, data, checksum.
std::vector<std::uint8_t> BuildReply(std::uint8_t id, std::uint8_t mode,
                                     const std::vector<std::uint8_t>& data);
