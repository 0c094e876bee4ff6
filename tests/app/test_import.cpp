// diduvuve-import as a user runs it: files written, exit codes, and nothing
// left behind when it fails.
#include "tests/definitions/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace {

const std::string kAdx = ADX_TEST_DIR "/mixed.adx";

int Tool(const std::string& args, std::string* err = nullptr)
{
    const std::string errFile = ::testing::TempDir() + "import-stderr.txt";
    const int rc = std::system((IMPORT_PATH " " + args + " >/dev/null 2>" + errFile).c_str());
    if (err) {
        std::ifstream in(errFile);
        err->assign(std::istreambuf_iterator<char>(in), {});
    }
    std::remove(errFile.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(ImportTool, ImportsExportsAndReports)
{
    TempDir dir;
    const std::string adx = dir.File("car.adx");
    std::filesystem::copy_file(kAdx, adx);
    std::string err;
    ASSERT_EQ(Tool(adx, &err), 0) << err;
    const std::string ald = Read(dir.File("car.ald"));
    EXPECT_NE(ald.find("Info=\"Test stream: every element \xE9\",-,-,-,-,-,-,-,-,\"F4 57 01 00\",-,Y,-\r\n"), std::string::npos);
    EXPECT_NE(Read(dir.File("car.ald.import.txt")).find("Imported raw: \"Little end\" (id LE) is stored low byte first"), std::string::npos);
    EXPECT_NE(err.find("4 imported raw"), std::string::npos);
    EXPECT_NE(ald.find("\r\n\r\n[ANALYSIS]\r\n"), std::string::npos);

    ASSERT_EQ(Tool("--export " + dir.File("car.ald") + " -o " + dir.File("back.adx")), 0);
    ASSERT_EQ(Tool(dir.File("back.adx") + " -o " + dir.File("back.ald")), 0);
    EXPECT_EQ(Read(dir.File("back.ald")).substr(ald.find("Header=")), ald.substr(ald.find("Header=")));
    EXPECT_EQ(dir.Entries(), 6); // two ADX, two definitions, two reports: no temporary files
}

TEST(ImportTool, RefusesWithoutWriting)
{
    TempDir dir;
    const std::string bad = dir.File("notes.adx");
    std::ofstream(bad) << "just some notes";
    std::string err;
    EXPECT_EQ(Tool(bad, &err), 1);
    EXPECT_NE(err.find("not an ADX definition"), std::string::npos) << err;
    EXPECT_EQ(Tool(dir.File("missing.adx")), 1);
    EXPECT_EQ(Tool(kAdx + " -o " + dir.File("no/such/dir.ald")), 1);
    // Never over its input.
    const std::string same = dir.File("same.adx");
    std::filesystem::copy_file(kAdx, same);
    EXPECT_EQ(Tool(same + " -o " + same), 1);
    EXPECT_EQ(Read(same), Read(kAdx));
    EXPECT_EQ(dir.Entries(), 2);

    EXPECT_EQ(Tool(""), 2);
    EXPECT_EQ(Tool("--bogus " + kAdx), 2);
    EXPECT_EQ(Tool(kAdx + " --export x.ald"), 2);
    EXPECT_EQ(Tool("--help"), 0);
    EXPECT_EQ(std::system(IMPORT_PATH " --version | grep -q '^diduvuve-import [0-9]'"), 0);
}
