#pragma once
// The frame source of a live run, shared by the window and the headless
// logger: the request field's comma rule, one exchange per request item
// into one buffer, and the frame's stamp.
#include "decode/Hex.h"

#include <cstdint>
#include <string>
#include <vector>

// A text without "," is one request (its blanks only separate bytes); a text
// with "," is a list of requests by the list rule, so 'F4,57' is two
// one-byte requests. Never empty: an empty text is one empty request.
std::vector<std::string> SplitRequests(const std::string& text);

// Monotonic milliseconds: the clock of run starts and frame stamps.
std::int64_t StampClockMs();

struct TLiveFrame {
    int Count = 0;          // the last exchange's result: body bytes, or -1 .. -5
    std::int32_t Stamp = 0; // ms since the run started
};

// Zeroes `frame`, exchanges every request in turn (only the last result
// counts, every reply lands in the same buffer) and stamps the frame with the
// time since `startMs` (a StampClockMs reading). The port must be open.
// `header`, when given, receives the last reply's three header bytes.
TLiveFrame ReadLiveFrame(const std::vector<std::string>& requests, bool echo, FrameBuffer& frame,
                         std::int64_t startMs, std::uint8_t* header = nullptr);

// The text a failed exchange shows (-2 .. -5 fixed texts, -1 the serial
// library's current error text); empty for a byte count.
std::string ExchangeFailureText(int result);
