#include "decode/DisplayLayout.h"
#include "decode/Expression.h"
#include "decode/WordDecode.h"
#include "definitions/Definition.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct W {
    std::string id, start, bits, formula, display = "Value", amin = "", amax = "";
};

std::vector<std::vector<std::string>> Rows(const std::vector<W>& words)
{
    std::vector<std::vector<std::string>> rows;
    for (const W& w : words) {
        std::vector<std::string> r(DefColumnCount);
        r[colName] = "Name " + w.id;
        r[colID] = w.id;
        r[colStart] = w.start;
        r[colBits] = w.bits;
        r[colFormula] = w.formula;
        r[colDisplay] = w.display;
        r[colAmin] = w.amin;
        r[colAmax] = w.amax;
        r[colChart] = "1";
        r[colSeries] = std::to_string(rows.size() % 4 + 1);
        r[colFlags] = "Off,On";
        rows.push_back(r);
    }
    return rows;
}

double Eval(const std::string& text, double raw, const std::vector<std::string>& ids = {},
            const std::vector<double>& values = {})
{
    TExpression e;
    std::string error;
    EXPECT_TRUE(e.Compile(text, ids, -1, error)) << text << ": " << error;
    return e.Evaluate(raw, values);
}

std::string Error(const std::string& text, const std::vector<std::string>& ids = {"A", "B"}, int self = 0)
{
    TExpression e;
    std::string error;
    EXPECT_FALSE(e.Compile(text, ids, self, error)) << text;
    return error;
}

TEST(Expression, FunctionsAndOperators)
{
    EXPECT_EQ(Eval("=signed(X,8)", 0x7F), 127);
    EXPECT_EQ(Eval("=signed(X,8)", 0x80), -128);
    EXPECT_EQ(Eval("=signed(X,8)", 0xFF), -1);
    EXPECT_EQ(Eval("=signed(X,16)", 0xFF04), -252);
    EXPECT_EQ(Eval("=signed(X,16)", 0x7FFF), 32767);
    EXPECT_NEAR(Eval("=signed(X,16)*90/255", 0xFF04), -252 * 90.0 / 255, 1e-12);
    // Linear between points, held at both ends.
    const std::string t = "=table(X, 10,-40, 20,0, 30,100)";
    EXPECT_EQ(Eval(t, 0), -40);
    EXPECT_EQ(Eval(t, 10), -40);
    EXPECT_EQ(Eval(t, 15), -20);
    EXPECT_EQ(Eval(t, 25), 50);
    EXPECT_EQ(Eval(t, 30), 100);
    EXPECT_EQ(Eval(t, 255), 100);
    EXPECT_EQ(Eval("=min(X,3)+max(X,1)+abs(-2)", 5), 10);
    EXPECT_EQ(Eval("=if(X>=3 && X<4, 1, 2)", 3), 1);
    EXPECT_EQ(Eval("=if(X!=3, 1, 2)", 3), 2);
    EXPECT_EQ(Eval("=2^X - (X+1)*2/4", 3), 6);
    EXPECT_EQ(Eval("=1.5e2 + .5", 0), 150.5);
    EXPECT_EQ(Eval("=-(X)+1", 3), -2);
    // Other words: bare when a plain identifier, else in braces; X is always the raw value.
    EXPECT_EQ(Eval("={IPW}*RPM/1200 + {4} + {X}", 7, {"IPW", "RPM", "4", "X"}, {6, 2000, 1, 100}), 111);
    EXPECT_TRUE(std::isinf(Eval("=1310720/X", 0)));
}

TEST(Expression, ReciprocalRpmOverEveryRawValue)
{
    TAldl aldl;
    TDisplayLayout layout;
    BuildDisplays(Rows({{"RPM", "8", "16", "=1310720/X", "Chart", "0", "6000"}}), aldl, layout);
    ASSERT_TRUE(layout.Problems.empty());
    FrameBuffer frame{};
    TFrameResult r;
    for (int x = 0; x <= 65535; ++x) {
        frame[6] = static_cast<std::uint8_t>(x >> 8);
        frame[7] = static_cast<std::uint8_t>(x & 0xFF);
        DecodeWords(aldl, frame, r);
        const TWordResult& w = r.Words[0];
        ASSERT_EQ(w.Raw, x);
        if (x == 0) {
            // No number: empty, no alarm, no chart point.
            EXPECT_TRUE(w.Text.empty());
            EXPECT_FALSE(w.Below || w.Above);
            EXPECT_EQ(r.Feed[0][0], FeedNoValue);
            continue;
        }
        const double direct = 1310720.0 / x;
        ASSERT_EQ(static_cast<double>(w.Value), direct) << x;
        ASSERT_EQ(w.Text, NumberToText(static_cast<long double>(direct)));
        ASSERT_EQ(w.Above, direct > 6000);
        ASSERT_EQ(r.Feed[0][0], w.Value);
    }
}

TEST(Expression, WordsReadOtherWordsOfTheFrame)
{
    TAldl aldl;
    TDisplayLayout layout;
    // The duty reads two words defined after it; the flag word reads one
    // before it; "Degrees C" is a preset name, not an expression.
    BuildDisplays(Rows({{"DUTY", "5", "8", "={IPW}*RPM/1200"},
                        {"IPW", "3", "8", "=X/10"},
                        {"RPM", "2", "8", "=X*25"},
                        {"HOT", "4", "8", "=CTS>100", "Flag", "0", "0"},
                        {"CTS", "1", "8", "Degrees C"},
                        {"FAR", "200", "8", "={RPM}+X"}}),
                  aldl, layout);
    ASSERT_TRUE(layout.Problems.empty());
    FrameBuffer frame{};
    frame[0] = 200; // CTS raw 200: no scaling without an expression
    frame[1] = 80;  // RPM 2000
    frame[2] = 60;  // IPW 6
    TFrameResult r;
    DecodeWords(aldl, frame, r);
    EXPECT_EQ(r.Words[0].Text, "10");
    EXPECT_EQ(r.Words[1].Text, "6");
    EXPECT_EQ(r.Words[2].Text, "2000");
    EXPECT_EQ(r.Words[3].Text, "On");
    EXPECT_TRUE(r.Words[3].Above); // alarm limits apply to the computed value
    EXPECT_EQ(r.Words[4].Text, "200");
    EXPECT_FALSE(r.Words[5].Read);
    EXPECT_EQ(r.FirstUnread, 5);
}

TEST(Expression, ProblemsAtSetUpNameTheWordWhichShowsItsRawValue)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"=X+", "unexpected end"},
        {"=X*{NOPE}", "unknown word ID \"NOPE\""},
        {"=DUP+1", "names more than one word"},
        {"=foo(X)", "unknown function \"foo\""},
        {"=X/0", "division by zero"},
        {"=X/(2-2)", "division by zero"},
        {"=X/-(0)", "division by zero"},
        {"=table(X, 1,1, 0,0)", "points must ascend"},
        {"=table(X, 1,1, 2)", "pairs of points"},
        {"=signed(X, 40)", "bit count"},
        {"=" + std::string(2000, '1'), "longer than 1000"},
        {"=" + std::string(40, '(') + "X" + std::string(40, ')'), "nested more than 32"},
        {"={W}", "reads its own word"},
        {"=   ", "empty"},
        {"=X=3", "lone \"=\""},
        {"=X,3", "outside the parentheses"},
    };
    for (const auto& [formula, what] : cases) {
        TAldl aldl;
        TDisplayLayout layout;
        BuildDisplays(Rows({{"W", "1", "8", formula}, {"DUP", "2", "8", ""}, {"DUP", "3", "8", ""}}), aldl, layout);
        ASSERT_EQ(layout.Problems.size(), 1u) << formula;
        EXPECT_NE(layout.Problems[0].find("\"W\" (Name W): "), std::string::npos) << layout.Problems[0];
        EXPECT_NE(layout.Problems[0].find(what), std::string::npos) << formula << " -> " << layout.Problems[0];
        FrameBuffer frame{};
        frame[0] = 77;
        TFrameResult r;
        DecodeWords(aldl, frame, r);
        EXPECT_EQ(r.Words[0].Text, "77") << formula;
    }
    // A huge table is refused, quickly.
    std::string big = "=table(X";
    for (int i = 0; i < 150; ++i) big += ",0,1";
    EXPECT_NE(Error(big + ")").find("at most 100 points"), std::string::npos);
    // A division by a value that is only zero sometimes is no set-up problem.
    TExpression e;
    std::string error;
    EXPECT_TRUE(e.Compile("=1/(X-1)", {}, -1, error)) << error;
}

TEST(Expression, CirclesOfReferences)
{
    TAldl aldl;
    TDisplayLayout layout;
    BuildDisplays(Rows({{"A", "1", "8", "=B+1"}, {"B", "2", "8", "=C+1"}, {"C", "3", "8", "=B*2"}, {"D", "4", "8", "=C+X"}}),
                  aldl, layout);
    ASSERT_EQ(layout.Problems.size(), 2u);
    EXPECT_NE(layout.Problems[0].find("\"B\""), std::string::npos);
    EXPECT_NE(layout.Problems[0].find("depends on itself (B -> C -> B)"), std::string::npos) << layout.Problems[0];
    EXPECT_NE(layout.Problems[1].find("\"C\""), std::string::npos);
    FrameBuffer frame{};
    frame[0] = 1;
    frame[1] = 2;
    frame[2] = 3;
    frame[3] = 4;
    TFrameResult r;
    DecodeWords(aldl, frame, r);
    // B and C show raw; A and D read those raw values.
    EXPECT_EQ(r.Words[0].Text, "3");
    EXPECT_EQ(r.Words[1].Text, "2");
    EXPECT_EQ(r.Words[2].Text, "3");
    EXPECT_EQ(r.Words[3].Text, "7");
}

TEST(Expression, ShippedUsStreamDefinition)
{
    TDefinition def;
    std::string error;
    ASSERT_TRUE(LoadDefinitionFile(std::string(EXAMPLES_DIR) + "/a221-v6.ald", def, error)) << error;
    TAldl aldl;
    TDisplayLayout layout;
    BuildDisplays(def.Words, aldl, layout);
    ASSERT_TRUE(layout.Problems.empty()) << layout.Problems[0];
    FrameBuffer frame{};
    frame[6] = 0x01; // reference period 320: 4096 rpm
    frame[7] = 0x40;
    frame[13] = 0xFF; // spark -10 * 255 / 90
    frame[14] = 0xE4;
    frame[24] = 0x06; // park
    TFrameResult r;
    DecodeWords(aldl, frame, r);
    auto text = [&](const std::string& id) {
        for (int i = 0; i < aldl.Count(); ++i)
            if (aldl.Items(i).ID == id) return r.Words[static_cast<std::size_t>(i)].Text;
        return std::string("no such word");
    };
    EXPECT_EQ(text("RPM"), "4096");
    EXPECT_EQ(text("SPK"), "-9.88");
    EXPECT_EQ(text("RANGE"), "Park");
}

} // namespace
