#include "app/csv/CsvExport.h"
#include "tests/definitions/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>

namespace {

std::string Field(std::string_view s)
{
    std::string out;
    AppendCsvField(out, s);
    return out;
}

TDefinition Def(std::vector<std::vector<std::string>> words)
{
    TDefinition d;
    d.Words = std::move(words);
    return d;
}

TEST(Csv, FieldsQuotedAndUtf8)
{
    EXPECT_EQ(Field("plain"), "plain");
    EXPECT_EQ(Field("a,b"), "\"a,b\"");
    EXPECT_EQ(Field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(Field("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(Field("\xB0" "C"), "\xC2\xB0" "C");       // degree sign
    EXPECT_EQ(Field("\xFF"), "\xC3\xBF");
    EXPECT_EQ(Field(""), "");
}

TEST(Csv, HeaderWithAndWithoutUnits)
{
    TDefinition d = Def({{"Engine speed", "RPM", "5", "16", "", "", "", "", "", "", "", "", "rpm"},
                         {"Coolant, hot", "CLT", "3", "8", "", "", "", "", "", "", "", "", "\xB0" "C"},
                         {"Fan", "FAN"}});
    std::string out;
    TCsvExport(d, {}).AppendHeader(out);
    EXPECT_EQ(out, "Time (s),Engine speed (rpm),\"Coolant, hot (\xC2\xB0" "C)\",Fan\r\n");
    out.clear();
    TCsvExport(d, {true, false}).AppendHeader(out);
    EXPECT_EQ(out, "Time (s),RPM,CLT,FAN\r\n");
}

TEST(Csv, LinesShowWhatTheTablesShow)
{
    std::vector<std::string> flag(DefColumnCount), value(DefColumnCount), wide(DefColumnCount), late(DefColumnCount),
        outside(DefColumnCount);
    flag[colStart] = "1", flag[colDisplay] = "Flag", flag[colFlags] = "\"Off, really\",\"\xE9t\xE9\"";
    value[colStart] = "2", value[colFactor] = "0.75", value[colOffset] = "-40";
    wide[colStart] = "4", wide[colBits] = "16";
    late[colStart] = "5";
    outside[colName] = "Beyond", outside[colStart] = "130";
    TCsvExport csv(Def({flag, value, wide, late, outside}), {});
    ASSERT_EQ(csv.Unreadable(), std::vector<int>{4});

    FrameBuffer f{};
    f[0] = 1, f[1] = 53, f[2] = 1, f[3] = 2, f[4] = 9;
    std::string out;
    csv.AppendLine(out, 1234, f, 5);
    EXPECT_EQ(out, "1.234,\xC3\xA9t\xC3\xA9,-0.2500,258,9,\r\n");
    out.clear();
    // A short line: words whose bytes did not arrive stay empty, the rest are shown.
    f[0] = 0;
    csv.AppendLine(out, -5, f, 3);
    EXPECT_EQ(out, "-0.005,\"Off, really\",-0.2500,,,\r\n");
    out.clear();
    f[0] = 7;
    csv.AppendLine(out, 0, f, 2);
    EXPECT_EQ(out, "0.000,?,-0.2500,,,\r\n");

    out.clear();
    TCsvExport raw(Def({flag, value, wide}), {false, true});
    f[0] = 7;
    raw.AppendLine(out, 2147483647, f, 5);
    EXPECT_EQ(out, "2147483.647,7,53,258\r\n");
}

TEST(Csv, ComputedWordsAndTheirProblems)
{
    std::vector<std::string> rpm(DefColumnCount), flag(DefColumnCount), bad(DefColumnCount);
    rpm[colID] = "RPM", rpm[colStart] = "2", rpm[colBits] = "16", rpm[colFormula] = "=1310720/X";
    flag[colStart] = "3", flag[colDisplay] = "Flag", flag[colFlags] = "Low,High", flag[colFormula] = "=RPM/8192";
    bad[colName] = "Bad", bad[colStart] = "3", bad[colFormula] = "=X*{NONE}";
    TCsvExport csv(Def({rpm, flag, bad}), {});
    ASSERT_EQ(csv.Problems().size(), 1u);
    EXPECT_EQ(csv.Problems()[0].Word, 2);
    FrameBuffer f{};
    f[1] = 160; // RPM 8192; the bad word shows its raw value
    f[2] = 7;
    std::string out;
    csv.AppendLine(out, 0, f, 3);
    EXPECT_EQ(out, "0.000,8192,High,7\r\n");
    out.clear();
    // Raw 0 gives no number: an empty field, as in the tables.
    f[1] = 0;
    csv.AppendLine(out, 0, f, 3);
    EXPECT_EQ(out, "0.000,,,7\r\n");
}

struct Result {
    int status;
    std::string out, err;
};

Result RunCsv(const TempDir& dir, const std::string& args)
{
    const std::string o = dir.File("stdout"), e = dir.File("stderr");
    const int st = std::system((std::string(CSV_PATH) + " " + args + " >" + o + " 2>" + e).c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, ReadBytes(o), ReadBytes(e)};
}

TEST(CsvProgram, WritesOneLinePerLogLineAndReportsErrors)
{
    TempDir dir;
    const std::string def = EXAMPLES_DIR "/ecmsim.ald";
    const std::string log = dir.File("run.alg");
    WriteBytes(log, "000100,  1, 23,255\r\nnot a frame\r\n\r\n");
    Result r = RunCsv(dir, def + " " + log);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Time (s),PROM ID,Engine speed (rpm),", 0), 0u);
    // Header plus three lines, the blank log line included; byte 2 arrived, byte 3 did not.
    ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
    EXPECT_NE(r.out.find("\r\n0.100,279,,"), std::string::npos) << r.out;

    r = RunCsv(dir, "--raw " + def + " " + log + " " + dir.File("out.csv"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(ReadBytes(dir.File("out.csv")).find("0.100,279,"), std::string::npos);

    const std::string before = ReadBytes(log);
    r = RunCsv(dir, def + " " + log + " " + dir.Path() + "/./run.alg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadBytes(log), before); // the log is never emptied by its own export
    r = RunCsv(dir, def + " " + dir.File("missing.alg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "diduvuve-csv: " + dir.File("missing.alg") + ": No such file or directory\n");
    WriteBytes(dir.File("new.ald"), "[ALDL]\r\nVersion=2\r\n");
    r = RunCsv(dir, dir.File("new.ald") + " " + log);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "diduvuve-csv: " + dir.File("new.ald") + ": Input file format requires version 2 of this software.\n");
    r = RunCsv(dir, def + " " + log + " " + dir.File("no/such/dir.csv"));
    EXPECT_EQ(r.status, 1);
    r = RunCsv(dir, def);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: diduvuve-csv"), std::string::npos);
    EXPECT_EQ(RunCsv(dir, "--frobnicate " + def + " " + log).status, 2);
    r = RunCsv(dir, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage:"), std::string::npos);
    EXPECT_EQ(RunCsv(dir, "--version").status, 0);
}

TEST(CsvProgram, WarnsOnceForAWordOutsideTheFrame)
{
    TempDir dir;
    WriteBytes(dir.File("d.ald"), "[ALDL]\r\nWords=2\r\n[STREAM]\r\nW1=Far,F,300\r\nW2=Near,N,1\r\n");
    WriteBytes(dir.File("l.alg"), "000001,5\r\n000002,6\r\n");
    Result r = RunCsv(dir, dir.File("d.ald") + " " + dir.File("l.alg"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Time (s),Far,Near\r\n0.001,,5\r\n0.002,,6\r\n");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_NE(r.err.find("\"Far\""), std::string::npos);
}

TEST(CsvProgram, CellTableOfTheWholeLog)
{
    TempDir dir;
    WriteBytes(dir.File("d.ald"), "[ALDL]\r\nWords=4\r\n[STREAM]\r\nW1=Rpm,R,1\r\nW2=Map,M,2\r\nW3=Blm,B,3\r\n"
                                  "W4=Loop,C,4.0,1,-,-,Flag,-,-,-,-,-,-,1,0,\"Open,Closed\"\r\n");
    WriteBytes(dir.File("l.alg"), "000001,  8, 20,120,  1\r\n000002, 12, 20,130,  1\r\n000003, 12, 40,200,  0\r\n"
                                  "000004, 30, 40,140,  1\r\n000005, 30, 40,  0\r\n");
    const std::string files = " " + dir.File("d.ald") + " " + dir.File("l.alg");
    Result r = RunCsv(dir, "--cells \"X=R:10,20;Y=M:20,40;Z=B\" --where C=Closed" + files);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Y\\X,10,20\r\n20,125,\r\n40,,140\r\n");
    r = RunCsv(dir, "--cells=\"X=R:10,20;Y=M:20,40;Z=B\" --stat count --min-hits 2" + files + " " + dir.File("o.csv"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.File("o.csv")), "Y\\X,10,20\r\n20,2,\r\n40,,2\r\n");
    r = RunCsv(dir, "--stat min --cells \"X=R:10,20;Y=M:20,40;Z=B\" --stat count" + files);
    EXPECT_EQ(r.out, "Y\\X,10,20\r\n20,2,\r\n40,1,2\r\n") << "the last --stat counts; " << r.err;

    for (const char* bad : {"\"X=R:10,20;Y=Q:1;Z=B\"", "\"X=R:20,10;Y=M:1;Z=B\"", "\"X=R:;Y=M:1;Z=B\"",
                            "\"X=R:1;Y=M:1;Z=B\" --where C=Shut", "\"X=R:1;Y=M:1;Z=B\" --stat median"}) {
        r = RunCsv(dir, std::string("--cells ") + bad + files + " " + dir.File("bad.csv"));
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("diduvuve-csv: "), std::string::npos) << bad;
        EXPECT_FALSE(std::filesystem::exists(dir.File("bad.csv"))) << bad;
    }
    EXPECT_EQ(RunCsv(dir, "--where C=Open" + files).status, 2);
    EXPECT_EQ(RunCsv(dir, "--raw --cells \"X=R:1;Y=M:1;Z=B\"" + files).status, 2);
}

} // namespace
