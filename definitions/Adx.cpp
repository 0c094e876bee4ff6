#include "definitions/Adx.h"

#include "decode/Aldl.h"
#include "decode/Expression.h"
#include "decode/Hex.h"
#include "definitions/AdxMath.h"
#include "definitions/Persist.h"

#include <pugixml.hpp>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kColumnNames =
    "Name,ID,Start,Bits,Amin,Amax,Display,Chart,Series,Dmin,Dmax,Formula,Units,Factor,Offset,Flags,Avg";
constexpr int kMaxRows = 10000; // the most words the window takes
constexpr int kMacroDepth = 8;

// pugixml holds text as UTF-8; definitions hold Latin-1.
std::string Latin1FromUtf8(const char* s)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        unsigned c = *p++;
        if (c >= 0x80) {
            int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            unsigned v = c & (0x3Fu >> more);
            for (; more > 0 && (*p & 0xC0) == 0x80; --more) v = v << 6 | (*p++ & 0x3F);
            c = v <= 0xFF ? v : '?';
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string Utf8FromLatin1(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) out += static_cast<char>(c);
        else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A cell can't hold a line break or other control characters.
std::string CellText(const char* s)
{
    std::string t = Latin1FromUtf8(s);
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    const auto b = t.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return t.substr(b, t.find_last_not_of(' ') - b + 1);
}

std::string Child(const pugi::xml_node& n, const char* name) { return CellText(n.child_value(name)); }

std::optional<std::uint32_t> Number(const std::string& text, bool hex)
{
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        hex = true;
    }
    std::uint32_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, hex ? 16 : 10);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

// The shortest text that reads back as the same number.
std::string Num(long double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    return s == "-0" ? "0" : s;
}

std::string NumText(const std::string& text)
{
    long double v = 0;
    return TryFloatFromText(text, v) && std::isfinite(v) ? Num(v) : std::string();
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string HexBytes(const std::vector<std::uint8_t>& b, const char* sep)
{
    std::string s;
    for (std::size_t i = 0; i < b.size(); ++i) s += (i ? sep : "") + ByteToHex(b[i]);
    return s;
}

// "F4570100B4" or "0xF4 0x57 ..." as bytes; nullopt when not hex pairs.
std::optional<std::vector<std::uint8_t>> ByteString(const std::string& text)
{
    std::vector<std::uint8_t> out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) {
        if (tok.size() > 2 && tok[0] == '0' && (tok[1] == 'x' || tok[1] == 'X')) tok.erase(0, 2);
        if (tok.size() % 2) return std::nullopt;
        for (std::size_t i = 0; i < tok.size(); i += 2) {
            auto v = Number(tok.substr(i, 2), true);
            if (!v) return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(*v));
        }
    }
    return out;
}

struct TScaling {
    bool Raw = true;
    std::string Reason;
    long double Factor = 1, Offset = 0;
    std::string Expression; // "=..." when the row computes its value
};

// Whether two numbers read the same as number texts; the texts are made only
// when the two lie about a rounding step or an integer apart.
bool SameText(long double a, long double b)
{
    if (a == b) return true;
    if (std::isfinite(a) && std::isfinite(b) && a != std::trunc(a) && b != std::trunc(b) &&
        (std::fabs(a) < 1) == (std::fabs(b) < 1)) {
        const long double scale = std::fabs(a) < 1 ? 1e4L : 1e2L;
        const long double x = a * scale, y = b * scale;
        const long double fx = x - std::floor(x), tol = 1e-6L + std::fabs(x) * 1e-15L;
        if (std::floor(x) == std::floor(y) && std::fabs(fx - 0.5L) > tol && fx > tol && fx < 1 - tol)
            return true;
    }
    return NumberToText(a) == NumberToText(b);
}

// Whether the row decodes every raw value to the equation's own number text,
// or nullopt when `budget` (raw values a file may check) runs out first.
std::optional<bool> DecodesAs(const TAdxEquation& eq, long double factor, long double offset, std::uint32_t top,
                              std::uint64_t& budget)
{
    if (budget <= top) return std::nullopt;
    budget -= top + 1;
    for (std::uint32_t r = 0; r <= top; ++r)
        if (!SameText(eq.Eval(r), static_cast<long double>(static_cast<std::int32_t>(r)) * factor + offset))
            return false;
    return true;
}

struct TValueItem {
    std::string Equation;
    std::string LookupTitle; // set when the value passes through a table
    std::string LookupProblem; // why the table can't be used
    std::vector<std::pair<long double, long double>> Lookup;
    // Each declared variable's text in an expression ("X" or "{ID}"), or
    // empty with the reason in VarProblem.
    std::map<std::string, std::string> VarText;
    std::string VarProblem;
    int NativeVars = 0, LinkVars = 0;
    bool Signed = false, LowFirst = false, BeyondPacket = false;
    int Bits = 8;
    int PacketSize = 0;
};

// The equation's text with each variable written as the expression names it.
std::string Rewritten(const std::string& eq, const std::map<std::string, std::string>& vars)
{
    std::string out;
    for (std::size_t i = 0; i < eq.size();) {
        const char c = eq[i];
        const bool start = std::isalpha(static_cast<unsigned char>(c)) || c == '_';
        if (!start || (i > 0 && (std::isalnum(static_cast<unsigned char>(eq[i - 1])) || eq[i - 1] == '.'))) {
            out += c;
            ++i;
            continue;
        }
        std::size_t e = i;
        while (e < eq.size() && (std::isalnum(static_cast<unsigned char>(eq[e])) || eq[e] == '_')) ++e;
        const std::string name = eq.substr(i, e - i);
        auto it = vars.find(name);
        out += it == vars.end() ? name : it->second;
        i = e;
    }
    return out;
}

// As the expression's table() computes it.
double Interpolated(const std::vector<std::pair<long double, long double>>& t, double x)
{
    if (std::isnan(x)) return x;
    if (x <= static_cast<double>(t.front().first)) return static_cast<double>(t.front().second);
    if (x >= static_cast<double>(t.back().first)) return static_cast<double>(t.back().second);
    std::size_t k = 1;
    while (static_cast<double>(t[k].first) <= x) ++k;
    const double x0 = static_cast<double>(t[k - 1].first), y0 = static_cast<double>(t[k - 1].second);
    const double x1 = static_cast<double>(t[k].first), y1 = static_cast<double>(t[k].second);
    return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

// The one place that decides how an item's equation becomes the row's
// scaling: a factor and offset when exact, else an expression, otherwise
// raw with the reason.
TScaling DecideScaling(const TValueItem& v, std::uint64_t& budget)
{
    TScaling s;
    if (v.NativeVars == 0 && v.LinkVars == 0) s.Reason = "reads no value";
    else if (v.NativeVars > 0 && v.LowFirst) s.Reason = "is stored low byte first";
    else if (v.NativeVars > 0 && v.BeyondPacket)
        s.Reason = "lies beyond the " + std::to_string(v.PacketSize) + "-byte packet";
    else if (!v.LookupProblem.empty()) s.Reason = v.LookupProblem;
    else if (!v.VarProblem.empty()) s.Reason = v.VarProblem;
    if (!s.Reason.empty()) return s;
    TAdxEquation eq;
    std::string error;
    if (!eq.Parse(v.Equation, error)) {
        s.Reason = "has an equation that can't be read (" + error + "): " + v.Equation;
        return s;
    }
    for (const auto& name : eq.Variables())
        if (!v.VarText.count(name)) {
            s.Reason = "uses " + name + ", which its equation does not declare: " + v.Equation;
            return s;
        }
    const bool linear = v.LinkVars == 0 && v.Lookup.empty() && !v.Signed && eq.Variables().size() <= 1;
    const auto lin = linear ? eq.Linear() : std::nullopt;
    const std::uint32_t top = (1u << v.Bits) - 1;
    if (lin && std::isfinite(lin->A) && std::isfinite(lin->B)) {
        if (eq.PlainScaling()) return {false, {}, lin->A, lin->B, {}}; // the decoder's own arithmetic
        // Neighbours of the reduced numbers mend a last-digit difference a
        // division leaves; a scaling that still disagrees is not exact.
        for (int df : {0, 1, -1, 2, -2})
            for (int db : {0, 1, -1}) {
                long double f = lin->A, b = lin->B;
                for (int k = 0; k < std::abs(df); ++k) f = std::nextafter(f, df > 0 ? INFINITY : -INFINITY);
                for (int k = 0; k < std::abs(db); ++k) b = std::nextafter(b, db > 0 ? INFINITY : -INFINITY);
                const auto same = DecodesAs(eq, f, b, top, budget);
                if (!same) {
                    s.Reason = "was not checked: the file has more scalings to check than an import takes";
                    return s;
                }
                if (*same) return {false, {}, f, b, {}};
            }
    }
    // Not a factor and offset: an expression, checked over every raw value
    // when it reads nothing but its own.
    std::string text = "=" + Rewritten(v.Equation, v.VarText);
    if (!v.Lookup.empty()) {
        text = "=table(" + text.substr(1);
        for (const auto& [x, y] : v.Lookup) text += ", " + Num(x) + "," + Num(y);
        text += ")";
    }
    TExpression expr;
    if (!expr.Compile(text, {}, -1, error) && v.LinkVars == 0) {
        s.Reason = "can't be written as an expression (" + error + "): " + v.Equation;
        return s;
    }
    if (v.LinkVars == 0) {
        if (budget <= top) {
            s.Reason = "was not checked: the file has more scalings to check than an import takes";
            return s;
        }
        budget -= top + 1;
        std::vector<double> x(eq.Variables().size());
        for (std::uint32_t r = 0; r <= top; ++r) {
            std::fill(x.begin(), x.end(), v.Signed && (r >> (v.Bits - 1)) ? r - (top + 1.0) : r);
            double want = eq.Eval(x);
            if (!v.Lookup.empty()) want = Interpolated(v.Lookup, want);
            const double got = expr.Evaluate(r);
            if (want != got && NumberToText(want) != NumberToText(got)) {
                s.Reason = "can't be computed exactly as an expression: " + v.Equation;
                return s;
            }
        }
    }
    s.Raw = false;
    s.Expression = text;
    return s;
}

std::vector<std::string> EmptyRow()
{
    std::vector<std::string> r(DefColumnCount);
    r[colFactor] = "1";
    r[colOffset] = "0";
    return r;
}

struct TObjects {
    std::vector<pugi::xml_node> All;
    std::map<std::uint32_t, pugi::xml_node> ByHash;
    std::map<std::string, pugi::xml_node> ById;

    pugi::xml_node Hash(const pugi::xml_node& n, const char* child) const
    {
        auto h = Number(Child(n, child), true);
        if (!h) return {};
        auto it = ByHash.find(*h);
        return it == ByHash.end() ? pugi::xml_node() : it->second;
    }
};

bool Named(const pugi::xml_node& n, const char* name) { return std::strcmp(n.name(), name) == 0; }

std::string Title(const pugi::xml_node& n)
{
    std::string t = CellText(n.attribute("title").value());
    return t.empty() ? CellText(n.attribute("id").value()) : t;
}

std::string ItemName(const pugi::xml_node& n)
{
    return Quoted(Title(n)) + " (id " + CellText(n.attribute("id").value()) + ")";
}

// The steps of a macro, macros inside it opened (bounded), as objects.
void MacroSteps(const TObjects& objs, const pugi::xml_node& n, int depth, std::vector<pugi::xml_node>& out)
{
    if (!Named(n, "ADXMACRO")) {
        out.push_back(n);
        return;
    }
    if (depth > kMacroDepth || out.size() > 1000) return;
    for (auto node : n.children("NODE")) {
        auto it = objs.ById.find(CellText(node.attribute("commandID").value()));
        if (it != objs.ById.end()) MacroSteps(objs, it->second, depth + 1, out);
    }
}

std::string StepText(const pugi::xml_node& s)
{
    if (Named(s, "ADXCSENDCOMMAND")) {
        auto b = ByteString(Child(s, "bytestring"));
        std::string t = "send " + (b ? HexBytes(*b, " ") : Quoted(Child(s, "bytestring")));
        if (s.child("SNDCMDCHECKSUM")) t += " + checksum";
        if (b && b->size() >= 3 && (*b)[2] == 8) t += " (mode 8)";
        return t;
    }
    if (Named(s, "ADXCLISTENSILENCE"))
        return "wait for " + Child(s, "silencelen") + " ms of silence (at most " + Child(s, "totaltimeout") + " ms)";
    if (Named(s, "ADXCLISTENPACKET")) return "read reply " + Quoted(Title(s));
    return Quoted(Title(s));
}

// The steps of the connect macro with how often each runs: a repeated node
// or inner macro repeats its steps; the outer macro's own count is retries.
struct TStep {
    pugi::xml_node Node;
    int Times;
};

void ConnectSteps(const TObjects& objs, const pugi::xml_node& n, int depth, int times, std::vector<TStep>& out)
{
    if (!Named(n, "ADXMACRO")) {
        out.push_back({n, times});
        return;
    }
    if (depth > kMacroDepth || out.size() > 1000) return;
    auto count = [](const pugi::xml_node& x) {
        return static_cast<int>(std::clamp<std::uint32_t>(Number(CellText(x.attribute("repeatcount").value()), false).value_or(1), 1, 100));
    };
    const int self = depth == 0 ? 1 : count(n);
    for (auto node : n.children("NODE")) {
        auto it = objs.ById.find(CellText(node.attribute("commandID").value()));
        if (it != objs.ById.end()) ConnectSteps(objs, it->second, depth + 1, std::min(times * self * count(node), 100), out);
    }
}

int Ms(const pugi::xml_node& n, const char* child, int hi)
{
    return static_cast<int>(std::min<std::uint32_t>(Number(Child(n, child), false).value_or(0), static_cast<std::uint32_t>(hi)));
}

// The link settings a connect macro stands for; its steps that have none
// are listed in `notes`.
TLinkSettings LinkFromConnect(const std::vector<TStep>& steps, std::vector<std::string>& notes)
{
    TLinkSettings s;
    s.QuietWait = 0; // a macro without a silence wait sends at once
    s.QuietWaitSet = true;
    std::vector<std::string> requests;
    int repeat = 0;
    bool quiet = false;
    auto silencing = [&](std::size_t k) {
        if (k >= steps.size() || !Named(steps[k].Node, "ADXCSENDCOMMAND")) return false;
        auto b = ByteString(Child(steps[k].Node, "bytestring"));
        const std::size_t least = steps[k].Node.child("SNDCMDCHECKSUM") ? 3 : 4; // id, length, mode
        return b && b->size() >= least && (*b)[2] == 8;
    };
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const auto& n = steps[k].Node;
        const std::string what = StepText(n) + (steps[k].Times > 1 ? " " + std::to_string(steps[k].Times) + " times" : "");
        if (Named(n, "ADXCLISTENSILENCE") && Ms(n, "silencelen", 5000) > 0 && !quiet) {
            quiet = true;
            s.QuietWait = Ms(n, "silencelen", 5000);
            s.QuietTimeout = std::max(s.QuietWait, Ms(n, "totaltimeout", 30000));
        } else if (Named(n, "ADXCLISTENSILENCE") && Ms(n, "silencelen", 1) == 0 && (silencing(k - 1) || silencing(k + 1))) {
            s.SilenceGap = Ms(n, "totaltimeout", 2000); // a pause between silencing sends
        } else if (silencing(k)) {
            auto b = *ByteString(Child(n, "bytestring"));
            if (!n.child("SNDCMDCHECKSUM")) {
                unsigned sum = 0; // a frame and its checksum add up to 0
                for (std::uint8_t x : b) sum += x;
                if (sum & 0xFF) {
                    notes.push_back("Connect step not imported (its checksum is wrong): " + what);
                    continue;
                }
                b.pop_back();
            }
            if (b.size() > 127) { // longer than any frame
                notes.push_back("Connect step not imported (longer than a frame): " + what);
                continue;
            }
            const std::string text = HexBytes(b, " ");
            if (std::find(requests.begin(), requests.end(), text) == requests.end()) requests.push_back(text);
            repeat = std::max(repeat, steps[k].Times);
        } else
            notes.push_back("Connect step not imported (no link setting holds it): " + what);
    }
    for (const auto& r : requests) s.Silence += (s.Silence.empty() ? "" : ", ") + r;
    if (repeat) s.SilenceRepeat = std::min(repeat, 20);
    else s.SilenceGap = TLinkSettings::DefaultGap; // paused for nothing imported
    // A bus that needs silencing has other talkers: their frames are skipped,
    // not taken for a failed link.
    s.SkipForeign = !requests.empty();
    s.Present = quiet || !requests.empty();
    return s.Present ? s : TLinkSettings{};
}

std::string HistogramText(const pugi::xml_node& n, const TObjects& objs)
{
    auto axis = [&](const char* c) {
        auto o = objs.Hash(n, c);
        return o ? Quoted(Title(o)) : std::string("?");
    };
    return ItemName(n) + ", " + Child(n, "rows") + " rows x " + Child(n, "cols") + " columns, X " + axis("xidhash") +
           ", Y " + axis("yidhash") + ", Z " + axis("zidhash");
}

// A histogram as the cell table of the Log Analysis page: its X, Y and Z
// items (rows of `def`) and breakpoints; false with the reason otherwise.
bool HistogramTable(const pugi::xml_node& n, const TObjects& objs, const TDefinition& def, TCellChoices& out,
                    std::string& why)
{
    auto word = [&](const char* c, std::string& id, const std::vector<std::string>** row) {
        auto o = objs.Hash(n, c);
        if (!o) return false;
        id = CellText(o.attribute("id").value());
        int found = 0;
        for (const auto& r : def.Words)
            if (r[colID] == id) {
                *row = &r;
                ++found;
            }
        return found == 1 && (**row)[colDisplay] == "Value";
    };
    auto breaks = [&](const char* val, const char* count, const char* lo, const char* hi, std::string& text) {
        std::map<long, long double> at;
        for (auto v : n.children(val)) {
            long double x = 0;
            if (!TryFloatFromText(CellText(v.attribute("val").value()), x) || !std::isfinite(x)) return false;
            at[v.attribute("index").as_int()] = x;
        }
        if (at.empty()) { // even steps over the stated range
            long double a = 0, b = 0;
            const int k = static_cast<int>(Number(Child(n, count), false).value_or(0));
            if (k < 1 || k > 1000 || !TryFloatFromText(Child(n, lo), a) || !TryFloatFromText(Child(n, hi), b) ||
                !(b > a) || !std::isfinite(b - a))
                return false;
            for (int i = 0; i < k; ++i) at[i] = k == 1 ? a : a + (b - a) * i / (k - 1);
        }
        long double last = -INFINITY;
        text.clear();
        for (const auto& [i, x] : at) {
            if (!(x > last)) return false;
            last = x;
            text += (text.empty() ? "" : ",") + Num(x);
        }
        return true;
    };
    const std::vector<std::string>*xr = nullptr, *yr = nullptr, *zr = nullptr;
    TCellChoices c;
    if (!word("xidhash", c.X, &xr) || !word("yidhash", c.Y, &yr) || !word("zidhash", c.Z, &zr))
        why = "reads an item that is not one imported value";
    else if (!breaks("colval", "cols", "xmin", "xmax", c.XBreaks) || !breaks("rowval", "rows", "ymin", "ymax", c.YBreaks))
        why = "has no ascending breakpoints";
    if (!why.empty()) return false;
    // The colour scale centres on the middle of Z's display range.
    long double lo = 0, hi = 0;
    if (TryFloatFromText((*zr)[colDmin], lo) && TryFloatFromText((*zr)[colDmax], hi) && std::isfinite(lo + hi))
        c.Centre = Num((lo + hi) / 2);
    out = std::move(c);
    return true;
}

} // namespace

std::string TAdxImport::ReportText(const std::string& fileName) const
{
    if (Warnings.empty() && Notes.empty()) return {};
    std::string t = "Import of " + fileName + ": " + std::to_string(Def.Words.size()) + " words, " +
                    std::to_string(Raw) + " imported raw, " + std::to_string(Skipped) + " items left out.\n";
    for (const auto& w : Warnings) t += "Warning: " + w + "\n";
    for (const auto& n : Notes) t += n + "\n";
    return t;
}

bool ImportAdx(std::string_view data, const std::string& fileName, TAdxImport& out, std::string& error)
{
    if (data.size() > AdxMaxFileSize) {
        error = "is larger than " + std::to_string(AdxMaxFileSize >> 20) + " MiB, which no definition is";
        return false;
    }
    if (std::size_t(std::count(data.begin(), data.end(), '<')) > AdxMaxMarkup) {
        error = "holds more markup than any definition";
        return false;
    }
    // Without a declaration or byte order mark the text is Latin-1.
    const bool declared = data.substr(0, 3) == "\xEF\xBB\xBF" || data.substr(0, 2) == "\xFF\xFE" ||
                          data.substr(0, 2) == "\xFE\xFF" || (data.substr(0, 5) == "<?xml" &&
                                                              data.substr(0, 100).find("encoding") != data.npos);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(data.data(), data.size(), pugi::parse_default, declared ? pugi::encoding_auto : pugi::encoding_latin1);

    // A self-closed root is followed by its objects: take both.
    pugi::xml_node root = doc.child("ADXFORMAT");
    if (!root) {
        error = parsed ? "is not an ADX definition (no ADXFORMAT element)"
                       : std::string("is not an ADX definition (") + parsed.description() + ")";
        return false;
    }
    TAdxImport res;
    if (!parsed)
        res.Warnings.push_back(std::string("the file is damaged (") + parsed.description() + " at byte " +
                               std::to_string(parsed.offset) + "); what comes before that was read");
    TObjects objs;
    for (auto n : root.children())
        if (n.type() == pugi::node_element) objs.All.push_back(n);
    for (auto n = root.next_sibling(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) objs.All.push_back(n);
    for (auto n : objs.All) {
        if (auto h = Number(n.attribute("idhash").value(), true)) objs.ByHash.emplace(*h, n);
        if (std::string id = CellText(n.attribute("id").value()); !id.empty()) objs.ById.emplace(id, n);
    }

    // Header: title, echo, the bus, and the monitor macro's request and reply.
    pugi::xml_node header;
    for (auto n : objs.All)
        if (Named(n, "ADXHEADER")) {
            header = n;
            break;
        }
    if (!header) res.Warnings.push_back("the file has no header; the request is left empty");
    std::string title = Child(header, "desc");
    if (title.empty() || title == "-") {
        title = fileName.substr(fileName.find_last_of('/') + 1);
        if (auto dot = title.rfind('.'); dot != std::string::npos && dot > 0) title.erase(dot);
    }
    const bool echo = Number(Child(header, "flags"), true).value_or(0) & 1;
    const std::string baud = Child(header, "baud");
    if (header && baud != "8192")
        res.Warnings.push_back("this definition is for a " + (baud.empty() ? std::string("link of unknown speed")
                                                                           : baud + "-baud link") +
                               ", not the 8192-baud ALDL; check its words before reading a car with it");
    auto defaults = header.child("DEFAULTS");
    const int defaultBits = static_cast<int>(Number(defaults.attribute("datasizeinbits").value(), false).value_or(8));
    const bool defaultSigned = std::strcmp(defaults.attribute("signed").value(), "1") == 0;
    const bool defaultLow = std::strcmp(defaults.attribute("lsbfirst").value(), "1") == 0;

    pugi::xml_node monitor, packet, send;
    if (header) {
        const std::string id = Child(header, "monitorcmd");
        auto it = objs.ById.find(id);
        if (it == objs.ById.end()) res.Warnings.push_back("the monitor command " + Quoted(id) + " is not in the file");
        else monitor = it->second;
    }
    std::vector<pugi::xml_node> steps;
    if (monitor) MacroSteps(objs, monitor, 0, steps);
    for (auto s : steps) {
        if (!send && !packet && Named(s, "ADXCSENDCOMMAND")) send = s;
        else if (!packet && Named(s, "ADXCLISTENPACKET")) packet = s;
        else if (send && Named(s, "ADXCSENDCOMMAND"))
            res.Notes.push_back("Monitor step left out (one request per frame): " + StepText(s));
    }
    std::string request;
    if (send) {
        auto bytes = ByteString(Child(send, "bytestring"));
        if (!bytes) res.Warnings.push_back("the request " + Quoted(Child(send, "bytestring")) + " is not hexadecimal");
        else {
            unsigned sum = 0;
            for (auto b : *bytes) sum += b;
            if (!send.child("SNDCMDCHECKSUM")) {
                if (bytes->size() >= 2 && sum % 256 == 0) bytes->pop_back();
                else res.Notes.push_back("The request " + HexBytes(*bytes, " ") +
                                         " ends without a checksum; Diduvuve adds one when it sends it");
            }
            if (bytes->size() > FrameLast + 1)
                res.Warnings.push_back("the request is longer than a frame; it is left empty");
            else request = HexBytes(*bytes, " ");
        }
    } else if (packet)
        res.Warnings.push_back("the stream is listened to without a request; the request is left empty");
    int packetSize = FrameLast + 1;
    std::uint32_t packetHash = 0;
    if (packet) {
        packetSize = static_cast<int>(std::min<std::uint32_t>(Number(Child(packet, "packetsize"), false).value_or(0), 1u << 20));
        packetHash = Number(packet.attribute("idhash").value(), true).value_or(0);
        const std::string skip = Child(packet, "packetoffsetinbody");
        if (!skip.empty() && skip != "3")
            res.Warnings.push_back("the data start " + skip + " bytes into the reply, not after its id, length and mode bytes");
        if (packet.child("headerstring"))
            res.Warnings.push_back("the reply is found by the pattern " + Child(packet, "headerstring") +
                                   ", not by an ALDL request");
    } else if (monitor)
        res.Warnings.push_back("the monitor command " + Quoted(Title(monitor)) + " reads no reply packet");

    if (header)
        if (auto it = objs.ById.find(Child(header, "connectcmd")); it != objs.ById.end()) {
            std::vector<TStep> connect;
            ConnectSteps(objs, it->second, 0, 1, connect);
            res.Link = LinkFromConnect(connect, res.Notes);
        }

    TDefinition& def = res.Def;
    def.Header = SplitList(kColumnNames);
    std::vector<std::string> info(TDefinition::InfoFieldCount);
    info[TDefinition::Title] = title;
    info[TDefinition::Request] = request;
    info[TDefinition::Echo] = echo ? "Y" : "";
    for (auto& f : info) f = EmptyToDash(f);
    def.Info = JoinCommaText(info);

    int stale = 0;
    std::vector<std::pair<std::size_t, std::string>> derived; // rows computed from others
    std::vector<pugi::xml_node> histograms;
    // Checking scalings other than x * a + b costs a pass over every raw
    // value; a real file needs a few, a hostile one gets a bounded time.
    std::uint64_t budget = std::uint64_t{1} << 24;
    auto leaveOut = [&](const pugi::xml_node& n, const std::string& why) {
        res.Notes.push_back("Left out: " + ItemName(n) + " " + why);
        ++res.Skipped;
    };
    // The packet an item reads: false (and reported) when another one.
    auto readsMonitorPacket = [&](const pugi::xml_node& n) {
        const auto h = Number(Child(n, "parentcmdidhash"), true).value_or(0);
        if (h == 0 || h == packetHash) return true;
        auto it = objs.ByHash.find(h);
        if (it == objs.ByHash.end()) {
            ++stale;
            return true;
        }
        leaveOut(n, "reads packet " + Quoted(Title(it->second)) + ", which is not the one requested");
        return false;
    };

    for (auto n : objs.All) {
        const bool value = Named(n, "ADXVALUE"), mask = Named(n, "ADXBITMASK");
        if (Named(n, "ADXHISTOGRAM")) {
            histograms.push_back(n);
            continue;
        }
        if (!value && !mask) continue;
        if (static_cast<int>(def.Words.size()) >= kMaxRows) {
            leaveOut(n, "is past the " + std::to_string(kMaxRows) + " words a definition holds");
            continue;
        }
        if (!readsMonitorPacket(n)) continue;
        auto offset = Number(Child(n, "packetoffset"), true);
        bool linksOnly = value && n.child("MATH").child("VAR");
        for (auto var : n.child("MATH").children("VAR"))
            linksOnly = linksOnly && std::strcmp(var.attribute("type").value(), "link") == 0;
        if (!offset && linksOnly) offset = 0; // a value computed from others reads no bytes
        if (!offset) {
            leaveOut(n, "has no packet offset");
            continue;
        }
        const std::uint32_t flags = Number(Child(n, "flags"), true).value_or(0);
        std::vector<std::string> row = EmptyRow();
        row[colName] = Title(n);
        row[colID] = CellText(n.attribute("id").value());

        if (value) {
            TValueItem v;
            v.Bits = static_cast<int>(Number(Child(n, "sizeinbits"), false).value_or(defaultBits));
            if (v.Bits != 8 && v.Bits != 16) {
                leaveOut(n, "is " + std::to_string(v.Bits) + " bits wide");
                continue;
            }
            const std::uint64_t start = std::uint64_t{*offset} + (v.Bits == 16 ? 2 : 1);
            if (start > FrameLast + 1) {
                leaveOut(n, "lies at byte " + std::to_string(start) + ", beyond the frame");
                continue;
            }
            auto math = n.child("MATH");
            v.Equation = CellText(math.attribute("equation").value());
            v.Signed = (flags & 1) || defaultSigned;
            if (auto lk = math.attribute("lookupidhash")) {
                auto h = Number(lk.value(), true);
                auto it = h ? objs.ByHash.find(*h) : objs.ByHash.end();
                if (it == objs.ByHash.end() || !Named(it->second, "ADXLOOKUPTABLE"))
                    v.LookupProblem = "passes through lookup table " + Quoted(lk.value()) + ", which is not in the file";
                else {
                    for (auto e : it->second.children("tableentry")) {
                        long double x = 0, y = 0;
                        if (!TryFloatFromText(CellText(e.attribute("input").value()), x) ||
                            !TryFloatFromText(CellText(e.attribute("output").value()), y) || !std::isfinite(x) ||
                            !std::isfinite(y) || (!v.Lookup.empty() && !(x > v.Lookup.back().first))) {
                            v.LookupProblem = "passes through lookup table " + Quoted(Title(it->second)) +
                                              ", whose inputs are not ascending numbers";
                            break;
                        }
                        v.Lookup.emplace_back(x, y);
                    }
                    if (v.Lookup.empty() && v.LookupProblem.empty())
                        v.LookupProblem = "passes through lookup table " + Quoted(Title(it->second)) + ", which is empty";
                    else if (static_cast<int>(v.Lookup.size()) > ExprMaxTablePoints)
                        v.LookupProblem = "passes through lookup table " + Quoted(Title(it->second)) + " of more than " +
                                          std::to_string(ExprMaxTablePoints) + " points";
                }
            }
            for (auto var : math.children("VAR")) {
                const std::string name = CellText(var.attribute("varID").value());
                if (std::strcmp(var.attribute("type").value(), "link") != 0) {
                    ++v.NativeVars;
                    v.VarText[name] = v.Signed ? "signed(X," + std::to_string(v.Bits) + ")" : "X";
                    continue;
                }
                ++v.LinkVars;
                pugi::xml_node target;
                if (auto h = Number(CellText(var.attribute("linkIDHash").value()), true)) {
                    auto it = objs.ByHash.find(*h);
                    if (it != objs.ByHash.end()) target = it->second;
                }
                const std::string id = target ? CellText(target.attribute("id").value()) : std::string();
                if (!target || !Named(target, "ADXVALUE"))
                    v.VarProblem = "is computed from a value that is not in the file";
                else if (id.empty() || id.find_first_of("{}") != std::string::npos)
                    v.VarProblem = "is computed from " + ItemName(target) + ", whose id can't be named";
                else
                    v.VarText[name] = "{" + id + "}";
            }
            v.LowFirst = v.Bits == 16 && ((flags & 2) || defaultLow);
            v.PacketSize = packetSize;
            v.BeyondPacket = packet && start > static_cast<std::uint64_t>(packetSize);
            const TScaling s = DecideScaling(v, budget);
            row[colStart] = std::to_string(start);
            row[colBits] = std::to_string(v.Bits);
            row[colDisplay] = "Value";
            row[colFormula] = "(User defined)";
            if (s.Raw) {
                row[colName] += row[colName].empty() ? "(raw)" : " (raw)";
                res.Notes.push_back("Imported raw: " + ItemName(n) + " " + s.Reason);
                ++res.Raw;
            } else {
                if (s.Expression.empty()) {
                    row[colFactor] = Num(s.Factor);
                    row[colOffset] = Num(s.Offset);
                } else {
                    row[colFormula] = s.Expression;
                    if (v.LinkVars) derived.emplace_back(def.Words.size(), ItemName(n));
                }
                row[colUnits] = Child(n, "units");
                auto range = n.child("range");
                if (range) {
                    row[colDmin] = NumText(range.attribute("low").value());
                    row[colDmax] = NumText(range.attribute("high").value());
                }
                auto alarms = n.child("alarms");
                if (flags & 8) row[colAmin] = NumText(alarms.attribute("low").value());
                if (flags & 4) row[colAmax] = NumText(alarms.attribute("high").value());
            }
        } else {
            const std::string op = Child(n, "bitop");
            const std::uint32_t operand = Number(Child(n, "operand"), true).value_or(0);
            const std::uint32_t result = Number(Child(n, "result"), true).value_or(0);
            if (!op.empty() && op != "AND") {
                leaveOut(n, "tests its bits with " + op + ", not AND");
                continue;
            }
            if (operand == 0 || operand > 0xFF) {
                leaveOut(n, "tests bits " + Child(n, "operand") + ", not bits of one byte");
                continue;
            }
            if (*offset + 1 > FrameLast + 1) {
                leaveOut(n, "lies at byte " + std::to_string(*offset + 1) + ", beyond the frame");
                continue;
            }
            const int low = std::countr_zero(operand);
            const int span = 32 - std::countl_zero(operand) - low;
            if (std::popcount(operand) != span)
                res.Notes.push_back("Note: " + ItemName(n) + " tests bits that are not adjacent (" +
                                    Child(n, "operand") + "); its flag word covers bits " + std::to_string(low) +
                                    " to " + std::to_string(low + span - 1));
            if (result & ~operand)
                res.Notes.push_back("Note: " + ItemName(n) + " can never be true (result " + Child(n, "result") +
                                    " has bits outside " + Child(n, "operand") + ")");
            if (packet && *offset + 1 > static_cast<std::uint32_t>(packetSize))
                res.Notes.push_back("Note: " + ItemName(n) + " lies beyond the " + std::to_string(packetSize) +
                                    "-byte packet");
            const std::string yes = Child(n, "truestring"), no = Child(n, "falsestring");
            std::vector<std::string> texts;
            for (std::uint32_t i = 0; i < (1u << span); ++i) texts.push_back(((i << low) & operand) == result ? yes : no);
            row[colStart] = std::to_string(*offset + 1) + "." + std::to_string(low);
            row[colBits] = std::to_string(span);
            row[colDisplay] = "Flag";
            row[colFlags] = JoinCommaText(texts);
        }
        def.Words.push_back(std::move(row));
    }
    // A value computed from others needs them all in the grid, each with its
    // own value: one that can't be set up, or reads a raw row, is raw too.
    for (bool changed = true; changed && !derived.empty();) {
        changed = false;
        std::vector<TExprWord> words;
        for (const auto& w : def.Words) words.push_back({w[colName], w[colID], w[colFormula]});
        std::map<int, std::string> why;
        for (const auto& p : TExprSet().Compile(words)) why[p.Word] = p.What;
        for (auto it = derived.begin(); it != derived.end();) {
            auto& row = def.Words[it->first];
            std::string reason = why.count(static_cast<int>(it->first)) ? why[static_cast<int>(it->first)] : "";
            TExpression e;
            std::string ignored;
            std::vector<std::string> ids;
            for (const auto& w : def.Words) ids.push_back(w[colID]);
            if (reason.empty() && e.Compile(row[colFormula], ids, static_cast<int>(it->first), ignored))
                for (int k : e.References())
                    if (def.Words[static_cast<std::size_t>(k)][colName].ends_with(" (raw)"))
                        reason = "reads " + Quoted(def.Words[static_cast<std::size_t>(k)][colName]);
            if (reason.empty()) {
                ++it;
                continue;
            }
            res.Notes.push_back("Imported raw: " + it->second + " is computed from other values and " + reason);
            ++res.Raw;
            row[colName] += row[colName].empty() ? "(raw)" : " (raw)";
            row[colFormula] = "(User defined)";
            row[colUnits] = row[colDmin] = row[colDmax] = row[colAmin] = row[colAmax] = "";
            it = derived.erase(it);
            changed = true;
        }
    }
    for (auto n : histograms) {
        std::string why;
        TCellChoices table;
        if (res.Analysis.Tables.size() >= static_cast<std::size_t>(MaxCellTables))
            why = "a definition holds " + std::to_string(MaxCellTables) + " cell tables at most";
        else if (HistogramTable(n, objs, def, table, why)) {
            table.Name = CellText(n.attribute("title").value());
            table.Name = CellTableName(table, static_cast<int>(res.Analysis.Tables.size()));
            res.Analysis.Tables.push_back(std::move(table));
            res.Notes.push_back("Histogram imported as cell table " + std::to_string(res.Analysis.Tables.size()) +
                                " of the Log Analysis page: " + HistogramText(n, objs));
        }
        if (!why.empty()) res.Notes.push_back("Histogram not imported (" + why + "): " + HistogramText(n, objs));
    }
    if ((res.HasAnalysis = !res.Analysis.Tables.empty())) {
        const TCellChoices& first = res.Analysis.Tables.front();
        res.Analysis.Overview = {first.X, first.Y, first.Z, "-"};
    }
    if (stale)
        res.Notes.push_back("Note: items naming a packet that is not in the file (" + std::to_string(stale) +
                            ") are read from the requested reply");
    out = std::move(res);
    return true;
}

bool ImportAdxFile(const std::string& path, TAdxImport& out, std::string& error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "is not a regular file";
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) > AdxMaxFileSize)
        return ImportAdx(std::string(AdxMaxFileSize + 1, ' '), path, out, error);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && data.size() <= AdxMaxFileSize) data.append(buf, n);
    const bool bad = std::ferror(f);
    std::fclose(f);
    if (bad) {
        error = "cannot be read";
        return false;
    }
    return ImportAdx(data, path, out, error);
}

namespace {

struct TXmlText : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};

std::string Cell(const std::vector<std::string>& row, int col)
{
    return col < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(col)] : std::string();
}

std::string HexWord(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string HexByte(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%02X", v);
    return buf;
}

pugi::xml_node Object(pugi::xml_node root, const char* kind, const std::string& id, const std::string& title,
                      std::uint32_t& serial)
{
    auto n = root.append_child(kind);
    n.append_attribute("id") = Utf8FromLatin1(id).c_str();
    // Other tools resolve references by the hash written; any unique one serves.
    n.append_attribute("idhash") = HexWord(0x44560000u + ++serial).c_str();
    n.append_attribute("title") = Utf8FromLatin1(title).c_str();
    return n;
}

void Text(pugi::xml_node n, const char* child, const std::string& text)
{
    n.append_child(child).text() = Utf8FromLatin1(text).c_str();
}

struct TMask {
    std::uint32_t operand, result;
    std::string yes, no;
};

// The one bit test over a run of `bits` bits that gives exactly these texts
// (the one the import maps back to the same run), if there is one.
std::optional<TMask> MaskFor(const std::vector<std::string>& t, int bits)
{
    const std::uint32_t full = (1u << bits) - 1;
    std::vector<std::string> distinct;
    for (const auto& s : t)
        if (std::find(distinct.begin(), distinct.end(), s) == distinct.end()) distinct.push_back(s);
    if (distinct.size() == 1) return TMask{full, 0, t[0], t[0]};
    if (distinct.size() > 2) return std::nullopt;
    for (int k : {1, 0}) {
        const std::string& yes = distinct[static_cast<std::size_t>(k)];
        std::uint32_t ones = full, zeros = full, count = 0;
        for (std::uint32_t i = 0; i <= full; ++i)
            if (t[i] == yes) {
                ones &= i;
                zeros &= ~i;
                ++count;
            }
        const std::uint32_t op = ones | zeros;
        if ((op & 1) && (op >> (bits - 1) & 1) && count == 1u << (bits - std::popcount(op)))
            return TMask{op, ones, yes, distinct[static_cast<std::size_t>(1 - k)]};
    }
    return std::nullopt;
}

// An expression as an ADX equation: variables, links to other words, the
// signed flag and a lookup table; nullopt when it uses anything else.
struct TAdxMath {
    std::string Equation;
    bool Native = false, Signed = false;
    std::vector<std::string> Links; // IDs, variable k+1 named "L<k+1>"
    std::vector<std::pair<std::string, std::string>> Table;
};

std::vector<std::string> TopLevelArgs(const std::string& s)
{
    std::vector<std::string> out(1);
    int depth = 0;
    for (char c : s) {
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

std::optional<TAdxMath> AdxMathFor(const std::string& formula, int bits)
{
    TAdxMath m;
    std::string core = formula.substr(1);
    const auto b = core.find_first_not_of(' '), e = core.find_last_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    core = core.substr(b, e - b + 1);
    if (core.starts_with("table(") && core.ends_with(")")) {
        auto args = TopLevelArgs(core.substr(6, core.size() - 7));
        if (args.size() < 3 || args.size() % 2 == 0) return std::nullopt;
        for (std::size_t i = 1; i < args.size(); i += 2) {
            const std::string x = NumText(args[i]), y = NumText(args[i + 1]);
            if (x.empty() || y.empty()) return std::nullopt;
            m.Table.emplace_back(x, y);
        }
        core = args[0];
        const auto cb = core.find_first_not_of(' ');
        core = cb == std::string::npos ? std::string() : core.substr(cb);
    }
    const std::string sig = "signed(X," + std::to_string(bits) + ")";
    for (std::size_t p; (p = core.find(sig)) != std::string::npos;) {
        core.replace(p, sig.size(), "X");
        m.Signed = true;
    }
    for (std::size_t i = 0; i < core.size();) {
        const char c = core[i];
        std::string id;
        std::size_t end = i + 1;
        if (c == '{') {
            end = core.find('}', i);
            if (end == std::string::npos) return std::nullopt;
            id = core.substr(i + 1, end - i - 1);
            ++end;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            if (i > 0 && (std::isalnum(static_cast<unsigned char>(core[i - 1])) || core[i - 1] == '.')) {
                m.Equation += c; // an exponent's e
                ++i;
                continue;
            }
            while (end < core.size() && (std::isalnum(static_cast<unsigned char>(core[end])) || core[end] == '_')) ++end;
            id = core.substr(i, end - i);
            if (id == "X") {
                m.Native = true;
                m.Equation += "X";
                i = end;
                continue;
            }
        } else {
            m.Equation += c;
            ++i;
            continue;
        }
        auto it = std::find(m.Links.begin(), m.Links.end(), id);
        if (it == m.Links.end()) it = m.Links.insert(m.Links.end(), id);
        m.Equation += "L" + std::to_string(it - m.Links.begin() + 1);
        i = end;
    }
    TAdxEquation eq;
    std::string error;
    if (m.Signed && !m.Native) return std::nullopt;
    if (!eq.Parse(m.Equation, error)) return std::nullopt;
    return m;
}

} // namespace

std::string ExportAdx(const TDefinition& def, std::vector<std::string>& notes, const TAnalysisChoices* analysis,
                      const TLinkSettings* link)
{
    pugi::xml_document doc;
    auto root = doc.append_child("ADXFORMAT");
    root.append_attribute("version") = "1.01";
    std::uint32_t serial = 0;

    // Which rows an ADX item can express, and the reply bytes they need.
    struct TItem {
        const std::vector<std::string>* row;
        bool mask;
        std::uint32_t offset, operand = 0, result = 0;
        int bits;
        std::string yes, no;
        std::optional<TAdxMath> math = {};
    };
    std::vector<TItem> items;
    std::uint32_t packetSize = 1;
    for (const auto& row : def.Words) {
        const TDisplay d(row);
        const std::string name = Quoted(d.Name) + " (ID " + d.ID + ")";
        if (d.Display != DisplayKind::Flag) {
            if ((d.Bits != 8 && d.Bits != 16) || d.StartBit != 0 || d.StartByte < d.Bits / 8) {
                notes.push_back("Left out: " + name + " is not a whole 8 or 16-bit value");
                continue;
            }
            std::optional<TAdxMath> m;
            if (IsExpressionText(Cell(row, colFormula)) && !(m = AdxMathFor(Cell(row, colFormula), d.Bits))) {
                notes.push_back("Left out: " + name + " has an expression no ADX equation can hold");
                continue;
            }
            items.push_back({&row, false, static_cast<std::uint32_t>(d.StartByte - d.Bits / 8), 0, 0, d.Bits, {}, {}, m});
        } else {
            if (d.Bits < 1 || d.StartBit < 0 || d.StartBit + d.Bits > 8 || d.StartByte < 1) {
                notes.push_back("Left out: " + name + " is not a run of bits in one byte");
                continue;
            }
            std::vector<std::string> t = d.Flags;
            t.resize(std::size_t{1} << d.Bits, "?");
            auto m = MaskFor(t, d.Bits);
            if (!m) {
                notes.push_back("Left out: " + name + " has flag texts no single bit test gives");
                continue;
            }
            items.push_back({&row, true, static_cast<std::uint32_t>(d.StartByte - 1), m->operand << d.StartBit,
                             m->result << d.StartBit, d.Bits, m->yes, m->no});
        }
        packetSize = std::max<std::uint32_t>(packetSize, static_cast<std::uint32_t>(d.StartByte));
    }

    // A value computed from others needs each of them written as a value.
    std::map<std::string, std::size_t> valueItem; // ID -> index in items
    for (bool changed = true; changed;) {
        changed = false;
        valueItem.clear();
        for (std::size_t k = items.size(); k-- > 0;)
            if (!items[k].mask) valueItem[Cell(*items[k].row, colID)] = k;
        for (std::size_t k = 0; k < items.size() && !changed; ++k)
            if (items[k].math)
                for (const auto& id : items[k].math->Links)
                    if (!valueItem.count(id)) {
                        notes.push_back("Left out: " + Quoted(Cell(*items[k].row, colName)) + " (ID " +
                                        Cell(*items[k].row, colID) + ") reads " + id + ", which is not written as a value");
                        items.erase(items.begin() + static_cast<std::ptrdiff_t>(k));
                        changed = true;
                        break;
                    }
    }

    auto header = root.append_child("ADXHEADER");
    Text(header, "flags", def.EchoOn() ? "0x01" : "0x00");
    Text(header, "objectcount", std::to_string(items.size() + 3));
    Text(header, "desc", def.InfoText(TDefinition::Title));
    Text(header, "baud", "8192");
    auto defaults = header.append_child("DEFAULTS");
    for (auto [k, v] : {std::pair{"datasizeinbits", "8"}, {"sigdigits", "2"}, {"outputtype", "3"}, {"baud", "0"},
                        {"signed", "0"}, {"lsbfirst", "0"}, {"float", "0"}})
        defaults.append_attribute(k) = v;
    Text(header, "monitorcmd", "monitormacro");

    std::vector<std::uint8_t> request(FrameLast + 1);
    int count = 0;
    try {
        count = HexToBytes(def.RequestText(), request.data(), FrameLast);
    } catch (const std::exception&) {
        notes.push_back("The request is longer than a frame and was cut");
        count = FrameLast + 1;
    }
    request.resize(static_cast<std::size_t>(count));
    auto send = Object(root, "ADXCSENDCOMMAND", "request", "Request", serial);
    send.append_child("SNDCMDCHECKSUM").append_attribute("type") = "2";
    auto bytes = send.append_child("bytestring");
    bytes.append_attribute("size") = ("0x" + ByteToHex(count)).c_str();
    bytes.text() = HexBytes(request, "").c_str();
    auto reply = Object(root, "ADXCLISTENPACKET", "reply", "Reply", serial);
    reply.append_attribute("flags") = "0x00000005";
    Text(reply, "listentimeout", "500");
    Text(reply, "packetbodylength", std::to_string(packetSize + 3));
    Text(reply, "packetoffsetinbody", "3");
    Text(reply, "packetsize", std::to_string(packetSize));
    auto macro = Object(root, "ADXMACRO", "monitormacro", "Monitor", serial);
    macro.append_attribute("repeatcount") = "1";
    for (const char* id : {"request", "reply"}) {
        auto node = macro.append_child("NODE");
        node.append_attribute("commandID") = id;
        node.append_attribute("repeatcount") = "1";
    }
    if (request.empty()) {
        root.remove_child(send);
        macro.remove_child(macro.first_child());
    }

    // The link settings as the connect macro: the silence wait, then each
    // silencing request repeated with its pause.
    if (link && link->Present) {
        if (link->Renew || !link->Resume.empty())
            notes.push_back("The link settings' Renew and Resume have no place in an ADX file");
        Text(header, "connectcmd", "linkconnect");
        std::vector<std::string> nodes;
        if (link->QuietWait > 0) {
            auto quiet = Object(root, "ADXCLISTENSILENCE", "linkquiet", "Listen for Silence", serial);
            Text(quiet, "silencelen", std::to_string(link->QuietWait));
            Text(quiet, "totaltimeout", std::to_string(link->QuietTimeout));
            nodes.push_back("linkquiet");
        }
        const auto requests = LinkRequests(link->Silence);
        if (!requests.empty()) {
            auto pause = Object(root, "ADXCLISTENSILENCE", "linkpause", "Pause", serial);
            Text(pause, "silencelen", "0");
            Text(pause, "totaltimeout", std::to_string(link->SilenceGap));
        }
        for (std::size_t k = 0; k < requests.size(); ++k) {
            const std::string id = "linksilence" + std::to_string(k + 1);
            auto cmd = Object(root, "ADXCSENDCOMMAND", id, "Silence " + std::to_string(k + 1), serial);
            cmd.append_child("SNDCMDCHECKSUM").append_attribute("type") = "2";
            auto b = cmd.append_child("bytestring");
            b.append_attribute("size") = ("0x" + ByteToHex(static_cast<int>(requests[k].size()))).c_str();
            b.text() = HexBytes(requests[k], "").c_str();
            auto rep = Object(root, "ADXMACRO", id + "x", "Silence " + std::to_string(k + 1) + " repeated", serial);
            rep.append_attribute("repeatcount") = std::to_string(link->SilenceRepeat).c_str();
            for (const std::string& c : {id, std::string("linkpause")}) {
                auto node = rep.append_child("NODE");
                node.append_attribute("commandID") = c.c_str();
                node.append_attribute("repeatcount") = "1";
            }
            nodes.push_back(id + "x");
        }
        auto connect = Object(root, "ADXMACRO", "linkconnect", "Connect", serial);
        connect.append_attribute("repeatcount") = "1";
        for (const auto& c : nodes) {
            auto node = connect.append_child("NODE");
            node.append_attribute("commandID") = c.c_str();
            node.append_attribute("repeatcount") = "1";
        }
    }

    // Items and then their tables take the next hashes in turn.
    const std::uint32_t firstItem = 0x44560000u + serial + 1;
    std::vector<const TItem*> tables;
    for (const TItem& it : items) {
        const auto& row = *it.row;
        auto n = Object(root, it.mask ? "ADXBITMASK" : "ADXVALUE", Cell(row, colID), Cell(row, colName), serial);
        if (it.mask) {
            Text(n, "truestring", it.yes);
            Text(n, "falsestring", it.no);
            Text(n, "packetoffset", HexByte(it.offset));
            Text(n, "operand", HexWord(it.operand));
            Text(n, "bitop", "AND");
            Text(n, "result", HexWord(it.result));
            continue;
        }
        const bool low = !Cell(row, colAmin).empty(), high = !Cell(row, colAmax).empty();
        Text(n, "flags", HexWord((high ? 4u : 0u) | (low ? 8u : 0u)));
        Text(n, "units", Cell(row, colUnits));
        Text(n, "packetoffset", HexByte(it.offset));
        if (it.bits == 16) Text(n, "sizeinbits", "16");
        // Limits as low/high pairs; a missing one is left out, as it came.
        auto pair = [&](const char* kind, int lowCol, int highCol) {
            if (Cell(row, lowCol).empty() && Cell(row, highCol).empty()) return;
            auto e = n.append_child(kind);
            if (!Cell(row, lowCol).empty()) e.append_attribute("low") = NumText(Cell(row, lowCol)).c_str();
            if (!Cell(row, highCol).empty()) e.append_attribute("high") = NumText(Cell(row, highCol)).c_str();
        };
        pair("range", colDmin, colDmax);
        pair("alarms", colAmin, colAmax);
        const TDisplay d(row);
        auto math = n.append_child("MATH");
        auto var = [&](const std::string& name, std::uint32_t link) {
            auto v = math.append_child("VAR");
            v.append_attribute("varID") = name.c_str();
            v.append_attribute("type") = link ? "link" : "native";
            if (link) v.append_attribute("linkIDHash") = HexWord(link).c_str();
        };
        if (!it.math) {
            std::string eq = "X";
            if (d.Factor != 1) eq += " * " + Num(d.Factor);
            if (d.Offset != 0) eq += " + " + Num(d.Offset);
            math.append_attribute("equation") = eq.c_str();
            var("X", 0);
            continue;
        }
        math.append_attribute("equation") = it.math->Equation.c_str();
        if (it.math->Signed) n.child("flags").text() = HexWord(std::stoul(n.child_value("flags"), nullptr, 16) | 1).c_str();
        if (!it.math->Table.empty()) {
            math.append_attribute("lookupidhash") =
                HexWord(firstItem + static_cast<std::uint32_t>(items.size() + tables.size())).c_str();
            tables.push_back(&it);
        }
        if (it.math->Native || it.math->Links.empty()) var("X", 0);
        for (std::size_t l = 0; l < it.math->Links.size(); ++l)
            var("L" + std::to_string(l + 1), firstItem + static_cast<std::uint32_t>(valueItem.at(it.math->Links[l])));
    }
    for (const TItem* t : tables) {
        auto lt = Object(root, "ADXLOOKUPTABLE", Cell(*t->row, colID) + " table", Cell(*t->row, colName), serial);
        Text(lt, "entrycount", std::to_string(t->math->Table.size()));
        for (const auto& [x, y] : t->math->Table) {
            auto e = lt.append_child("tableentry");
            e.append_attribute("input") = x.c_str();
            e.append_attribute("output") = y.c_str();
        }
    }
    if (analysis)
        for (std::size_t k = 0; k < analysis->Tables.size(); ++k) {
            const TCellChoices& t = analysis->Tables[k];
            const std::string which = analysis->Tables.size() > 1 ? "Cell table " + std::to_string(k + 1) : "The cell table";
            std::vector<std::string> xs = SplitList(t.XBreaks), ys = SplitList(t.YBreaks);
            bool numbers = !xs.empty() && !ys.empty();
            for (auto* list : {&xs, &ys})
                for (auto& b : *list) numbers = numbers && !(b = NumText(b)).empty();
            const bool words = valueItem.count(t.X) && valueItem.count(t.Y) && valueItem.count(t.Z);
            if (!numbers || !words) {
                notes.push_back(which + " was not written: " +
                                std::string(words ? "its breakpoints are not numbers" : "it reads words not written as values"));
                continue;
            }
            auto h = Object(root, "ADXHISTOGRAM", k ? "cells" + std::to_string(k + 1) : std::string("cells"),
                            CellTableName(t, static_cast<int>(k)), serial);
            Text(h, "rows", std::to_string(ys.size()));
            Text(h, "cols", std::to_string(xs.size()));
            auto points = [&](const char* kind, const std::vector<std::string>& list) {
                for (std::size_t i = 0; i < list.size(); ++i) {
                    auto v = h.append_child(kind);
                    v.append_attribute("index") = std::to_string(i).c_str();
                    v.append_attribute("val") = list[i].c_str();
                }
            };
            points("rowval", ys);
            points("colval", xs);
            Text(h, "historysize", "100");
            Text(h, "xidhash", HexWord(firstItem + static_cast<std::uint32_t>(valueItem.at(t.X))));
            Text(h, "yidhash", HexWord(firstItem + static_cast<std::uint32_t>(valueItem.at(t.Y))));
            Text(h, "zidhash", HexWord(firstItem + static_cast<std::uint32_t>(valueItem.at(t.Z))));
        }
    header.child("objectcount").text() = std::to_string(std::distance(root.begin(), root.end()) - 1).c_str();
    TXmlText w;
    doc.save(w, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_latin1);
    return w.text;
}

std::string DefinitionText(const TDefinition& def, const TAnalysisChoices* analysis, const TLinkSettings* link)
{
    auto rowText = [](const std::vector<std::string>& cells) {
        std::vector<std::string> f(cells);
        f.resize(DefColumnCount);
        for (auto& c : f) c = EmptyToDash(c);
        return JoinCommaText(f);
    };
    // The lines the window's store writes for a new definition.
    std::string text = "[ALDL]\r\nVersion=1\r\nInfo=" + def.Info + "\r\nHeader=" +
                       JoinCommaText(def.Header.empty() ? SplitList(kColumnNames) : def.Header) +
                       "\r\nWords=" + std::to_string(def.Words.size()) + "\r\n\r\n[STREAM]\r\n";
    for (std::size_t k = 0; k < def.Words.size(); ++k)
        text += "W" + std::to_string(k + 1) + "=" + rowText(def.Words[k]) + "\r\n";
    if (analysis) text += "\r\n" + AnalysisText(*analysis);
    if (link && link->Present) {
        TLxPersist store;
        WriteLinkSettings(store, *link);
        text += "\r\n";
        for (const auto& l : store.Lines) text += l + "\r\n";
    }
    return text;
}

bool WriteFileAtomic(const std::string& path, const std::string& data, std::string& error)
{
    const std::string temp = path + ".part" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    int e = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            e = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!e && ::fsync(fd) != 0 && errno != EINVAL) e = errno;
    if (::close(fd) != 0 && !e) e = errno;
    if (!e && ::rename(temp.c_str(), path.c_str()) != 0) e = errno;
    if (e) {
        ::unlink(temp.c_str());
        error = std::strerror(e);
        return false;
    }
    return true;
}
