#include "decode/Expression.h"

#include <muParser.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Set by the functions below when they are used outside their rules; the
// check at compile time evaluates once and reads it.
thread_local const char* misuse = nullptr;

double Signed(double x, double bits)
{
    if (!(bits >= 1 && bits <= 32) || bits != std::floor(bits)) {
        misuse = "signed() takes a bit count of 1 to 32";
        return NaN;
    }
    if (!(std::fabs(x) < 9007199254740992.0) || x != std::floor(x)) return NaN;
    const int n = static_cast<int>(bits);
    const std::uint64_t mask = (1ULL << n) - 1;
    const std::uint64_t u = static_cast<std::uint64_t>(static_cast<std::int64_t>(x)) & mask;
    const bool negative = (u >> (n - 1)) & 1;
    return negative ? static_cast<double>(static_cast<std::int64_t>(u) - static_cast<std::int64_t>(1ULL << n))
                    : static_cast<double>(u);
}

// table(x, x1, y1, x2, y2, ...): linear between points, held at both ends.
double Table(const double* a, int n)
{
    if (n < 3 || n % 2 == 0) {
        misuse = "table() takes a value and pairs of points";
        return NaN;
    }
    const int points = (n - 1) / 2;
    for (int i = 1; i < points; ++i)
        if (!(a[1 + 2 * i] > a[2 * i - 1])) {
            misuse = "table() points must ascend";
            return NaN;
        }
    const double x = a[0];
    if (std::isnan(x)) return NaN;
    if (x <= a[1]) return a[2];
    if (x >= a[2 * points - 1]) return a[2 * points];
    // Points ascend: the first point not below x ends the segment.
    int lo = 0, hi = points - 1;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        (a[1 + 2 * mid] <= x ? lo : hi) = mid;
    }
    const double x0 = a[1 + 2 * lo], y0 = a[2 + 2 * lo], x1 = a[1 + 2 * hi], y1 = a[2 + 2 * hi];
    return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

double If(double c, double a, double b) { return std::isnan(c) ? NaN : c != 0 ? a : b; }

const char* const ExtraFunctions[] = {"sin",  "cos",  "tan",  "asin", "acos", "atan", "sinh", "cosh", "tanh",
                                      "asinh", "acosh", "atanh", "log2", "log10", "log", "ln",  "exp",  "sqrt",
                                      "sign", "rint", "sum",  "avg"};

bool KnownFunction(const std::string& name)
{
    if (name == "signed" || name == "table" || name == "min" || name == "max" || name == "abs" || name == "if")
        return true;
    return std::find(std::begin(ExtraFunctions), std::end(ExtraFunctions), name) != std::end(ExtraFunctions);
}

bool IdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IdentChar(char c) { return IdentStart(c) || (c >= '0' && c <= '9'); }
bool Digit(char c) { return c >= '0' && c <= '9'; }

// ID -> word index, or -2 when more than one word has it.
using IdIndex = std::unordered_map<std::string, int>;

IdIndex MakeIndex(const std::vector<std::string>& ids)
{
    IdIndex index;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto [it, added] = index.emplace(ids[i], static_cast<int>(i));
        if (!added) it->second = -2;
    }
    return index;
}

std::string SlotName(int word) { return "w_" + std::to_string(word); }

struct Tok {
    enum Kind { Num, Var, Func, Open, Close, Comma, Op } kind;
    std::string text;
};

// The expression in the parser's own names: X, w_<index>, function names.
bool Translate(const std::string& source, const IdIndex& index, int self, std::vector<Tok>& toks,
               std::vector<int>& refs, std::string& error)
{
    std::string s = source;
    if (!s.empty() && s[0] == '=') s.erase(0, 1);
    if (s.size() > ExprMaxLength) {
        error = "the expression is longer than " + std::to_string(ExprMaxLength) + " characters";
        return false;
    }
    auto reference = [&](const std::string& id) {
        const auto it = index.find(id);
        if (it == index.end()) error = "unknown word ID \"" + id + "\"";
        else if (it->second == -2) error = "the ID \"" + id + "\" names more than one word";
        else if (it->second == self) error = "the expression reads its own word";
        if (!error.empty()) return false;
        if (std::find(refs.begin(), refs.end(), it->second) == refs.end()) refs.push_back(it->second);
        toks.push_back({Tok::Var, SlotName(it->second)});
        return true;
    };
    struct Level {
        bool table;
        int args;
    };
    std::vector<Level> levels;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '{') {
            const std::size_t close = s.find('}', i + 1);
            if (close == std::string::npos) {
                error = "a \"{\" without its \"}\"";
                return false;
            }
            if (!reference(s.substr(i + 1, close - i - 1))) return false;
            i = close + 1;
        } else if (IdentStart(c)) {
            std::size_t e = i;
            while (e < s.size() && IdentChar(s[e])) ++e;
            const std::string name = s.substr(i, e - i);
            std::size_t next = e;
            while (next < s.size() && (s[next] == ' ' || s[next] == '\t')) ++next;
            if (next < s.size() && s[next] == '(') {
                if (!KnownFunction(name)) {
                    error = "unknown function \"" + name + "\"";
                    return false;
                }
                toks.push_back({Tok::Func, name});
            } else if (name == "X") {
                toks.push_back({Tok::Var, "X"});
            } else if (!reference(name)) {
                return false;
            }
            i = e;
        } else if (Digit(c) || c == '.') {
            std::size_t e = i;
            while (e < s.size() && (Digit(s[e]) || s[e] == '.')) ++e;
            if (e < s.size() && (s[e] == 'e' || s[e] == 'E')) {
                std::size_t f = e + 1;
                if (f < s.size() && (s[f] == '+' || s[f] == '-')) ++f;
                if (f < s.size() && Digit(s[f])) {
                    while (f < s.size() && Digit(s[f])) ++f;
                    e = f;
                }
            }
            toks.push_back({Tok::Num, s.substr(i, e - i)});
            i = e;
        } else if (c == '(') {
            const bool table = !toks.empty() && toks.back().kind == Tok::Func && toks.back().text == "table";
            levels.push_back({table, 1});
            if (static_cast<int>(levels.size()) > ExprMaxDepth) {
                error = "parentheses are nested more than " + std::to_string(ExprMaxDepth) + " deep";
                return false;
            }
            toks.push_back({Tok::Open, "("});
            ++i;
        } else if (c == ')') {
            if (!levels.empty()) {
                const Level l = levels.back();
                levels.pop_back();
                if (l.table && (l.args < 3 || l.args % 2 == 0)) {
                    error = "table() takes a value and pairs of points";
                    return false;
                }
                if (l.table && (l.args - 1) / 2 > ExprMaxTablePoints) {
                    error = "table() takes at most " + std::to_string(ExprMaxTablePoints) + " points";
                    return false;
                }
            }
            toks.push_back({Tok::Close, ")"});
            ++i;
        } else if (c == ',') {
            if (levels.empty()) {
                error = "a \",\" outside the parentheses of a function";
                return false;
            }
            ++levels.back().args;
            toks.push_back({Tok::Comma, ","});
            ++i;
        } else {
            // The parser would take a lone "=" as storing into a variable.
            const bool comparing = (i + 1 < s.size() && s[i + 1] == '=') ||
                                   (i > 0 && (s[i - 1] == '<' || s[i - 1] == '>' || s[i - 1] == '!' || s[i - 1] == '='));
            if (c == '=' && !comparing) {
                error = "a lone \"=\" (compare with \"==\")";
                return false;
            }
            toks.push_back({Tok::Op, std::string(1, c)});
            ++i;
        }
    }
    if (toks.empty()) {
        error = "the expression is empty";
        return false;
    }
    return true;
}

std::string Join(const std::vector<Tok>& toks, std::size_t from, std::size_t to)
{
    std::string out;
    for (std::size_t k = from; k < to; ++k) {
        // Operator characters stay together ("<=", "&&"); everything else is spaced.
        if (k > from) {
            const bool together = (toks[k].kind == Tok::Op && toks[k - 1].kind == Tok::Op) ||
                                  (toks[k].kind == Tok::Open && toks[k - 1].kind == Tok::Func);
            if (!together) out += ' ';
        }
        out += toks[k].text;
    }
    return out;
}

// The parser's message with its names put back and its positions (which
// count in the translated text) left out.
std::string UserMessage(std::string msg, const std::vector<std::string>* ids)
{
    const std::size_t at = msg.find(" at position");
    if (at != std::string::npos) {
        std::size_t end = at + 12;
        while (end < msg.size() && (msg[end] == ' ' || Digit(msg[end]))) ++end;
        msg.erase(at, end - at);
    }
    while (!msg.empty() && (msg.back() == '.' || msg.back() == ' ')) msg.pop_back();
    for (std::size_t p = msg.find("w_"); p != std::string::npos; p = msg.find("w_", p + 1)) {
        std::size_t e = p + 2;
        while (e < msg.size() && Digit(msg[e])) ++e;
        const int word = e > p + 2 ? std::atoi(msg.c_str() + p + 2) : -1;
        if (ids && word >= 0 && word < static_cast<int>(ids->size())) {
            const std::string name = "{" + (*ids)[static_cast<std::size_t>(word)] + "}";
            msg.replace(p, e - p, name);
        }
    }
    if (!msg.empty()) msg[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(msg[0])));
    return msg;
}

} // namespace

namespace exprdetail {

struct Program {
    mu::Parser parser;
    double x = 0;
    std::vector<int> refs;

    Program()
    {
        parser.DefineVar("X", &x);
        parser.DefineFun("signed", Signed);
        parser.DefineFun("table", Table);
        parser.DefineFun("if", If);
    }

    // The text as the parser takes it; false with `error` when it does not.
    bool Set(const std::string& text, double* slots, const std::vector<std::string>* ids, std::string& error)
    {
        try {
            for (int r : refs) parser.DefineVar(SlotName(r), slots + r);
            parser.SetExpr(text);
            misuse = nullptr;
            (void)parser.Eval(); // parses now, not at the first frame
            if (misuse) {
                error = misuse;
                return false;
            }
            return true;
        } catch (const mu::Parser::exception_type& e) {
            error = UserMessage(e.GetMsg(), ids);
            return false;
        }
    }
};

} // namespace exprdetail

namespace {

using exprdetail::Program;

// A divisor that is a constant zero is a mistake in the text, not in the
// data: it is refused. Only the operand right after "/" is looked at.
bool ZeroDivisor(const std::vector<Tok>& toks, std::string& error)
{
    for (std::size_t i = 0; i < toks.size(); ++i) {
        if (toks[i].kind != Tok::Op || toks[i].text != "/") continue;
        std::size_t j = i + 1;
        while (j < toks.size() && toks[j].kind == Tok::Op && (toks[j].text == "-" || toks[j].text == "+")) ++j;
        if (j >= toks.size()) continue;
        double value = 1;
        if (toks[j].kind == Tok::Num) {
            const std::string& t = toks[j].text;
            if (std::from_chars(t.data(), t.data() + t.size(), value).ec != std::errc{}) continue;
        } else if (toks[j].kind == Tok::Open || toks[j].kind == Tok::Func) {
            std::size_t k = toks[j].kind == Tok::Func ? j + 1 : j;
            if (k >= toks.size() || toks[k].kind != Tok::Open) continue;
            int depth = 0;
            bool variable = false;
            for (; k < toks.size(); ++k) {
                if (toks[k].kind == Tok::Var) variable = true;
                if (toks[k].kind == Tok::Open) ++depth;
                if (toks[k].kind == Tok::Close && --depth == 0) break;
            }
            if (variable || k >= toks.size()) continue;
            Program p;
            std::string ignored;
            if (!p.Set(Join(toks, j, k + 1), nullptr, nullptr, ignored)) continue;
            value = p.parser.Eval();
        } else {
            continue;
        }
        if (value == 0) {
            error = "division by zero";
            return true;
        }
    }
    return false;
}

std::unique_ptr<Program> Build(const std::string& text, const IdIndex& index, const std::vector<std::string>& ids,
                               int self, double* slots, std::string& error)
{
    std::vector<Tok> toks;
    auto p = std::make_unique<Program>();
    if (!Translate(text, index, self, toks, p->refs, error)) return nullptr;
    if (ZeroDivisor(toks, error)) return nullptr;
    if (!p->Set(Join(toks, 0, toks.size()), slots, &ids, error)) return nullptr;
    return p;
}

} // namespace

bool IsExpressionText(const std::string& formula) { return !formula.empty() && formula[0] == '='; }

TExpression::TExpression() = default;
TExpression::~TExpression() = default;
TExpression::TExpression(TExpression&&) noexcept = default;
TExpression& TExpression::operator=(TExpression&&) noexcept = default;

bool TExpression::Compile(const std::string& text, const std::vector<std::string>& ids, int self, std::string& error)
{
    error.clear();
    slots_.assign(ids.size(), 0.0);
    program_ = Build(text, MakeIndex(ids), ids, self, slots_.data(), error);
    return program_ != nullptr;
}

bool TExpression::Compiled() const { return program_ != nullptr; }

const std::vector<int>& TExpression::References() const
{
    static const std::vector<int> none;
    return program_ ? program_->refs : none;
}

double TExpression::Evaluate(double raw, const std::vector<double>& values)
{
    if (!program_) return NaN;
    for (int r : program_->refs)
        slots_[static_cast<std::size_t>(r)] = static_cast<std::size_t>(r) < values.size() ? values[static_cast<std::size_t>(r)] : 0.0;
    program_->x = raw;
    try {
        return program_->parser.Eval();
    } catch (const mu::Parser::exception_type&) {
        return NaN;
    }
}

TExprSet::TExprSet() = default;
TExprSet::~TExprSet() = default;
TExprSet::TExprSet(TExprSet&&) noexcept = default;
TExprSet& TExprSet::operator=(TExprSet&&) noexcept = default;

void TExprSet::Clear()
{
    programs_.clear();
    slots_.clear();
    referenced_.clear();
    order_.clear();
}

bool TExprSet::Has(int word) const
{
    return word >= 0 && word < static_cast<int>(programs_.size()) && programs_[static_cast<std::size_t>(word)];
}

std::vector<TExprProblem> TExprSet::Compile(const std::vector<TExprWord>& words)
{
    Clear();
    std::vector<TExprProblem> problems;
    const std::size_t n = words.size();
    slots_.assign(n, 0.0);
    programs_.resize(n);
    std::vector<std::string> ids(n);
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        ids[i] = words[i].ID;
        any = any || IsExpressionText(words[i].Formula);
    }
    if (!any) return problems;
    auto problem = [&](std::size_t i, const std::string& what) {
        const TExprWord& w = words[i];
        std::string who = w.ID.empty() ? "word " + std::to_string(i + 1) : "\"" + w.ID + "\"";
        if (!w.Name.empty() && w.Name != w.ID) who += " (" + w.Name + ")";
        problems.push_back(
            {static_cast<int>(i), "Expression of " + who + ": " + what + "; it shows its raw value.", what});
    };
    const IdIndex index = MakeIndex(ids);
    for (std::size_t i = 0; i < n; ++i) {
        if (!IsExpressionText(words[i].Formula)) continue;
        std::string error;
        programs_[i] = Build(words[i].Formula, index, ids, static_cast<int>(i), slots_.data(), error);
        if (!programs_[i]) problem(i, error);
    }

    // Depth-first over the references: a word is ordered after everything it
    // reads, and a word met again while still open closes a circle.
    enum : char { Unseen, Open, Done };
    std::vector<char> state(n, Unseen);
    std::vector<char> circle(n, 0);
    std::vector<std::pair<std::size_t, std::size_t>> stack; // word, next reference
    std::vector<int> order;
    for (std::size_t root = 0; root < n; ++root) {
        if (!programs_[root] || state[root] != Unseen) continue;
        state[root] = Open;
        stack.push_back({root, 0});
        while (!stack.empty()) {
            auto& [u, k] = stack.back();
            const std::vector<int>& refs = programs_[u]->refs;
            if (k < refs.size()) {
                const auto v = static_cast<std::size_t>(refs[k++]);
                if (!programs_[v]) continue;
                if (state[v] == Unseen) {
                    state[v] = Open;
                    stack.push_back({v, 0});
                } else if (state[v] == Open) {
                    std::size_t from = stack.size();
                    while (from > 0 && stack[from - 1].first != v) --from;
                    std::vector<std::size_t> members;
                    for (std::size_t s = from - 1; s < stack.size(); ++s) members.push_back(stack[s].first);
                    for (std::size_t j = 0; j < members.size(); ++j) {
                        if (circle[members[j]]) continue;
                        circle[members[j]] = 1;
                        // The circle told from the word the message is about.
                        std::string path = ids[members[j]];
                        for (std::size_t m = 1; m <= members.size(); ++m)
                            path += " -> " + ids[members[(j + m) % members.size()]];
                        problem(members[j], "its value depends on itself (" + path + ")");
                    }
                }
            } else {
                state[u] = Done;
                order.push_back(static_cast<int>(u));
                stack.pop_back();
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (circle[i]) programs_[i].reset();
    std::vector<char> read(n, 0);
    for (int w : order) {
        if (!programs_[static_cast<std::size_t>(w)]) continue;
        order_.push_back(w);
        for (int r : programs_[static_cast<std::size_t>(w)]->refs)
            if (!programs_[static_cast<std::size_t>(r)]) read[static_cast<std::size_t>(r)] = 1;
    }
    for (std::size_t i = 0; i < n; ++i)
        if (read[i]) referenced_.push_back(static_cast<int>(i));
    std::sort(problems.begin(), problems.end(), [](const TExprProblem& a, const TExprProblem& b) { return a.Word < b.Word; });
    return problems;
}

const std::vector<int>& TExprSet::Reads(int word) const
{
    static const std::vector<int> none;
    return Has(word) ? programs_[static_cast<std::size_t>(word)]->refs : none;
}

double TExprSet::Evaluate(int word, double raw)
{
    Program& p = *programs_[static_cast<std::size_t>(word)];
    p.x = raw;
    double r;
    try {
        r = p.parser.Eval();
    } catch (const mu::Parser::exception_type&) {
        r = NaN;
    }
    slots_[static_cast<std::size_t>(word)] = r;
    return r;
}
