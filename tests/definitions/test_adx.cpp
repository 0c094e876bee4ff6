#include "decode/Aldl.h"
#include "decode/Hex.h"
#include "decode/WordDecode.h"
#include "definitions/Adx.h"
#include "definitions/AdxMath.h"
#include "definitions/Persist.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <chrono>
#include <cmath>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kOwn = ADX_TEST_DIR;
const std::string kShared = ADX_SHARED_DIR;

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TAdxImport Import(const std::string& data, const std::string& name = "test.adx")
{
    TAdxImport imp;
    std::string error;
    EXPECT_TRUE(ImportAdx(data, name, imp, error)) << error;
    return imp;
}

// The definition as the window reads it back from the saved text.
TDefinition Reread(const TDefinition& def)
{
    TLxPersist store;
    std::istringstream in(DefinitionText(def));
    for (std::string l; std::getline(in, l);) store.Lines.push_back(l.substr(0, l.find('\r')));
    TDefinition out;
    std::string error;
    EXPECT_TRUE(ReadDefinition(store, out, error)) << error;
    return out;
}

std::vector<std::string> TestFiles()
{
    std::vector<std::string> files{kOwn + "/mixed.adx", kOwn + "/other-bus.adx"};
    for (const char* f : {"/holden_ose12p_v111_1bar.adx", "/gm_24_int10_mod.adx"})
        if (std::filesystem::exists(kShared + f)) files.push_back(kShared + f);
    return files;
}

// Every imported value decodes each raw value to the number text of the
// file's own equation (in double precision, as an expression computes it,
// signed and through its lookup table when the file says so); a value
// computed from others does so over frames of varied bytes; every flag word
// gives the bitmask's own text.
void CheckDecodes(const std::string& file)
{
    SCOPED_TRACE(file);
    const std::string data = Slurp(file);
    const TDefinition def = Reread(Import(data, file).Def);
    pugi::xml_document doc;
    doc.load_buffer(data.data(), data.size(), pugi::parse_default, pugi::encoding_latin1);
    std::vector<pugi::xml_node> items;
    for (auto n = doc.first_child(); n; n = n.next_sibling()) {
        items.push_back(n); // a self-closed root is followed by its objects
        for (auto c : n.children()) items.push_back(c);
    }
    auto byHash = [&](const char* hash) {
        for (auto n : items)
            if (std::stoul(n.attribute("idhash").as_string("0"), nullptr, 16) == std::stoul(hash, nullptr, 16)) return n;
        return pugi::xml_node();
    };
    TAldl all;
    for (const auto& row : def.Words) all.Add(row);
    EXPECT_TRUE(all.CompileExpressions().empty());
    int checked = 0;
    for (int w = 0; w < all.Count(); ++w) {
        const TDisplay& d = all.Items(w);
        SCOPED_TRACE(d.Name);
        if (d.Name.ends_with(" (raw)")) {
            EXPECT_TRUE(d.Factor == 1 && d.Offset == 0 && !d.Computed);
            continue;
        }
        pugi::xml_node item;
        for (auto n : items)
            if (d.ID == n.attribute("id").value() && d.Name.starts_with(std::string(n.attribute("title").value()).substr(0, 4)))
                item = n;
        ASSERT_TRUE(item);
        FrameBuffer frame{};
        TFrameResult res;
        int wrong = 0;
        auto expect = [&](const std::string& got, const std::string& want, long r) {
            if (got != want && ++wrong == 1) ADD_FAILURE() << "raw " << r << ": " << got << " != " << want;
        };
        if (d.Display == DisplayKind::Flag) {
            const auto operand = std::stoul(item.child_value("operand"), nullptr, 16);
            const auto result = std::stoul(*item.child_value("result") ? item.child_value("result") : "0", nullptr, 16);
            for (int b = 0; b < 256; ++b) {
                frame[static_cast<std::size_t>(d.StartByte - 1)] = static_cast<std::uint8_t>(b);
                DecodeWords(all, frame, res);
                expect(res.Words[static_cast<std::size_t>(w)].Text,
                       (b & operand) == result ? item.child_value("truestring") : item.child_value("falsestring"), b);
            }
        } else {
            auto math = item.child("MATH");
            TAdxEquation eq;
            std::string error;
            ASSERT_TRUE(eq.Parse(math.attribute("equation").value(), error)) << error;
            std::vector<std::pair<double, double>> table;
            if (auto t = byHash(math.attribute("lookupidhash").as_string("0")); math.attribute("lookupidhash"))
                for (auto e : t.children("tableentry"))
                    table.emplace_back(e.attribute("input").as_double(), e.attribute("output").as_double());
            // Each variable's value: the raw value, or the decoded value of the linked word.
            std::vector<std::function<double(long)>> var;
            for (const auto& name : eq.Variables())
                for (auto v : math.children("VAR"))
                    if (name == v.attribute("varID").value()) {
                        if (std::string(v.attribute("type").value()) != "link") {
                            const std::string flags = item.child_value("flags");
                            const bool sign = !flags.empty() && (std::stoul(flags, nullptr, 16) & 1);
                            var.push_back([&d, sign](long r) { return sign && r >> (d.Bits - 1) ? r - (1L << d.Bits) : r; });
                            continue;
                        }
                        const std::string id = byHash(v.attribute("linkIDHash").value()).attribute("id").value();
                        int k = 0;
                        while (k < all.Count() && all.Items(k).ID != id) ++k;
                        ASSERT_LT(k, all.Count());
                        var.push_back([&res, k](long) { return static_cast<double>(res.Words[static_cast<std::size_t>(k)].Value); });
                    }
            const bool derived = d.Computed && d.Expression.find('{') != std::string::npos;
            TAldl one; // a word on its own decodes 65,536 frames quickly
            one.Add(def.Words[static_cast<std::size_t>(w)]);
            one.CompileExpressions();
            const TAldl& aldl = derived ? all : one;
            const std::size_t at = derived ? static_cast<std::size_t>(w) : 0;
            const long count = derived ? 4096 : 1L << d.Bits;
            std::uint32_t seed = 1;
            for (long r = 0; r < count; ++r) {
                if (derived)
                    for (auto& b : frame) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
                else {
                    frame[static_cast<std::size_t>(d.StartByte - 1)] = static_cast<std::uint8_t>(r);
                    if (d.Bits == 16) frame[static_cast<std::size_t>(d.StartByte - 2)] = static_cast<std::uint8_t>(r >> 8);
                }
                DecodeWords(aldl, frame, res);
                const long raw = res.Words[at].Raw;
                std::vector<double> x;
                for (auto& f : var) x.push_back(f(raw));
                double want = eq.Eval(x);
                if (!table.empty())
                    want = want <= table.front().first  ? table.front().second
                           : want >= table.back().first ? table.back().second
                                                        : [&] {
                                                              std::size_t k = 1;
                                                              while (table[k].first <= want) ++k;
                                                              const auto [x0, y0] = table[k - 1];
                                                              const auto [x1, y1] = table[k];
                                                              return y0 + (y1 - y0) * (want - x0) / (x1 - x0);
                                                          }();
                const std::string wantText = d.Computed && !std::isfinite(want) ? "" : NumberToText(want);
                expect(res.Words[at].Text, d.Computed ? wantText : NumberToText(eq.Eval(raw)), r);
            }
        }
        EXPECT_EQ(wrong, 0);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

} // namespace

TEST(Adx, EveryValueDecodesAsItsEquation)
{
    for (const auto& f : TestFiles()) CheckDecodes(f);
    if (TestFiles().size() < 4) GTEST_SKIP() << "the shared ADX files are absent; only our own were checked";
}

TEST(Adx, ImportExportImportKeepsRowsAndHeader)
{
    for (const auto& f : TestFiles()) {
        SCOPED_TRACE(f);
        const TAdxImport first = Import(Slurp(f), f);
        std::vector<std::string> notes;
        const TAdxImport again =
            Import(ExportAdx(first.Def, notes, first.HasAnalysis ? &first.Analysis : nullptr, &first.Link), "again.adx");
        EXPECT_EQ(again.Link, first.Link);
        EXPECT_EQ(again.HasAnalysis, first.HasAnalysis);
        EXPECT_EQ(AnalysisText(again.Analysis), AnalysisText(first.Analysis));
        EXPECT_TRUE(notes.empty());
        EXPECT_EQ(again.Def.Info, first.Def.Info);
        EXPECT_EQ(again.Def.Header, first.Def.Header);
        EXPECT_EQ(again.Def.Words, first.Def.Words);
        EXPECT_EQ(again.Raw, 0);
        EXPECT_EQ(Reread(first.Def).Words.size(), first.Def.Words.size());
    }
}

TEST(Adx, MappingOfEachElement)
{
    const TAdxImport imp = Import(Slurp(kOwn + "/mixed.adx"));
    const TDefinition& d = imp.Def;
    // Checksum byte dropped from a literal request, echo from flag bit 0, title from the description.
    EXPECT_EQ(d.RequestText(), "F4 57 01 00");
    EXPECT_TRUE(d.EchoOn());
    EXPECT_EQ(d.InfoText(TDefinition::Title), "Test stream: every element \xE9");
    EXPECT_EQ(d.IntervalMs(), 100);
    using Row = std::vector<std::string>;
    auto row = [&](const std::string& id) {
        for (const auto& r : d.Words)
            if (r[colID] == id) return r;
        return Row{};
    };
    EXPECT_EQ(row("RPM"), (Row{"Engine speed", "RPM", "2", "16", "", "5800", "Value", "", "", "0", "6000",
                               "(User defined)", "rpm", "1", "0", "", ""}));
    EXPECT_EQ(row("CLT"), (Row{"Coolant \xB0" "C", "CLT", "3", "8", "-5", "110", "Value", "", "", "200", "-40",
                               "(User defined)", "Degrees C", "0.75", "-40", "", ""}));
    // Reciprocal, lookup table, derived and signed values as expressions.
    EXPECT_EQ(row("AFR")[colFormula], "=6553.600000 / X + 0.000000");
    EXPECT_EQ(row("MAT")[colFormula], "=table(X, 1,200, 250,-40)");
    EXPECT_EQ(row("NV")[colFormula], "={RPM}/{TPS}");
    EXPECT_EQ(row("SPK")[colFormula], "=signed(X,16)*0.351565");
    EXPECT_EQ(row("CL")[colStart] + " " + row("CL")[colFlags], "16.0 Open,Closed");
    EXPECT_EQ(row("6Cyl")[colStart] + " " + row("6Cyl")[colBits] + " " + row("6Cyl")[colFlags],
              "16.4 2 ,,Selected,\"\"");
    EXPECT_EQ(row("NOT")[colFlags], "Off,On"); // true when the bit is clear
    EXPECT_EQ(row("GAP")[colBits], "4");
    // Low byte first, derived from it, beyond the packet, unreadable.
    EXPECT_EQ(imp.Raw, 4);
    EXPECT_EQ(imp.Skipped, 3); // beyond the frame, another packet, OR
    const std::string report = imp.ReportText("mixed.adx");
    for (const char* s : {"low byte first", "reads \"Little end (raw)\"", "\"^\" is not arithmetic", "beyond the 20-byte packet", "Mode 3 reply", "not adjacent", "with OR",
                          "Histogram", "Connect step not imported (no link setting holds it): read reply \"Reply\"", "(1) are read"})
        EXPECT_NE(report.find(s), std::string::npos) << s;
    EXPECT_TRUE(imp.Warnings.empty());
    // Each histogram that reads imported values is a cell table, named by its title; breakpoints by index.
    ASSERT_TRUE(imp.HasAnalysis);
    ASSERT_EQ(imp.Analysis.Tables.size(), 2u);
    const TCellChoices &a = imp.Analysis.Tables[0], &b = imp.Analysis.Tables[1];
    EXPECT_EQ(a.Name + "|" + a.X + ":" + a.XBreaks + ";" + a.Y + ":" + a.YBreaks + ";" + a.Z + " " + a.Centre,
              "Coolant cells|TPS:20,60.5;RPM:400,800;CLT 80");
    EXPECT_EQ(b.Name + "|" + b.XBreaks + ";" + b.YBreaks, "Second|0;0");
    for (const char* s : {"not one imported value): \"BLM table\"", "cell table 2 of the Log Analysis page: \"Second\""})
        EXPECT_NE(report.find(s), std::string::npos) << s;
    // The connect macro's silence wait, repeated and literal mode 8 sends as the link settings.
    const TLinkSettings& l = imp.Link;
    EXPECT_TRUE(l.Present && l.SkipForeign);
    EXPECT_EQ(l.Silence + " x" + std::to_string(l.SilenceRepeat) + " gap " + std::to_string(l.SilenceGap),
              "F4 56 08, F0 56 08 x4 gap 15");
    EXPECT_EQ(std::to_string(l.QuietWait) + "/" + std::to_string(l.QuietTimeout), "50/60");
}

TEST(Adx, UntidyAndForeignFiles)
{
    // Self-closed root, header last, upper-case hash prefix, another bus.
    const TAdxImport imp = Import(Slurp(kOwn + "/other-bus.adx"), "/some/where/other-bus.adx");
    ASSERT_EQ(imp.Def.Words.size(), 1u);
    EXPECT_EQ(imp.Def.Words[0][colFactor], "0.1");
    EXPECT_EQ(imp.Def.InfoText(TDefinition::Title), "other-bus");
    ASSERT_FALSE(imp.Warnings.empty());
    EXPECT_NE(imp.Warnings[0].find("9600-baud"), std::string::npos);
    EXPECT_EQ(imp.ReportText("x").find("Warning: this definition is for a 9600"), imp.ReportText("x").find('\n') + 1);

    // A file cut short keeps what came before, with a warning.
    const std::string mixed = Slurp(kOwn + "/mixed.adx");
    const TAdxImport cut = Import(mixed.substr(0, mixed.find("<ADXVALUE id=\"TPS\"") + 30));
    EXPECT_EQ(cut.Def.Words.size(), 2u);
    EXPECT_NE(cut.Warnings.at(0).find("damaged"), std::string::npos);

    for (const std::string bad : {"", "plain text", "<html><body/></html>", "<adxformat/>", "\x01\x02"}) {
        TAdxImport out;
        std::string error;
        EXPECT_FALSE(ImportAdx(bad, "bad.adx", out, error));
        EXPECT_NE(error.find("not an ADX definition"), std::string::npos) << error;
    }
}

TEST(Adx, HostileFilesAreBounded)
{
    const auto start = std::chrono::steady_clock::now();
    TAdxImport out;
    std::string error;
    // Entities are never expanded: a "billion laughs" stays a few bytes.
    std::string bomb = "<!DOCTYPE a [<!ENTITY a0 \"aaaaaaaaaa\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) bomb += "&a" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><ADXFORMAT><ADXHEADER><desc>&a9;</desc></ADXHEADER></ADXFORMAT>";
    ASSERT_TRUE(ImportAdx(bomb, "b.adx", out, error));
    EXPECT_LT(out.Def.Info.size(), 100u);
    // Deep nesting within the markup bound parses without recursion.
    const std::string deep = "<ADXFORMAT>" + [] {
        std::string s;
        for (int i = 0; i < 150000; ++i) s += "<a>";
        return s;
    }() + "</ADXFORMAT>";
    EXPECT_TRUE(ImportAdx(deep, "d.adx", out, error));
    EXPECT_FALSE(ImportAdx("<ADXFORMAT>" + std::string(AdxMaxMarkup, '<'), "m.adx", out, error));
    EXPECT_FALSE(ImportAdx(std::string(AdxMaxFileSize + 1, ' '), "big.adx", out, error));
    EXPECT_NE(error.find("larger than"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(Adx, EquationsReduceOnlyWhenLinear)
{
    auto linear = [](const std::string& text) -> std::string {
        TAdxEquation eq;
        std::string error;
        if (!eq.Parse(text, error)) return "error: " + error;
        auto l = eq.Linear();
        return l ? NumberToText(l->A) + " " + NumberToText(l->B) : "nonlinear";
    };
    EXPECT_EQ(linear("(x * .75) - 40"), "0.7500 -40");
    EXPECT_EQ(linear("- -X"), "1 0");
    EXPECT_EQ(linear("(X/4+1)*(2*3)"), "1.50 6");
    EXPECT_EQ(linear("2 - (X - 3) * -1e1"), "10 -28");
    EXPECT_EQ(linear("X*X"), "nonlinear");
    EXPECT_EQ(linear("4/(X/2)"), "nonlinear");
    EXPECT_EQ(linear("X/0"), "nonlinear");
    EXPECT_EQ(linear("X/Y"), "nonlinear");
    EXPECT_EQ(linear("12"), "0 12");
    EXPECT_EQ(linear("table(X)").substr(0, 6), "error:");
    EXPECT_EQ(linear("(X"), "error: a \")\" is missing");
    EXPECT_EQ(linear(std::string(100, '(') + "X" + std::string(100, ')')), "error: the equation is nested too deeply");
}
