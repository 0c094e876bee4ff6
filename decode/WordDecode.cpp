#include "decode/WordDecode.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <limits>

void AppendNumberText(std::string& out, long double value)
{
    char buf[32];
    // 2^40: far inside the 64-bit mantissa, so the integer steps below are exact.
    constexpr long double kFast = 1099511627776.0L;
    const bool neg = value < 0;
    const long double a = neg ? -value : value;
    if (a < kFast) { // false for NaN
        // Adding and taking away 2^(digits-1) rounds to a whole number without a call.
        constexpr long double kRound = [] {
            long double r = 1;
            for (int i = 1; i < std::numeric_limits<long double>::digits; ++i) r *= 2;
            return r;
        }();
        if ((a + kRound) - kRound == a) {
            if (neg && a != 0) out += '-';
            // llrintl rounds in the current (nearest) mode without touching the control word.
            const auto r = std::to_chars(buf, buf + sizeof buf, std::llrint(a));
            out.append(buf, r.ptr);
            return;
        }
        const bool small = a < 1;
        const long long scale = small ? 10000 : 100;
        const long double scaled = a * static_cast<long double>(scale);
        const long long n = std::llrint(scaled);
        const long double rest = scaled - static_cast<long double>(n);
        // Near a tie the exact binary value decides. A binary value lies
        // exactly on a tie only as an odd number of 1/8 (two decimals) or 1/32
        // (four); then the product was exact and llrint rounded it to even, as
        // NumberToText rounds. Anything else close to a tie is left to it.
        bool clear = rest < 0.5L - 1e-6L && rest > -0.5L + 1e-6L;
        if (rest == 0.5L || rest == -0.5L) {
            const long double eighths = a * (small ? 32.0L : 8.0L);
            const long long j = std::llrint(eighths);
            clear = static_cast<long double>(j) == eighths && (j & 1) != 0;
        }
        if (clear) {
            if (neg) out += '-';
            // Most values fit 32 bits, where division is cheap.
            long long whole, digits;
            if (n < 4294967296LL) {
                const auto u = static_cast<std::uint32_t>(n), sc = static_cast<std::uint32_t>(scale);
                whole = u / sc;
                digits = u % sc;
            } else {
                whole = n / scale;
                digits = n % scale;
            }
            const auto r = std::to_chars(buf, buf + sizeof buf, whole);
            out.append(buf, r.ptr);
            out += '.';
            const int width = small ? 4 : 2;
            char text[4];
            for (int i = width - 1; i >= 0; --i) {
                text[i] = static_cast<char>('0' + digits % 10);
                digits /= 10;
            }
            out.append(text, static_cast<std::size_t>(width));
            return;
        }
    }
    out += NumberToText(value);
}

int FlagIndex(const TDisplay& d, long double value)
{
    const long double n = static_cast<long double>(d.Flags.size());
    // Written so that a NaN value also has no text.
    if (!(value >= 0 && value < n)) return -1;
    // Rounded half to even, as nearbyint does in the default mode.
    const long long index = std::llrint(value);
    return static_cast<long double>(index) < n ? static_cast<int>(index) : -1;
}

const std::string& FlagText(const TDisplay& d, long double value)
{
    static const std::string none = "?";
    const int i = FlagIndex(d, value);
    return i < 0 ? none : d.Flags[static_cast<std::size_t>(i)];
}

void DecodeWords(const TAldl& aldl, const FrameBuffer& frame, TFrameResult& out, bool texts)
{
    const int count = aldl.Count();
    out.Words.resize(static_cast<std::size_t>(count));
    for (auto& chart : out.Feed) chart.fill(FeedNoValue);
    out.FirstUnread = -1;
    for (int i = 0; i < count; ++i) {
        const TDisplay& d = aldl.Items(i);
        TWordResult& w = out.Words[static_cast<std::size_t>(i)];
        if (d.StartByte < 1 || d.StartByte > FrameLast + 1) {
            w = TWordResult{};
            if (out.FirstUnread < 0) out.FirstUnread = i;
            continue;
        }
        w.Read = true;
        w.Raw = RawWord(frame.data(), FrameLast, d.StartByte, d.StartBit, d.Bits);
        w.Value = static_cast<long double>(w.Raw) * d.Factor + d.Offset;
    }
    // Expressions read the values of any word of the frame, so they come
    // once every plain value is known, each after the words it reads.
    TExprSet& exprs = aldl.Expressions();
    if (!exprs.Empty()) {
        constexpr double unread = std::numeric_limits<double>::quiet_NaN();
        for (int i : exprs.Referenced()) {
            const TWordResult& w = out.Words[static_cast<std::size_t>(i)];
            exprs.SetValue(i, w.Read ? static_cast<double>(w.Value) : unread);
        }
        for (int i : exprs.Order()) {
            TWordResult& w = out.Words[static_cast<std::size_t>(i)];
            if (w.Read) w.Value = exprs.Evaluate(i, static_cast<double>(w.Raw));
            else exprs.SetValue(i, unread);
        }
    }
    const int fed = out.FirstUnread < 0 ? count : out.FirstUnread;
    for (int i = 0; i < count; ++i) {
        const TDisplay& d = aldl.Items(i);
        TWordResult& w = out.Words[static_cast<std::size_t>(i)];
        if (!w.Read) continue;
        w.Text.clear();
        // A computed value that is no number has no text, no alarm and no point.
        if (d.Computed && !std::isfinite(w.Value)) {
            w.Below = w.Above = false;
            continue;
        }
        w.Below = w.Value < d.Amin;
        w.Above = w.Value > d.Amax;
        if (d.Display == DisplayKind::Flag) {
            if (texts) w.Text = FlagText(d, w.Value);
            continue;
        }
        if (texts) AppendNumberText(w.Text, w.Value);
        if (i < fed && d.Chart >= 1 && d.Chart <= 3 && d.Series >= 1 && d.Series <= 4)
            out.Feed[static_cast<std::size_t>(d.Chart - 1)][static_cast<std::size_t>(d.Series - 1)] = w.Value;
    }
}

bool ComputedRange(const TAldl& aldl, int word, long double& lo, long double& hi, int steps)
{
    TExprSet& exprs = aldl.Expressions();
    if (!exprs.Has(word) || steps < 1) return false;
    auto full = [](const TDisplay& d) {
        // What RawWord can give: nothing outside its 24-bit window.
        if (d.StartBit < 0 || d.Bits <= 0 || std::int64_t{d.StartBit} + d.Bits > 24) return std::int64_t{0};
        return (std::int64_t{1} << d.Bits) - 1;
    };
    // Only the expressions this word depends on, each before its readers.
    std::vector<char> needed(static_cast<std::size_t>(aldl.Count()), 0);
    needed[static_cast<std::size_t>(word)] = 1;
    std::vector<int> chain;
    for (auto it = exprs.Order().rbegin(); it != exprs.Order().rend(); ++it) {
        if (!needed[static_cast<std::size_t>(*it)]) continue;
        chain.insert(chain.begin(), *it);
        for (int r : exprs.Reads(*it)) needed[static_cast<std::size_t>(r)] = 1;
    }
    const std::int64_t own = full(aldl.Items(word));
    const std::int64_t n = std::min<std::int64_t>(own, steps);
    bool any = false;
    for (std::int64_t k = 0; k <= n; ++k) {
        const double t = n ? static_cast<double>(k) / static_cast<double>(n) : 0.0;
        auto raw = [&](int i) { return std::round(t * static_cast<double>(full(aldl.Items(i)))); };
        for (int i : exprs.Referenced()) {
            if (!needed[static_cast<std::size_t>(i)]) continue;
            const TDisplay& d = aldl.Items(i);
            exprs.SetValue(i, static_cast<double>(static_cast<long double>(raw(i)) * d.Factor + d.Offset));
        }
        for (int i : chain) {
            const double v = exprs.Evaluate(i, raw(i));
            if (i != word || !std::isfinite(v)) continue;
            if (!any || v < lo) lo = v;
            if (!any || v > hi) hi = v;
            any = true;
        }
    }
    return any;
}
