// Network outputs inside namespaces the test makes itself (no packet leaves them): a server
// announced through a private avahi-daemon on a private system bus, and UDP to a multicast group
// and to a broadcast address. The namespace side is network_namespace.sh.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

bool Runs(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::map<std::string, std::string> RunInNamespace(const fs::path& work)
{
    // As root no user namespace is needed, and avahi-daemon can make its runtime folder.
    const std::string unshare = ::geteuid() == 0 ? "unshare -nm" : "unshare -rnm";
    const std::string script = std::string(TOLVEX_TEST_DATA) + "/../e2e/network_namespace.sh";
    const std::string command =
        "timeout 60 " + unshare + " bash '" + script + "' '" + TOLVEX_BINARY + "' '" + work.string() + "' 2>&1";
    std::map<std::string, std::string> seen;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return seen;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        const auto colon = text.find(": ");
        if (colon != std::string::npos) seen[text.substr(0, colon)] = text.substr(colon + 2);
    }
    ::pclose(pipe);
    return seen;
}

TEST(NetworkNamespace, ServerIsAnnouncedAndUdpReachesMulticastAndBroadcast)
{
    for (const char* tool : {"unshare", "ip", "socat", "dbus-daemon", "avahi-daemon", "avahi-browse"})
        if (!Runs(std::string("command -v ") + tool)) GTEST_SKIP() << tool << " is not installed";
    if (!Runs("unshare -rn true") && !Runs("unshare -n true")) GTEST_SKIP() << "no network namespaces here";

    const fs::path work = fs::temp_directory_path() / ("tolvex-netns-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    std::ofstream(work / "Tolvex.ini", std::ios::binary)
        << "[Tolvex]\r\nOutput1Interval=500\r\nOutput2Interval=500\r\nOutput3Interval=500\r\n";
    auto seen = RunInNamespace(work);
    std::ifstream errors(work / "tolvex.err");
    std::stringstream said;
    said << errors.rdbuf();
    fs::remove_all(work);

    EXPECT_EQ(seen["runner"], "0") << said.str();
    // Six seconds at 500 ms: every group but the few sent before the receivers were there.
    EXPECT_GE(std::atoi(seen["multicast"].c_str()), 8) << said.str();
    EXPECT_GE(std::atoi(seen["broadcast"].c_str()), 8) << said.str();

    if (seen["avahi"] != "1")
        GTEST_SKIP() << "avahi-daemon does not start in an unprivileged namespace (it cannot make its runtime "
                        "folder for its own user); run as root to test the announcement";
    // "=;tvx0;IPv4;Tolvex\032on\032HOST\032port\03210111;_nmea-0183._tcp;local;HOST.local;10.77.0.1;10111;"
    const std::string& browse = seen["browse"];
    EXPECT_NE(browse.find(";_nmea-0183._tcp;local;"), std::string::npos) << browse;
    EXPECT_NE(browse.find(";10.77.0.1;10111;"), std::string::npos) << browse;
    EXPECT_EQ(browse.find("Tolvex\\032on\\032"), browse.find(";IPv4;") + 6) << browse;
    EXPECT_EQ(seen["after"], "0") << "the service must be withdrawn when the output closes";
}

}  // namespace
