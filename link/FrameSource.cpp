#include "link/FrameSource.h"

#include "link/AldlExchange.h"
#include "serilink/serilink.h"

#include <chrono>

std::vector<std::string> SplitRequests(const std::string& text)
{
    std::vector<std::string> requests;
    if (text.find(',') == std::string::npos) requests.push_back(text);
    else requests = SplitList(text);
    if (requests.empty()) requests.emplace_back();
    return requests;
}

std::int64_t StampClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TLiveFrame ReadLiveFrame(const std::vector<std::string>& requests, bool echo, FrameBuffer& frame,
                         std::int64_t startMs, std::uint8_t* header)
{
    frame.fill(0);
    TLiveFrame f;
    for (const std::string& r : requests) f.Count = AldlExchange(r, echo, frame.data(), FrameLast, header);
    f.Stamp = static_cast<std::int32_t>(StampClockMs() - startMs);
    return f;
}

std::string ExchangeFailureText(int result)
{
    switch (result) {
    case AldlBadLength: return "Header contained invalid length.";
    case AldlNoHeader: return "Reply header was not received.";
    case AldlNoEcho: return "Expected echo did not occur.";
    case AldlEchoDiffers: return "Request was not echoed.";
    case AldlLinkFailed: return scErrText();
    default: return result < 0 ? "Exchange failed." : std::string();
    }
}
