#include "decode/CellTable.h"

#include "decode/Hex.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Split at `sep` outside double quotes; quotes stay in the pieces.
std::vector<std::string> SplitOutsideQuotes(const std::string& text, char sep)
{
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == sep && !quoted) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// A text in double quotes loses them ("" inside is one quote).
bool Unquote(std::string& s)
{
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
    std::string out;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        out += s[i];
        if (s[i] == '"' && i + 2 < s.size() && s[i + 1] == '"') ++i;
    }
    s = out;
    return true;
}

const char* OpText(CellOp op)
{
    switch (op) {
    case CellOp::Less: return "<";
    case CellOp::LessEq: return "<=";
    case CellOp::Greater: return ">";
    case CellOp::GreaterEq: return ">=";
    case CellOp::Equal: return "=";
    case CellOp::NotEqual: return "!=";
    }
    return "=";
}

bool Holds(CellOp op, long double a, long double b)
{
    switch (op) {
    case CellOp::Less: return a < b;
    case CellOp::LessEq: return a <= b;
    case CellOp::Greater: return a > b;
    case CellOp::GreaterEq: return a >= b;
    case CellOp::Equal: return a == b;
    case CellOp::NotEqual: return a != b;
    }
    return false;
}

} // namespace

int FindWordId(const TAldl& aldl, const std::string& id)
{
    for (int i = 0; i < aldl.Count(); ++i)
        if (aldl.Items(i).ID == id) return i;
    return -1;
}

bool ParseBreakpoints(const std::string& text, TCellAxis& axis, std::string& error)
{
    axis.Breaks.clear();
    axis.Texts.clear();
    if (Trim(text).empty()) {
        error = "empty axis";
        return false;
    }
    for (const std::string& raw : SplitOutsideQuotes(text, ',')) {
        const std::string item = Trim(raw);
        long double v = 0;
        if (!TryFloatFromText(item, v) || !std::isfinite(v)) {
            error = "breakpoint \"" + item + "\" is not a number";
            return false;
        }
        if (!axis.Breaks.empty() && v <= axis.Breaks.back()) {
            error = "breakpoints out of order at \"" + item + "\" (they must rise)";
            return false;
        }
        axis.Breaks.push_back(v);
        axis.Texts.push_back(item);
    }
    return true;
}

TCellAxis DefaultAxis(const TAldl& aldl, int word, int steps)
{
    TCellAxis axis;
    axis.Word = word;
    const TDisplay& d = aldl.Items(word);
    long double lo = d.Dmin, hi = d.Dmax;
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 255;
    if (steps < 1 || hi <= lo) steps = 0;
    for (int i = 0; i <= steps; ++i) {
        const long double v = steps ? lo + (hi - lo) * i / steps : lo;
        // What is shown is what is used, so typed and default tables agree.
        const std::string t = NumberToText(v);
        axis.Breaks.push_back(FloatFromText(t, v));
        axis.Texts.push_back(t);
    }
    return axis;
}

bool ParseCellAxes(const std::string& text, const TAldl& aldl, TCellSetup& setup, std::string& error)
{
    bool have[3] = {false, false, false};
    for (const std::string& raw : SplitOutsideQuotes(text, ';')) {
        const std::string part = Trim(raw);
        if (part.empty()) continue;
        const auto eq = part.find('=');
        const std::string key = Trim(part.substr(0, eq));
        const int k = key == "X" || key == "x" ? 0 : key == "Y" || key == "y" ? 1 : key == "Z" || key == "z" ? 2 : -1;
        if (eq == std::string::npos || k < 0) {
            error = "\"" + part + "\" is not X=ID:breakpoints, Y=ID:breakpoints or Z=ID";
            return false;
        }
        if (have[k]) {
            error = key + " is given twice";
            return false;
        }
        have[k] = true;
        std::string rest = part.substr(eq + 1);
        const auto colon = k < 2 ? rest.find(':') : std::string::npos;
        const std::string id = Trim(rest.substr(0, colon));
        const int word = FindWordId(aldl, id);
        if (word < 0) {
            error = "unknown ID \"" + id + "\"";
            return false;
        }
        if (k == 2) {
            setup.Z = word;
            continue;
        }
        TCellAxis& axis = k == 0 ? setup.X : setup.Y;
        axis.Word = word;
        if (!ParseBreakpoints(colon == std::string::npos ? std::string() : rest.substr(colon + 1), axis, error)) {
            error = key + ": " + error;
            return false;
        }
    }
    for (int k = 0; k < 3; ++k)
        if (!have[k]) {
            error = std::string(k == 0 ? "X" : k == 1 ? "Y" : "Z") + " is missing";
            return false;
        }
    return true;
}

int FindConditionWord(const TAldl& aldl, const std::string& text, std::string& error)
{
    const std::string name = Trim(text);
    if (const int w = FindWordId(aldl, name); w >= 0) return w;
    // Latin-1 letters fold as ASCII ones do (the definition's names are Latin-1).
    auto fold = [](const std::string& s) {
        std::string t = s;
        for (char& c : t) {
            const auto u = static_cast<unsigned char>(c);
            if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) c = static_cast<char>(u + 0x20);
        }
        return t;
    };
    const std::string want = fold(name);
    int found = -1;
    std::string ids;
    for (int i = 0; i < aldl.Count(); ++i) {
        if (want.empty() || fold(Trim(aldl.Items(i).Name)) != want) continue;
        ids += (ids.empty() ? "" : ", ") + aldl.Items(i).ID;
        found = found < 0 ? i : -2;
    }
    if (found == -2) error = "\"" + name + "\" is the name of several words (" + ids + "): use the ID";
    else if (found < 0) error = "unknown word \"" + name + "\" (neither an ID nor a word's name)";
    return found < 0 ? -1 : found;
}

namespace {

// The operator at `at`, with its length; none when len is 0. The signs ≤ ≥ ≠
// count too, in UTF-8 as a command line passes them.
CellOp OperatorAt(const std::string& s, std::size_t at, std::size_t& len)
{
    const char a = s[at], b = at + 1 < s.size() ? s[at + 1] : '\0';
    len = 1;
    if (a == '<') return b == '=' ? (len = 2, CellOp::LessEq) : CellOp::Less;
    if (a == '>') return b == '=' ? (len = 2, CellOp::GreaterEq) : CellOp::Greater;
    if (a == '=') return b == '=' ? (len = 2, CellOp::Equal) : CellOp::Equal;
    if (a == '!' && b == '=') return len = 2, CellOp::NotEqual;
    if (s.compare(at, 2, "\xE2\x89") == 0 && at + 2 < s.size()) {
        len = 3;
        switch (static_cast<unsigned char>(s[at + 2])) {
        case 0xA4: return CellOp::LessEq;
        case 0xA5: return CellOp::GreaterEq;
        case 0xA0: return CellOp::NotEqual;
        }
    }
    len = 0;
    return CellOp::Equal;
}

} // namespace

bool ParseCellConditions(const std::string& text, const TAldl& aldl, std::vector<TCellCondition>& out,
                         std::string& error)
{
    out.clear();
    if (Trim(text).empty()) return true;
    for (const std::string& raw : SplitOutsideQuotes(text, ',')) {
        const std::string part = Trim(raw);
        TCellCondition c;
        std::size_t at = std::string::npos, len = 0;
        std::string word, firstError;
        // A name may hold blanks, and even signs: the first operator whose
        // left side is a word's ID or name splits the condition.
        for (std::size_t i = 1; i < part.size() && c.Word < 0; ++i) {
            std::size_t l = 0;
            const CellOp op = OperatorAt(part, i, l);
            if (l == 0) continue;
            std::string why;
            const std::string left = Trim(part.substr(0, i));
            const int w = left.empty() ? -1 : FindConditionWord(aldl, left, why);
            if (at == std::string::npos || w >= 0) at = i, len = l, c.Op = op, word = left, c.Word = w;
            if (firstError.empty()) firstError = why;
            i += l - 1;
        }
        if (at == std::string::npos || word.empty()) {
            error = "condition \"" + part + "\" is not a word (ID or name), an operator (< <= > >= = !=) and a value";
            return false;
        }
        if (c.Word < 0) {
            error = "condition \"" + part + "\": " + firstError;
            return false;
        }
        std::string value = Trim(part.substr(at + len));
        const TDisplay& d = aldl.Items(c.Word);
        const bool quoted = Unquote(value);
        const bool isFlag = d.Display == DisplayKind::Flag;
        const bool known = value == "?" || std::find(d.Flags.begin(), d.Flags.end(), value) != d.Flags.end();
        // A Flag word's own text wins over reading it as a number.
        if (isFlag && (quoted || known)) {
            if (c.Op != CellOp::Equal && c.Op != CellOp::NotEqual) {
                error = "condition \"" + part + "\": texts are compared with = or != only";
                return false;
            }
            if (!known) {
                error = "condition \"" + part + "\": \"" + value + "\" is not one of the texts of " + word;
                return false;
            }
            c.ByText = true;
            c.Text = value;
        } else if (quoted || !TryFloatFromText(value, c.Value) || !std::isfinite(c.Value)) {
            error = "condition \"" + part + "\": \"" + value + "\" is not " +
                    (isFlag ? "a number or one of the texts of " + word : std::string("a number"));
            return false;
        }
        out.push_back(std::move(c));
    }
    return true;
}

bool ParseCellStat(const std::string& text, CellStat& stat)
{
    for (CellStat s : {CellStat::Mean, CellStat::Count, CellStat::Min, CellStat::Max})
        if (text == CellStatName(s)) {
            stat = s;
            return true;
        }
    return false;
}

const char* CellStatName(CellStat stat)
{
    switch (stat) {
    case CellStat::Mean: return "mean";
    case CellStat::Count: return "count";
    case CellStat::Min: return "min";
    case CellStat::Max: return "max";
    }
    return "mean";
}

std::string ConditionsText(const TAldl& aldl, const std::vector<TCellCondition>& where)
{
    std::string out;
    for (const TCellCondition& c : where) {
        if (c.Word < 0 || c.Word >= aldl.Count()) continue;
        if (!out.empty()) out += ", ";
        out += aldl.Items(c.Word).ID;
        out += OpText(c.Op);
        if (!c.ByText) {
            char buf[64];
            const auto r = std::to_chars(buf, buf + sizeof buf, c.Value);
            out.append(buf, r.ptr);
        } else if (c.Text.find_first_of(",\"") != std::string::npos || c.Text != Trim(c.Text)) {
            out += '"';
            for (char ch : c.Text) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            out += '"';
        } else {
            out += c.Text;
        }
    }
    return out;
}

std::string BreakpointsText(const TCellAxis& axis)
{
    std::string out;
    for (std::size_t i = 0; i < axis.Texts.size(); ++i) out += (i ? "," : "") + axis.Texts[i];
    return out;
}

int NearestBreak(const std::vector<long double>& breaks, long double v)
{
    const auto it = std::lower_bound(breaks.begin(), breaks.end(), v);
    if (it == breaks.begin()) return 0;
    if (it == breaks.end()) return static_cast<int>(breaks.size()) - 1;
    const int i = static_cast<int>(it - breaks.begin());
    return v - *(it - 1) <= *it - v ? i - 1 : i;
}

// ---------------------------------------------------------------- table

void TCellTable::Reset(const TAldl& aldl, const TCellSetup& setup)
{
    aldl_ = &aldl;
    setup_ = setup;
    if (setup_.MinHits < 1) setup_.MinHits = 1;
    Clear();
}

void TCellTable::Clear()
{
    cells_.assign(static_cast<std::size_t>(Columns() * Rows()), TCellStats{});
    counted_ = 0;
}

bool TCellTable::WordValue(const TFrameResult& frame, int count, int word, long double& v) const
{
    if (word < 0 || word >= aldl_->Count() || static_cast<std::size_t>(word) >= frame.Words.size()) return false;
    const TWordResult& w = frame.Words[static_cast<std::size_t>(word)];
    // Like the CSV export: a word whose least significant byte did not arrive has no value.
    if (!w.Read || aldl_->Items(word).StartByte > count) return false;
    v = w.Value;
    return std::isfinite(v);
}

int TCellTable::CellOf(const TFrameResult& frame, int count) const
{
    if (!aldl_ || cells_.empty()) return -1;
    for (const TCellCondition& c : setup_.Where) {
        long double v = 0;
        if (!WordValue(frame, count, c.Word, v)) return -1;
        if (c.ByText) {
            const bool same = FlagText(aldl_->Items(c.Word), v) == c.Text;
            if (same != (c.Op == CellOp::Equal)) return -1;
        } else if (!Holds(c.Op, v, c.Value)) {
            return -1;
        }
    }
    long double x = 0, y = 0, z = 0;
    if (!WordValue(frame, count, setup_.X.Word, x) || !WordValue(frame, count, setup_.Y.Word, y) ||
        !WordValue(frame, count, setup_.Z, z))
        return -1;
    return NearestBreak(setup_.Y.Breaks, y) * Columns() + NearestBreak(setup_.X.Breaks, x);
}

bool TCellTable::Add(const TFrameResult& frame, int count)
{
    const int cell = CellOf(frame, count);
    if (cell < 0) return false;
    const long double z = frame.Words[static_cast<std::size_t>(setup_.Z)].Value;
    TCellStats& s = cells_[static_cast<std::size_t>(cell)];
    if (s.Hits == 0) s.Min = s.Max = z;
    else {
        s.Min = std::min(s.Min, z);
        s.Max = std::max(s.Max, z);
    }
    s.Sum += z;
    ++s.Hits;
    ++counted_;
    return true;
}

bool TCellTable::Value(int x, int y, long double& out) const
{
    const TCellStats& s = Stats(x, y);
    if (s.Hits < setup_.MinHits || s.Hits == 0) return false;
    switch (setup_.Stat) {
    case CellStat::Mean: out = s.Sum / static_cast<long double>(s.Hits); break;
    case CellStat::Count: out = static_cast<long double>(s.Hits); break;
    case CellStat::Min: out = s.Min; break;
    case CellStat::Max: out = s.Max; break;
    }
    return true;
}

void TCellTable::AppendTable(std::string& out, char sep, const char* eol) const
{
    out += "Y\\X";
    for (const std::string& t : setup_.X.Texts) out += sep + t;
    out += eol;
    for (int y = 0; y < Rows(); ++y) {
        out += setup_.Y.Texts[static_cast<std::size_t>(y)];
        for (int x = 0; x < Columns(); ++x) {
            out += sep;
            long double v = 0;
            if (Value(x, y, v)) AppendNumberText(out, v);
        }
        out += eol;
    }
}

void TCellTable::AppendCsv(std::string& out) const { AppendTable(out, ',', "\r\n"); }

std::string TCellTable::TabText() const
{
    std::string out;
    AppendTable(out, '\t', "\n");
    return out;
}
