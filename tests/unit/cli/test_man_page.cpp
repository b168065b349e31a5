// The man page kept by hand in cli/kvctl.1 names every command and option
// that the program's --help shows, and is dated and titled as the other
// manual pages of the release.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

std::string KvctlOutput(const std::string& args) {
    std::string out;
    FILE* p = ::popen((std::string(KVCTL_BIN) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
    return out;
}

// The man page as words: roff escapes of the minus sign and font changes removed.
std::string ManText() {
    std::ifstream in(KVCTL_MAN_PAGE);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = std::regex_replace(text.str(), std::regex(R"(\\-)"), "-");
    return std::regex_replace(s, std::regex(R"(\\f[BIRP])"), "");
}

TEST(ManPage, NamesEveryCommandAndOptionOfTheHelp) {
    const std::string man = ManText();
    const std::string help = KvctlOutput("--help");
    const std::regex command_line(R"(\n  ([a-z][a-z-]+) {2,})");
    const std::regex option(R"(--[a-z][a-z-]*)");
    std::set<std::string> commands;
    for (auto it = std::sregex_iterator(help.begin(), help.end(), command_line); it != std::sregex_iterator(); ++it)
        commands.insert((*it)[1]);
    ASSERT_GE(commands.size(), 14u) << help;
    for (const std::string& command : commands)
        EXPECT_TRUE(man.find(".B " + command + "\n") != std::string::npos ||
                    man.find(".BI \"" + command + " ") != std::string::npos)
            << command;
    std::vector<std::string> helps = {"--help"};
    for (const std::string& command : commands) helps.push_back(command + " --help");
    for (const std::string& args : helps) {
        const std::string text = KvctlOutput(args);
        for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
            EXPECT_NE(man.find((*it)[0]), std::string::npos) << args << ": " << (*it)[0];
    }
}

// The release's other manual pages give the date and the manual's title
// (".TH 758 1 "2026-12-07" "Kalvore 758 2.30" "Kalvore 758""); kvctl's says the same.
TEST(ManPage, DatedAndTitledAsTheOtherPages) {
    auto th = [](const std::string& path) {
        std::ifstream in(path);
        std::string line;
        std::getline(in, line);
        return line.substr(line.find(" 1 ") + 3);  // after the name and the section
    };
    const std::string kvctl = th(KVCTL_MAN_PAGE);
    EXPECT_EQ(kvctl, th(std::string(KV_MAN_PAGES) + "/758.1"));
    EXPECT_EQ(kvctl, th(std::string(KV_MAN_PAGES) + "/kvsim.1"));
}

// A value with a blank is one word for the shell only when quoted: the help
// and the man page show it so.
TEST(ManPage, ValuesWithABlankAreQuoted) {
    const std::string man = ManText(), help = KvctlOutput("--help") + KvctlOutput("set --help");
    for (const std::string* text : {&man, &help}) {
        EXPECT_EQ(text->find("out2.hp 80Hz"), std::string::npos) << *text;
        EXPECT_NE(text->find("out2.hp \"80Hz lr24\""), std::string::npos) << *text;
    }
}

}  // namespace
