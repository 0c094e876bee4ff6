#include "Hex.h"

#include "Errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

// Calls `item` with a view of each item of the list rule. Unquoted items are
// views into `text`; quoted ones are unescaped into a scratch buffer.
template <typename F>
void ForEachItem(std::string_view text, F item)
{
    std::size_t p = 0;
    const std::size_t n = text.size();
    std::string scratch;
    while (p < n && IsBlank(text[p])) ++p;
    // A NUL is an ordinary character: a damaged row keeps everything after it.
    while (p < n) {
        std::string_view s;
        if (text[p] == '"') {
            scratch.clear();
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') { scratch += '"'; p += 2; continue; }
                    ++p;
                    break;
                }
                scratch += text[p++];
            }
            s = scratch;
        } else {
            std::size_t b = p;
            while (p < n && !IsBlank(text[p]) && text[p] != ',') ++p;
            s = text.substr(b, p - b);
        }
        item(s);
        while (p < n && IsBlank(text[p])) ++p;
        if (p < n && text[p] == ',') {
            ++p;
            while (p < n && IsBlank(text[p])) ++p;
        }
    }
}

std::string_view Trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

template <typename Conv>
int ListToBytes(const std::string& text, std::uint8_t* buf, int last, Conv conv)
{
    int count = 0;
    ForEachItem(text, [&](std::string_view item) {
        if (count > last)
            throw ERangeError("List index out of bounds (" + std::to_string(count) + ")");
        buf[count++] = static_cast<std::uint8_t>(conv(item));
    });
    return count;
}

template <typename Fmt>
std::string BytesToText(const std::uint8_t* buf, int last, int count, Fmt fmt)
{
    std::string out;
    if (count <= 0) return out;
    if (count - 1 > last)
        throw ERangeError("Range check error: " + std::to_string(count) + " bytes in a buffer of " +
                          std::to_string(last + 1));
    out.reserve(static_cast<std::size_t>(count) * 4);
    for (int i = 0; i < count; ++i) {
        if (i) out += ',';
        fmt(out, buf[i]);
    }
    return out;
}

} // namespace

static int HexOfItem(std::string_view text)
{
    if (text.empty()) return 0;
    int v = 0;
    std::size_t n = text.size() < 2 ? text.size() : 2;
    for (std::size_t i = 0; i < n; ++i) {
        int d = HexDigit(text[i]);
        if (d < 0) return 0;
        v = v * 16 + d;
    }
    return v;
}

int HexToByte(const std::string& text) { return HexOfItem(text); }

std::string ByteToHex(int value)
{
    static const char digits[] = "0123456789ABCDEF";
    unsigned v = static_cast<unsigned>(value) & 0xFFu;
    return std::string{digits[v >> 4], digits[v & 15]};
}

std::string BytesToDec(const std::uint8_t* buf, int last, int count)
{
    return BytesToText(buf, last, count, [](std::string& out, std::uint8_t b) {
        char t[4] = {' ', ' ', ' ', 0};
        t[2] = static_cast<char>('0' + b % 10);
        if (b >= 10) t[1] = static_cast<char>('0' + b / 10 % 10);
        if (b >= 100) t[0] = static_cast<char>('0' + b / 100);
        out.append(t, 3);
    });
}

std::string BytesToHex(const std::uint8_t* buf, int last, int count)
{
    return BytesToText(buf, last, count,
                       [](std::string& out, std::uint8_t b) { out += ByteToHex(b); });
}

int DecToBytes(const std::string& text, std::uint8_t* buf, int last)
{
    return ListToBytes(text, buf, last, [](std::string_view item) {
        return static_cast<std::uint32_t>(StrToIntDef(Trim(item), 0)) & 0xFFu;
    });
}

int HexToBytes(const std::string& text, std::uint8_t* buf, int last)
{
    return ListToBytes(text, buf, last, [](std::string_view item) { return HexOfItem(item); });
}

std::string DashToEmpty(const std::string& text) { return text == "-" ? std::string() : text; }

std::string EmptyToDash(const std::string& text) { return text.empty() ? std::string("-") : text; }

bool TryStrToInt(std::string_view text, std::int32_t& out)
{
    std::size_t p = 0;
    const std::size_t n = text.size();
    while (p < n && IsBlank(text[p])) ++p;
    bool neg = false;
    if (p < n && (text[p] == '+' || text[p] == '-')) neg = text[p++] == '-';
    bool hex = false;
    if (p < n && text[p] == '$') {
        hex = true;
        ++p;
    } else if (p + 1 < n && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X')) {
        hex = true;
        p += 2;
    }
    if (p >= n) return false;
    std::uint64_t v = 0;
    for (; p < n; ++p) {
        int d = hex ? HexDigit(text[p]) : (text[p] >= '0' && text[p] <= '9' ? text[p] - '0' : -1);
        if (d < 0) return false;
        v = v * (hex ? 16 : 10) + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    if (hex) {
        // Hexadecimal fills all 32 bits: $FFFFFFFF is -1.
        auto u = static_cast<std::uint32_t>(v);
        if (neg) u = 0u - u;
        out = static_cast<std::int32_t>(u);
        return true;
    }
    if (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull) return false;
    out = neg ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
    return true;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def)
{
    std::int32_t v;
    return TryStrToInt(text, v) ? v : def;
}

// For a checked number text that does not fit the extended range: whether
// its first significant digit lies below the units (an underflow).
static bool BelowExtendedRange(const std::string& s)
{
    long long mag = 0;
    bool seen = false, point = false;
    std::size_t p = 0;
    for (; p < s.size() && s[p] != 'e' && s[p] != 'E'; ++p) {
        const char c = s[p];
        if (c == '.') point = true;
        else if (c < '0' || c > '9') continue;
        else if (!seen && c == '0') { if (point) --mag; }
        else if (!seen) { seen = true; if (point) --mag; }
        else if (!point) ++mag;
    }
    long long e = 0;
    if (p < s.size()) {
        std::size_t q = p + 1;
        const bool neg = q < s.size() && s[q] == '-';
        if (q < s.size() && (s[q] == '-' || s[q] == '+')) ++q;
        for (; q < s.size(); ++q) e = std::min<long long>(e * 10 + (s[q] - '0'), 1000000000LL);
        if (neg) e = -e;
    }
    return mag + e < 0;
}

bool TryFloatFromText(const std::string& text, long double& out)
{
    std::string s(Trim(text));
    // Accept only: [sign] digits [. digits] [e [sign] digits], at least one digit.
    std::size_t p = 0, n = s.size();
    if (p < n && (s[p] == '+' || s[p] == '-')) ++p;
    std::size_t digits = 0;
    while (p < n && s[p] >= '0' && s[p] <= '9') { ++p; ++digits; }
    if (p < n && s[p] == '.') {
        ++p;
        while (p < n && s[p] >= '0' && s[p] <= '9') { ++p; ++digits; }
    }
    if (digits == 0) return false;
    if (p < n && (s[p] == 'e' || s[p] == 'E')) {
        ++p;
        if (p < n && (s[p] == '+' || s[p] == '-')) ++p;
        std::size_t ed = 0;
        while (p < n && s[p] >= '0' && s[p] <= '9') { ++p; ++ed; }
        if (ed == 0) return false;
    }
    if (p != n) return false;
    // Standard C++ and never the user's locale; from_chars takes no "+".
    const char* first = s.data() + (s[0] == '+' ? 1 : 0);
    long double v = 0;
    const auto r = std::from_chars(first, s.data() + n, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large for the extended range is no number; too small is zero.
        if (!BelowExtendedRange(s)) return false;
        v = s[0] == '-' ? -0.0L : 0.0L;
    } else if (r.ec != std::errc() || r.ptr != s.data() + n || std::isinf(v)) {
        return false;
    }
    out = v;
    return true;
}

long double FloatFromText(const std::string& text, long double def)
{
    long double v;
    return TryFloatFromText(text, v) ? v : def;
}

std::string NumberToText(long double value)
{
    int decimals;
    if (std::isfinite(value) && value == std::trunc(value)) {
        decimals = 0;
        if (value == 0) value = 0; // no "-0"
    } else if (value > -1 && value < 1) {
        decimals = 4;
    } else {
        decimals = 2;
    }
    char buf[5200];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    return std::string(buf, r.ptr);
}

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    ForEachItem(text, [&](std::string_view s) { items.emplace_back(s); });
    return items;
}

std::string JoinCommaText(const std::vector<std::string>& items)
{
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        const std::string& s = items[i];
        // A trailing comma reads as nothing, so an empty last item is quoted.
        bool quote = s.empty() && i + 1 == items.size();
        for (char c : s)
            if (static_cast<unsigned char>(c) <= 32 || c == '"' || c == ',') { quote = true; break; }
        if (!quote) { out += s; continue; }
        out += '"';
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}
