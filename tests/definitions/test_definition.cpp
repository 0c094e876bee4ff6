#include "decode/Aldl.h"
#include "definitions/Analysis.h"
#include "definitions/Definition.h"
#include "tests/definitions/TempDir.h"

#include <gtest/gtest.h>
#include <fstream>
#include <filesystem>

namespace {

TLxPersist Store(std::vector<std::string> lines)
{
    TLxPersist s;
    s.Lines = std::move(lines);
    return s;
}

TEST(Definition, ReadsRowsAsTheGridShowsThem)
{
    TDefinition d;
    std::string error;
    ASSERT_TRUE(ReadDefinition(Store({"[aldl]", "words=3", "Info=\"My car\",-,-,-,-,-,-,-,-,\"F4 57,01\",abc,Y,x",
                                      "[STREAM]", "W1=RPM,R1,2,8,-,6000,Chart,1,1,0,6375,\"(User defined)\",rpm,25",
                                      "W2=\"a \"\"b\"\", c\",-", "W3=" + std::string(40, 'x') + std::string(20, ',')}),
                               d, error));
    ASSERT_EQ(d.Words.size(), 3u);
    EXPECT_EQ(d.Words[0].size(), 14u); // a short row keeps its field count
    EXPECT_EQ(d.Words[0][colAmin], "");
    EXPECT_EQ(d.Words[0][colFormula], "(User defined)");
    EXPECT_EQ(d.Words[1][0], "a \"b\", c");
    EXPECT_EQ(d.Words[1][1], "");
    EXPECT_EQ(d.Words[2].size(), static_cast<std::size_t>(DefColumnCount));
    EXPECT_EQ(d.Header, std::vector<std::string>{"0"}); // no Header key
    EXPECT_EQ(d.InfoText(TDefinition::Title), "My car");
    EXPECT_EQ(d.RequestText(), "F4 57,01");
    EXPECT_EQ(d.IntervalMs(), 100);
    EXPECT_TRUE(d.EchoOn());
    EXPECT_EQ(d.Port(), 1);
}

TEST(Definition, InfoFieldsOfARun)
{
    TDefinition d;
    d.Info = "-,-,-,-,-,-,-,-,-,-,-7,y,3";
    EXPECT_EQ(d.RequestText(), "");
    EXPECT_EQ(d.IntervalMs(), 0);
    EXPECT_FALSE(d.EchoOn());
    EXPECT_EQ(d.Port(), 3);
    d.Info = "";
    EXPECT_EQ(d.IntervalMs(), 100);
    EXPECT_EQ(d.Port(), 1);
}

TEST(Definition, RefusesWhatTheWindowRefuses)
{
    TDefinition d;
    d.Info = "kept";
    std::string error;
    EXPECT_FALSE(ReadDefinition(Store({"[ALDL]", "Version=2", "Words=0"}), d, error));
    EXPECT_EQ(error, "Input file format requires version 2 of this software.");
    EXPECT_FALSE(ReadDefinition(Store({"[ALDL]", "Version=1", "Words=two"}), d, error));
    EXPECT_EQ(error, "'two' is not a valid integer value");
    EXPECT_FALSE(ReadDefinition(Store({"[ALDL]", "Version=x"}), d, error));
    EXPECT_FALSE(ReadDefinition(Store({"[ALDL]", "Words=-1"}), d, error));
    EXPECT_EQ(d.Info, "kept");
    EXPECT_TRUE(ReadDefinition(Store({}), d, error));
    EXPECT_TRUE(d.Words.empty());
    EXPECT_EQ(d.Info, "-,-,-,-,-,-,-,-,-,-,-,-,-");
}

TEST(Definition, LoadsFilesAndNamesWhyNot)
{
    TDefinition d;
    std::string error;
    ASSERT_TRUE(LoadDefinitionFile(EXAMPLES_DIR "/ecmsim.ald", d, error)) << error;
    EXPECT_EQ(d.Words.size(), 21u);
    EXPECT_EQ(d.Words[8][colFlags], "Open,Closed");
    EXPECT_EQ(d.RequestText(), "F4 57 01 00");
    EXPECT_EQ(d.IntervalMs(), 5);

    TempDir dir;
    EXPECT_FALSE(LoadDefinitionFile(dir.File("missing.ald"), d, error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(LoadDefinitionFile(dir.Path(), d, error));
    EXPECT_FALSE(error.empty());
    const std::string big = dir.File("big.ald");
    { std::ofstream(big) << "[ALDL]\r\n"; }
    std::filesystem::resize_file(big, 20 << 20);
    EXPECT_FALSE(LoadDefinitionFile(big, d, error));
    EXPECT_EQ(error.rfind("too large to be read", 0), 0u) << error;
    EXPECT_EQ(d.Words.size(), 21u);
}

} // namespace

TEST(Definition, CellTablesBesideTheFirstKeepTheirOwnKeys)
{
    // A file of the one-table form reads as one table and gains no new keys on write.
    TLxPersist store;
    for (const char* l : {"[ANALYSIS]", "Overview=RPM,-,-,-", "X=RPM", "XBreaks=800,1600", "Where=CL=Closed"})
        store.Lines.push_back(l);
    TAnalysisChoices c = ReadAnalysisChoices(store);
    ASSERT_EQ(c.Tables.size(), 1u);
    EXPECT_EQ(c.Tables[0].XBreaks + " " + c.Tables[0].Where + " " + c.Tables[0].Stat, "800,1600 CL=Closed mean");
    WriteAnalysisChoices(store, c);
    EXPECT_EQ(store.FindKey(AnalysisSection, "Name"), -1);
    EXPECT_EQ(ReadAnalysisChoices(store).Tables, c.Tables);

    // Three tables: the first stays where a one-table build reads it.
    c.Tables.resize(3);
    c.Tables[0].Name = "Fuel", c.Tables[1].X = "TPS", c.Tables[2].Where = "Coolant >= 80", c.Tables[2].MinHits = "5";
    WriteAnalysisChoices(store, c);
    EXPECT_EQ(store.ReadString(AnalysisSection, "XBreaks", ""), "800,1600");
    EXPECT_EQ(store.ReadString(AnalysisSection, "X2", ""), "TPS");
    EXPECT_EQ(store.ReadString(AnalysisSection, "Where3", ""), "Coolant >= 80");
    EXPECT_EQ(ReadAnalysisChoices(store).Tables, c.Tables);

    // Removing tables removes their keys.
    c.Tables.resize(1);
    WriteAnalysisChoices(store, c);
    EXPECT_EQ(store.FindKey(AnalysisSection, "MinHits3"), -1);
    EXPECT_EQ(ReadAnalysisChoices(store).Tables, c.Tables);
    EXPECT_EQ(CellTableName(c.Tables[0], 0) + "," + CellTableName(TCellChoices{}, 1), "Fuel,Table 2");
}
