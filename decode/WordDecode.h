#pragma once
// One frame through the decoder list, as plain results: what the window's
// tables show, the alarm-limit breaches and the chart feed. The window, the
// CSV export and the benchmarks all decode through this one function, so
// every number they show is the same.
#include "decode/Aldl.h"
#include "decode/Hex.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The chart sample value of a trace without a point (the chart's NoValue).
constexpr long double FeedNoValue = 100001.0L;
// [chart 1..3][series 1..4], every slot FeedNoValue unless a word fed it.
using TChartFeed = std::array<std::array<long double, 4>, 3>;

struct TWordResult {
    bool Read = false;     // false: the start byte lies outside the buffer; nothing below is set
    std::int32_t Raw = 0;
    long double Value = 0; // Raw x Factor + Offset, or the word's expression
    std::string Text;      // the Value column: NumberToText(Value), or the flag text ("?" when none);
                           // empty when an expression gave no finite number
    bool Below = false;    // Value < Amin
    bool Above = false;    // Value > Amax
};

struct TFrameResult {
    std::vector<TWordResult> Words; // one per decoder, in list order
    TChartFeed Feed{};
    int FirstUnread = -1;           // the first word whose start byte is outside the buffer, or -1
};

// Decodes every word of `frame` (positions beyond the frame's bytes are read
// like any other). A word whose start byte lies outside the buffer is marked
// unread and the others are still decoded; the feed then holds only the
// words before it, as the window draws nothing for such a frame. With
// `texts` false the Text fields stay empty.
void DecodeWords(const TAldl& aldl, const FrameBuffer& frame, TFrameResult& out, bool texts = true);

// Appends exactly the text NumberToText gives for `value`, without its
// general formatting in the common cases (decoding writes one per word).
void AppendNumberText(std::string& out, long double value);

// The flag text a Flag word's value picks: index "value rounded half to
// even", or -1 when there is no such text (negative, too large, NaN).
int FlagIndex(const TDisplay& d, long double value);
// The malfunction table's text for that value: the flag text, or "?".
const std::string& FlagText(const TDisplay& d, long double value);

// The smallest and largest finite value that computed word `word` takes
// while every word's raw value runs over its whole range together (in at
// most `steps` steps; other words read at the same point of their ranges).
// False when the word is not computed or gives no finite value.
bool ComputedRange(const TAldl& aldl, int word, long double& lo, long double& hi, int steps = 65536);
