#pragma once
// Word values beyond a multiplier and an addend. A Formula cell that starts
// with "=" holds an expression over X (the word's raw value) and the values
// of other words of the same frame, by ID: bare when the ID is a plain
// identifier, else in braces ({4}). Expressions are compiled once, when the
// displays are set up, and only evaluated per frame. No Qt here.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Bounds that keep compiling quick whatever a file holds.
constexpr std::size_t ExprMaxLength = 1000;
constexpr int ExprMaxDepth = 32;
constexpr int ExprMaxTablePoints = 100;

// True when a Formula cell holds an expression (its text starts with "=").
bool IsExpressionText(const std::string& formula);

namespace exprdetail {
struct Program;
}

// One expression on its own, for a dialog checking what is typed or an
// importer building texts: the frame's words are given by their IDs.
class TExpression {
public:
    TExpression();
    ~TExpression();
    TExpression(TExpression&&) noexcept;
    TExpression& operator=(TExpression&&) noexcept;

    // `text` with or without its leading "="; `self` is this word's index in
    // `ids` (-1 when it has none). False with `error` set when the text is
    // not a valid expression for that word.
    bool Compile(const std::string& text, const std::vector<std::string>& ids, int self, std::string& error);
    bool Compiled() const;
    // Indexes into `ids` of the words the expression reads, each once.
    const std::vector<int>& References() const;
    // The value for raw value `raw`, with `values[i]` the value of word i
    // (missing entries read 0). Not a finite number when the expression has
    // none there (a division by zero, a table outside its use, ...).
    double Evaluate(double raw, const std::vector<double>& values = {});

private:
    std::unique_ptr<exprdetail::Program> program_;
    std::vector<double> slots_;
};

// A word of a frame as the set below sees it.
struct TExprWord {
    std::string Name;
    std::string ID;
    std::string Formula; // the Formula cell; only "=" texts are expressions
};

struct TExprProblem {
    int Word = -1;    // index of the word that shows its raw value instead
    std::string Text; // names the word and says what is wrong
    std::string What; // what is wrong alone
};

// Every expression of one definition, compiled together so a word may read
// a word defined after it; evaluated in dependency order each frame.
class TExprSet {
public:
    TExprSet();
    ~TExprSet();
    TExprSet(TExprSet&&) noexcept;
    TExprSet& operator=(TExprSet&&) noexcept;

    // Compiles the "=" formulas of `words`; each word that fails (syntax,
    // unknown or ambiguous ID, a constant division by zero, a circle of
    // references, a bound above) gets one problem and no program.
    std::vector<TExprProblem> Compile(const std::vector<TExprWord>& words);
    void Clear();
    bool Empty() const { return order_.empty(); }
    bool Has(int word) const;
    // Words that other expressions read: their values must be handed in
    // with SetValue before Evaluate.
    const std::vector<int>& Referenced() const { return referenced_; }
    // Expression words, each after the words it reads.
    const std::vector<int>& Order() const { return order_; }
    // The words expression word `word` reads (none for a plain word).
    const std::vector<int>& Reads(int word) const;
    void SetValue(int word, double value) { slots_[static_cast<std::size_t>(word)] = value; }
    // Evaluates word `word` (one of Order(), in that order) for its raw
    // value and keeps the result for the words that read it.
    double Evaluate(int word, double raw);

private:
    std::vector<std::unique_ptr<exprdetail::Program>> programs_; // by word; null for plain words
    std::vector<double> slots_;
    std::vector<int> referenced_;
    std::vector<int> order_;
};
