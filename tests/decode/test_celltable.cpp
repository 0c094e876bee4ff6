#include "decode/CellTable.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<std::string> Row(const char* id, const char* start, const char* factor, const char* offset,
                             const char* display = "Value", const char* flags = "")
{
    std::vector<std::string> r(DefColumnCount);
    r[colID] = id, r[colStart] = start, r[colFactor] = factor, r[colOffset] = offset;
    r[colDisplay] = display, r[colFlags] = flags;
    return r;
}

struct Cells : ::testing::Test {
    TAldl aldl;
    TCellTable table;
    TFrameResult res;
    void SetUp() override
    {
        aldl.Add(Row("RPM", "1", "25", "0"));
        aldl.Add(Row("MAP", "2", "1", "0"));
        aldl.Add(Row("BLM", "3", "1", "0"));
        aldl.Add(Row("CL", "4.0", "1", "0", "Flag", "Open,\"Closed, ok\""));
        aldl.Add(Row("CLT", "5", "1", "-40"));
    }
    TCellSetup Make(const std::string& axes, const std::string& where = "")
    {
        TCellSetup s;
        std::string error;
        EXPECT_TRUE(ParseCellAxes(axes, aldl, s, error)) << error;
        EXPECT_TRUE(ParseCellConditions(where, aldl, s.Where, error)) << error;
        return s;
    }
    bool Add(int rpm, int map, int blm, int cl = 1, int clt = 130, int count = 5)
    {
        FrameBuffer f{};
        f[0] = static_cast<std::uint8_t>(rpm), f[1] = static_cast<std::uint8_t>(map);
        f[2] = static_cast<std::uint8_t>(blm), f[3] = static_cast<std::uint8_t>(cl), f[4] = static_cast<std::uint8_t>(clt);
        DecodeWords(aldl, f, res, false);
        return table.Add(res, count);
    }
    std::string Csv()
    {
        std::string out;
        table.AppendCsv(out);
        return out;
    }
};

TEST(CellBinning, NearestBreakpointTieToLowerClampedAtEnds)
{
    const std::vector<long double> b{0, 10, 20};
    EXPECT_EQ(NearestBreak(b, -5), 0);
    EXPECT_EQ(NearestBreak(b, 5), 0);
    EXPECT_EQ(NearestBreak(b, 5.01L), 1);
    EXPECT_EQ(NearestBreak(b, 15), 1);
    EXPECT_EQ(NearestBreak(b, 15.5L), 2);
    EXPECT_EQ(NearestBreak(b, 1e9L), 2);
    EXPECT_EQ(NearestBreak({7}, -1), 0);
}

TEST_F(Cells, StatisticsPerCellAndMinimumHits)
{
    table.Reset(aldl, Make("X=RPM:800, 1200;Y=MAP:30,60;Z=BLM"));
    EXPECT_TRUE(Add(40, 45, 120));  // 1000 rpm is a tie: 800; 45 kPa a tie: 30
    EXPECT_TRUE(Add(32, 30, 131));
    EXPECT_TRUE(Add(41, 60, 128));  // 1025 rpm: 1200
    EXPECT_TRUE(Add(200, 255, 140)); // beyond both ends
    EXPECT_EQ(table.Counted(), 4);
    EXPECT_EQ(Csv(), "Y\\X,800,1200\r\n30,125.50,\r\n60,,134\r\n");
    TCellSetup s = table.Setup();
    long double v = 0;
    for (CellStat st : {CellStat::Count, CellStat::Min, CellStat::Max}) {
        s.Stat = st;
        table.Reset(aldl, s);
        Add(40, 45, 120), Add(32, 30, 131);
        ASSERT_TRUE(table.Value(0, 0, v));
        EXPECT_EQ(v, st == CellStat::Count ? 2 : st == CellStat::Min ? 120 : 131);
        EXPECT_FALSE(table.Value(1, 1, v));
    }
    s.Stat = CellStat::Count, s.MinHits = 3;
    table.Reset(aldl, s);
    Add(40, 45, 120), Add(32, 30, 131);
    EXPECT_EQ(Csv(), "Y\\X,800,1200\r\n30,,\r\n60,,\r\n");
    Add(32, 30, 1);
    EXPECT_EQ(Csv(), "Y\\X,800,1200\r\n30,3,\r\n60,,\r\n");
}

TEST_F(Cells, ConditionsAndMissingValuesLeaveFramesOut)
{
    table.Reset(aldl, Make("X=RPM:800;Y=MAP:30;Z=BLM", "CL=\"Closed, ok\", CLT>=80 , BLM!=0"));
    EXPECT_TRUE(Add(32, 30, 128, 1, 120));   // CLT 80
    EXPECT_FALSE(Add(32, 30, 128, 0, 120));  // open loop
    EXPECT_FALSE(Add(32, 30, 128, 1, 119));  // CLT 79
    EXPECT_FALSE(Add(32, 30, 0, 1, 120));    // BLM 0
    EXPECT_FALSE(Add(32, 30, 128, 1, 120, 4)); // the coolant byte did not arrive
    Add(32, 30, 128, 1, 120);
    res.Words[2].Value = std::nanl("");
    EXPECT_FALSE(table.Add(res, 5));
    res.Words[2].Value = INFINITY;
    EXPECT_EQ(table.CellOf(res, 5), -1);
    EXPECT_EQ(table.Counted(), 2);

    table.Reset(aldl, Make("X=RPM:800;Y=MAP:30;Z=BLM", "CL!=Open,MAP<30,RPM<=800,CLT>-40,CL=1"));
    EXPECT_TRUE(Add(32, 29, 1, 1, 1));
    EXPECT_FALSE(Add(32, 30, 1, 1, 1));
    EXPECT_FALSE(Add(33, 29, 1, 1, 1));
    EXPECT_FALSE(Add(32, 29, 1, 1, 0));
}

TEST_F(Cells, BadTextsAreRefusedWithAReason)
{
    TCellSetup s;
    std::string e;
    EXPECT_FALSE(ParseCellAxes("X=RPM:1,2;Y=NOPE:1;Z=BLM", aldl, s, e));
    EXPECT_EQ(e, "unknown ID \"NOPE\"");
    EXPECT_FALSE(ParseCellAxes("X=RPM:1,3,2;Y=MAP:1;Z=BLM", aldl, s, e));
    EXPECT_NE(e.find("out of order"), std::string::npos);
    EXPECT_FALSE(ParseCellAxes("X=RPM:1,1;Y=MAP:1;Z=BLM", aldl, s, e));
    EXPECT_FALSE(ParseCellAxes("X=RPM:;Y=MAP:1;Z=BLM", aldl, s, e));
    EXPECT_EQ(e, "X: empty axis");
    EXPECT_FALSE(ParseCellAxes("X=RPM:1,a;Y=MAP:1;Z=BLM", aldl, s, e));
    EXPECT_FALSE(ParseCellAxes("X=RPM:1;Y=MAP:1", aldl, s, e));
    EXPECT_EQ(e, "Z is missing");
    EXPECT_FALSE(ParseCellAxes("X=RPM:1;Y=MAP:1;Z=ZZ", aldl, s, e));
    std::vector<TCellCondition> w;
    for (const char* bad : {"CL<Open", "CL=Shut", "CLT=hot", "CLT", "=3", "NOPE>1", "MAP>"})
        EXPECT_FALSE(ParseCellConditions(bad, aldl, w, e)) << bad;
    ASSERT_TRUE(ParseCellConditions("CL = \"Closed, ok\",CLT>=80.125", aldl, w, e));
    EXPECT_EQ(ConditionsText(aldl, w), "CL=\"Closed, ok\", CLT>=80.125");
}

TEST_F(Cells, DefaultAxisSpansTheDisplayRange)
{
    aldl.Items(1).Dmin = 10, aldl.Items(1).Dmax = 110;
    const TCellAxis a = DefaultAxis(aldl, 1, 4);
    EXPECT_EQ(BreakpointsText(a), "10,35,60,85,110");
    EXPECT_EQ(a.Breaks.back(), 110);
}

TEST_F(Cells, ConditionsNameWordsByIdThenByName)
{
    aldl.Items(3).Name = "Closed loop";
    aldl.Items(4).Name = "Coolant";
    aldl.Items(2).Name = "RPM"; // a name that is another word's ID: the ID wins
    aldl.Items(1).Name = "A<B";
    std::vector<TCellCondition> w;
    std::string e;
    ASSERT_TRUE(ParseCellConditions("closed LOOP = Open, Coolant \xE2\x89\xA5 80,RPM<5, a<b <= 3", aldl, w, e)) << e;
    EXPECT_EQ(ConditionsText(aldl, w), "CL=Open, CLT>=80, RPM<5, MAP<=3");
    aldl.Items(0).Name = "coolant";
    EXPECT_FALSE(ParseCellConditions("Coolant>=80", aldl, w, e));
    EXPECT_EQ(e, "condition \"Coolant>=80\": \"Coolant\" is the name of several words (RPM, CLT): use the ID");
    EXPECT_FALSE(ParseCellConditions("Oil temp > 3", aldl, w, e));
    EXPECT_EQ(e, "condition \"Oil temp > 3\": unknown word \"Oil temp\" (neither an ID nor a word's name)");
    EXPECT_FALSE(ParseCellConditions("Closed loop = Shut", aldl, w, e));
    EXPECT_EQ(e, "condition \"Closed loop = Shut\": \"Shut\" is not a number or one of the texts of Closed loop");
}

} // namespace
