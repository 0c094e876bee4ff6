#pragma once
// The arithmetic of an ADX item's equation: decimal numbers, named
// variables, + - * / and parentheses. Read once into a flat program, it is
// evaluated directly or reduced to a * X + b when linear in one variable.
#include <optional>
#include <string>
#include <vector>

class TAdxEquation {
public:
    // False with `error` set when the text is not such an equation (or is
    // nested deeper than 64 levels, or longer than 4096 characters).
    bool Parse(const std::string& text, std::string& error);

    // The variable names used, in order of first use, as written (case kept).
    const std::vector<std::string>& Variables() const { return vars_; }

    // The value with every variable taken as `x` (items of one variable).
    long double Eval(long double x) const;
    // The value with variable k (of Variables()) taken as `values[k]`, in
    // double precision, step for step as an expression computes it.
    double Eval(const std::vector<double>& values) const;

    // a and b when the equation is a * v + b for every v of the one
    // variable (any arrangement that stays linear; a = 0 without one);
    // nullopt otherwise.
    struct TLinear {
        long double A = 0;
        long double B = 0;
    };
    std::optional<TLinear> Linear() const;
    // Whether Eval computes exactly x * A + B, operation for operation
    // (X, X*c, c*X, each optionally followed by + c or - c).
    bool PlainScaling() const;

private:
    enum Op : unsigned char { Num, Var, Add, Sub, Mul, Div, Neg };
    struct TStep {
        Op op;
        long double value;
    };
    template <class T, class F>
    T Run(F var) const;
    std::vector<TStep> prog_;
    std::vector<std::string> vars_;
};
