// The bash completion of kvctl in a plain bash (no bash-completion package,
// no startup files): what TAB offers after a command line.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// What TAB offers at the end of `line`, one word a line; standard error
// (which must stay empty) after a line "--stderr--".
std::string Offered(const std::string& line) {
    const std::string script = ::testing::TempDir() + "kvctl_completion_" + std::to_string(::getpid()) + ".sh";
    std::ofstream(script) << "source '" << KVCTL_COMPLETION << "'\n"
                          << "COMP_LINE='" << line << "'\n"
                          << "COMP_POINT=${#COMP_LINE}\n"
                          << "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
                          << "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                          << "[[ $COMP_LINE == *' ' ]] && COMP_CWORD=${#COMP_WORDS[@]}\n"
                          << "_kvctl kvctl 2>/tmp/kvctl_completion_err_$$\n"
                          << "printf '%s\\n' \"${COMPREPLY[@]}\"\n"
                          << "echo --stderr--; cat /tmp/kvctl_completion_err_$$; rm -f /tmp/kvctl_completion_err_$$\n";
    std::string out;
    FILE* p = ::popen(("bash --norc --noprofile '" + script + "' 2>&1").c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
    std::remove(script.c_str());
    return out;
}

TEST(Completion, OffersWhatEachCommandTakesInPlainBash) {
    struct Case {
        const char* line;
        std::vector<std::string> offered, not_offered;
    };
    const Case cases[] = {
        {"kvctl upload -", {"--port", "--json"}, {"--name", "--yes"}},
        {"kvctl set out3.mute ", {"on", "off"}, {"out1.gain"}},
        {"kvctl set out3.eq2.", {"out3.eq2.freq", "out3.eq2.width"}, {"out3.gain"}},
        {"kvctl set out", {"out1.", "out6."}, {"out1.gain"}},
        {"kvctl set out2.hp 80", {"80Hz\\ lr24"}, {}},
        {"kvctl set out3.gain -2.4", {"-2.4dB"}, {}},
        {"kvctl get ina.eq12.", {"ina.eq12.type"}, {}},
        {"kvctl list -", {"--port", "--json", "--quiet"}, {}},
        {"kvctl serve --", {"--allow-reset", "--token-file", "--port"}, {}},
        {"kvctl response --", {"--csv", "--outputs"}, {}},
        {"kvctl store 5 X --from mem", {"memory:"}, {}},
        {"kvctl fr", {}, {"frobnicate"}},
    };
    for (const Case& c : cases) {
        const std::string out = Offered(c.line);
        const std::string offered = "\n" + out.substr(0, out.find("--stderr--"));
        for (const std::string& w : c.offered)
            EXPECT_NE(offered.find("\n" + w + "\n"), std::string::npos) << c.line << " does not offer " << w << ":\n"
                                                                        << out;
        for (const std::string& w : c.not_offered)
            EXPECT_EQ(offered.find("\n" + w + "\n"), std::string::npos) << c.line << " offers " << w << ":\n" << out;
        EXPECT_EQ(out.substr(out.find("--stderr--")), "--stderr--\n") << c.line << ":\n" << out;
    }
}

}  // namespace
