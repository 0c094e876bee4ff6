#include "link/AldlExchange.h"

#include "decode/Errors.h"
#include "decode/Hex.h"
#include "serilink/serilink.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

thread_local std::vector<std::uint8_t> drained;

// After a reply went wrong, the rest of it is still arriving. Taking it off
// the line lets the next request start in step; otherwise every later echo
// read would see stale reply bytes and the stream would never recover.
void DrainLine()
{
    std::uint8_t b;
    for (int i = 0; i < 256 && scRead(&b, 1) == 1; ++i) drained.push_back(b);
}

} // namespace

const std::vector<std::uint8_t>& AldlDrained() { return drained; }

int AldlExchange(const std::string& request, bool echo, std::uint8_t* reply, int last, std::uint8_t* header)
{
    drained.clear();
    std::array<std::uint8_t, AldlMaxRequest + 1> frame{};
    const std::vector<std::string> items = SplitList(request);
    const int n = std::min<int>(static_cast<int>(items.size()), AldlMaxRequest);
    for (int i = 0; i < n; ++i)
        frame[i] = static_cast<std::uint8_t>(HexToByte(items[i]));
    const int m = scAddChkSum(frame.data(), static_cast<std::uint32_t>(n));
    // The echo lands in the reply buffer and the header fill covers 128
    // bytes; a shorter buffer would be overrun by whatever the line sends.
    if (!reply || last + 1 < std::max(m, 128))
        throw ERangeError("AldlExchange: reply buffer too short (" + std::to_string(last + 1) + ")");

    if (scWrite(frame.data(), static_cast<std::uint32_t>(m)) <= 0)
        return AldlLinkFailed;

    if (echo) {
        const int r = scRead(reply, static_cast<std::uint32_t>(m));
        if (r <= 0)
            return AldlNoEcho;
        if (r == m && std::memcmp(reply, frame.data(), static_cast<std::size_t>(m)) != 0) {
            DrainLine();
            return AldlEchoDiffers;
        }
        // a short echo is let through: the header read starts at once
    }

    std::memset(reply, 0x3F, 128);
    const int got3 = scRead(reply, 3);
    if (got3 < 3) {
        if (got3 > 0)
            DrainLine();
        return AldlNoHeader;
    }
    if (header)
        std::memcpy(header, reply, 3);
    const int length = reply[1] - 0x55;
    if (length < 0 || length > 127) {
        DrainLine();
        return AldlBadLength;
    }
    const int got = scRead(reply, static_cast<std::uint32_t>(length));
    // An empty body still leaves the reply's checksum (or more) on the line.
    if (length == 0)
        DrainLine();
    return got;
}
