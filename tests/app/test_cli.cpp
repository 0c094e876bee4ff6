// Every command-line program's --help names the options its manual page does.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

std::set<std::string> OptionNames(const std::string& text)
{
    static const std::regex name(R"((?:^|[\s,\[(])(--?[A-Za-z][A-Za-z0-9-]*))");
    std::set<std::string> names;
    for (std::sregex_iterator m(text.begin(), text.end(), name), end; m != end; ++m) names.insert((*m)[1]);
    return names;
}

// The page with its escaped dashes as plain ones.
std::string ManPage(const std::string& file)
{
    std::ifstream in(file);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    for (auto p = text.find("\\-"); p != std::string::npos; p = text.find("\\-", p)) text.erase(p, 1);
    return text;
}

TEST(CommandLines, HelpAndManualPageNameTheSameOptions)
{
    std::istringstream programs(CLI_PROGRAMS);
    int seen = 0;
    for (std::string entry; std::getline(programs, entry, '|'); ++seen) {
        const std::string name = entry.substr(0, entry.find('=')), path = entry.substr(entry.find('=') + 1);
        std::string help;
        std::FILE* p = ::popen(("'" + path + "' --help 2>&1").c_str(), "r");
        ASSERT_NE(p, nullptr);
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) help.append(buf, n);
        const int st = ::pclose(p);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << name;
        const auto fromHelp = OptionNames(help);
        EXPECT_TRUE(fromHelp.count("--version")) << name;
        EXPECT_EQ(fromHelp, OptionNames(ManPage(MAN_DIR "/" + name + ".1"))) << name;
    }
    EXPECT_GT(seen, 0);
}

} // namespace
