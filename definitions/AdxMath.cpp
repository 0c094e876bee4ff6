#include "definitions/AdxMath.h"

#include <charconv>
#include <cstddef>

namespace {

constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxLength = 4096;

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

struct TReader {
    const std::string& s;
    std::size_t p = 0;
    std::string error;

    void Blanks()
    {
        while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\r' || s[p] == '\n')) ++p;
    }
    bool Peek(char c)
    {
        Blanks();
        return p < s.size() && s[p] == c;
    }
    bool Fail(const std::string& why)
    {
        if (error.empty()) error = why;
        return false;
    }
};

} // namespace

bool TAdxEquation::Parse(const std::string& text, std::string& error)
{
    prog_.clear();
    vars_.clear();
    if (text.size() > kMaxLength) {
        error = "the equation is too long";
        return false;
    }
    TReader r{text, 0, {}};
    // Recursive descent over sum, product, sign and primary, writing postfix.
    auto sum = [&](auto& self, int depth) -> bool {
        if (depth > kMaxDepth) return r.Fail("the equation is nested too deeply");
        auto primary = [&](auto& prim, int d) -> bool {
            if (d > kMaxDepth) return r.Fail("the equation is nested too deeply");
            r.Blanks();
            if (r.p >= text.size()) return r.Fail("the equation ends too early");
            const char c = text[r.p];
            if (c == '+' || c == '-') {
                ++r.p;
                const std::size_t before = prog_.size();
                if (!prim(prim, d + 1)) return false;
                // A negative number is one constant, as it is written.
                if (c == '-' && prog_.size() == before + 1 && prog_.back().op == Num) prog_.back().value = -prog_.back().value;
                else if (c == '-') prog_.push_back({Neg, 0});
                return true;
            }
            if (c == '(') {
                ++r.p;
                if (!self(self, d + 1)) return false;
                if (!r.Peek(')')) return r.Fail("a \")\" is missing");
                ++r.p;
                return true;
            }
            if ((c >= '0' && c <= '9') || c == '.') {
                std::size_t q = r.p;
                while (q < text.size() && ((text[q] >= '0' && text[q] <= '9') || text[q] == '.')) ++q;
                if (q < text.size() && (text[q] == 'e' || text[q] == 'E')) {
                    std::size_t e = q + 1;
                    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
                    if (e < text.size() && text[e] >= '0' && text[e] <= '9') {
                        q = e;
                        while (q < text.size() && text[q] >= '0' && text[q] <= '9') ++q;
                    }
                }
                std::string num = text.substr(r.p, q - r.p);
                if (num[0] == '.') num.insert(num.begin(), '0');
                long double v = 0;
                const auto res = std::from_chars(num.data(), num.data() + num.size(), v);
                if (res.ec != std::errc() || res.ptr != num.data() + num.size())
                    return r.Fail("\"" + num + "\" is not a number");
                r.p = q;
                prog_.push_back({Num, v});
                return true;
            }
            if (IsNameChar(c)) {
                std::size_t q = r.p;
                while (q < text.size() && IsNameChar(text[q])) ++q;
                const std::string name = text.substr(r.p, q - r.p);
                r.p = q;
                if (r.Peek('(')) return r.Fail("functions such as " + name + "() are not arithmetic");
                std::size_t k = 0;
                while (k < vars_.size() && vars_[k] != name) ++k;
                if (k == vars_.size()) vars_.push_back(name);
                prog_.push_back({Var, static_cast<long double>(k)});
                return true;
            }
            return r.Fail(std::string("\"") + c + "\" is not arithmetic");
        };
        auto product = [&](int d) -> bool {
            if (!primary(primary, d)) return false;
            for (;;) {
                r.Blanks();
                if (r.p >= text.size() || (text[r.p] != '*' && text[r.p] != '/')) return true;
                const Op op = text[r.p++] == '*' ? Mul : Div;
                if (!primary(primary, d)) return false;
                prog_.push_back({op, 0});
            }
        };
        if (!product(depth)) return false;
        for (;;) {
            r.Blanks();
            if (r.p >= text.size() || (text[r.p] != '+' && text[r.p] != '-')) return true;
            const Op op = text[r.p++] == '+' ? Add : Sub;
            if (!product(depth)) return false;
            prog_.push_back({op, 0});
        }
    };
    bool ok = sum(sum, 0);
    r.Blanks();
    if (ok && r.p != text.size()) ok = r.Fail(std::string("\"") + text[r.p] + "\" is not arithmetic");
    if (!ok) {
        error = r.error;
        prog_.clear();
        vars_.clear();
    }
    return ok;
}

template <class T, class F>
T TAdxEquation::Run(F var) const
{
    T stack[kMaxLength + 1];
    std::size_t n = 0;
    for (const TStep& s : prog_) {
        switch (s.op) {
        case Num: stack[n++] = static_cast<T>(s.value); break;
        case Var: stack[n++] = static_cast<T>(var(static_cast<std::size_t>(s.value))); break;
        case Neg: stack[n - 1] = -stack[n - 1]; break;
        case Add: --n; stack[n - 1] = stack[n - 1] + stack[n]; break;
        case Sub: --n; stack[n - 1] = stack[n - 1] - stack[n]; break;
        case Mul: --n; stack[n - 1] = stack[n - 1] * stack[n]; break;
        case Div: --n; stack[n - 1] = stack[n - 1] / stack[n]; break;
        }
    }
    return n == 1 ? stack[0] : T(0);
}

long double TAdxEquation::Eval(long double x) const
{
    return Run<long double>([x](std::size_t) { return x; });
}

double TAdxEquation::Eval(const std::vector<double>& values) const
{
    return Run<double>([&values](std::size_t k) { return k < values.size() ? values[k] : 0.0; });
}

bool TAdxEquation::PlainScaling() const
{
    std::size_t i = 0;
    const std::size_t n = prog_.size();
    auto is = [&](std::size_t k, Op op) { return k < n && prog_[k].op == op; };
    if (is(0, Var) && is(1, Num) && is(2, Mul)) i = 3;
    else if (is(0, Num) && is(1, Var) && is(2, Mul)) i = 3;
    else if (is(0, Var)) i = 1;
    else return false;
    if (is(i, Num) && (is(i + 1, Add) || is(i + 1, Sub))) i += 2;
    return i == n;
}

std::optional<TAdxEquation::TLinear> TAdxEquation::Linear() const
{
    if (vars_.size() > 1 || prog_.empty()) return std::nullopt;
    std::vector<TLinear> st;
    st.reserve(prog_.size());
    for (const TStep& s : prog_) {
        if (s.op == Num) st.push_back({0, s.value});
        else if (s.op == Var) st.push_back({1, 0});
        else if (s.op == Neg) st.back() = {-st.back().A, -st.back().B};
        else {
            const TLinear y = st.back();
            st.pop_back();
            TLinear& x = st.back();
            switch (s.op) {
            case Add: x = {x.A + y.A, x.B + y.B}; break;
            case Sub: x = {x.A - y.A, x.B - y.B}; break;
            case Mul:
                if (x.A != 0 && y.A != 0) return std::nullopt;
                x = x.A != 0 ? TLinear{x.A * y.B, x.B * y.B} : TLinear{y.A * x.B, y.B * x.B};
                break;
            case Div:
                if (y.A != 0 || y.B == 0) return std::nullopt;
                x = {x.A / y.B, x.B / y.B};
                break;
            default: break;
            }
        }
    }
    return st.size() == 1 ? std::optional<TLinear>(st.back()) : std::nullopt;
}
