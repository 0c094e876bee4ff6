#pragma once
// One request/reply exchange with the ECM over the open serial port.
#include <cstdint>
#include <string>
#include <vector>

// Results besides a positive body byte count.
enum AldlExchangeFailure : int {
    AldlLinkFailed = -1,   // library failure, nothing written, or no body byte
    AldlEchoDiffers = -2,  // complete echo that is not the request
    AldlNoEcho = -3,       // echo expected, nothing came back
    AldlNoHeader = -4,     // fewer than three header bytes
    AldlBadLength = -5,    // length byte outside 85..212
};

// Most request bytes one frame carries; the checksum takes the last slot.
constexpr int AldlMaxRequest = 128;

// Sends the request text (hex items split by commas and/or blanks, at most
// AldlMaxRequest of them; further items are ignored) with its checksum,
// checks the echo when `echo` is set, reads header and body, and leaves the
// body at reply[0..]. `last` is the reply's last index (128 for a
// FrameBuffer). Returns the body byte count or one of the failures above.
// When `header` is given, a reply's three header bytes are copied there
// (the body overwrites them in `reply`), so a caller can check its checksum.
int AldlExchange(const std::string& request, bool echo, std::uint8_t* reply, int last,
                 std::uint8_t* header = nullptr);

// The bytes the last failed exchange took off the line after its failure
// (to start the next one in step), so a caller can tell what was there.
const std::vector<std::uint8_t>& AldlDrained();
