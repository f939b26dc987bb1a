// The program as a user installs it: into a prefix of its own, with the build folder out of reach,
// and as a Debian package in a scratch root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

struct Result {
    int Status = -1;
    std::string Out;  // standard output and error
};

Result Shell(const std::string& command)
{
    Result r;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.Out.append(buffer, n);
    const int status = pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

class Installed : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tolvex-install-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(Installed, RunsFromItsPrefixWithTheBuildFolderHidden)
{
    const fs::path prefix = dir / "prefix";
    const Result install = Shell("cmake --install " + Quote(TOLVEX_BUILD_DIR) + " --prefix " + Quote(prefix));
    ASSERT_EQ(install.Status, 0) << install.Out;

    const fs::path share = prefix / "share";
    for (const fs::path& file : {prefix / "bin/tolvex", share / "man/man1/tolvex.1",
                                 share / "bash-completion/completions/tolvex"})
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    if (TOLVEX_HAS_WINDOW) {
        EXPECT_TRUE(fs::is_regular_file(prefix / "libexec/tolvex/tolvex-window"));
        EXPECT_TRUE(fs::is_regular_file(share / "icons/hicolor/scalable/apps/tolvex.svg"));
        const Result desktop = Shell("desktop-file-validate " + Quote(share / "applications/tolvex.desktop"));
        EXPECT_EQ(desktop.Status, 0) << desktop.Out;
        const Result appstream = Shell("appstreamcli validate --no-net " + Quote(share / "metainfo/org.tolvex.Tolvex.metainfo.xml"));
        EXPECT_EQ(appstream.Status, 0) << appstream.Out;
    }
    const Result manual = Shell("MANWIDTH=100 man -l " + Quote(share / "man/man1/tolvex.1"));
    EXPECT_EQ(manual.Status, 0) << manual.Out;
    for (const char* text : {"tolvex run", "tolvex export", "tolvex info", "--stdout", "SETTINGS FILE", "VIRTUAL PORTS"})
        EXPECT_THAT(manual.Out, HasSubstr(text));

    // A private mount namespace lays an empty folder over the build tree for the installed program.
    const std::string track = std::string(TOLVEX_TEST_DATA) + "/plt/minimal.plt";
    const fs::path bin = prefix / "bin/tolvex";
    const std::string script = "mount -t tmpfs tmpfs " + Quote(TOLVEX_BUILD_DIR) + " && cd / && " + Quote(bin) +
                               " --version && " + Quote(bin) + " info " + Quote(track) + " && " + Quote(bin) +
                               " run --stdout --seconds 2 --config " + Quote(dir / "t.ini") + " --virtual-dir " +
                               Quote(dir / "ports");
    if (Shell("unshare --mount true").Status != 0) GTEST_SKIP() << "no mount namespace here to hide the build folder";
    const Result run = Shell("unshare --mount sh -c " + Quote(script));
    ASSERT_EQ(run.Status, 0) << run.Out;
    EXPECT_THAT(run.Out, HasSubstr("tolvex 0.3.1"));
    EXPECT_THAT(run.Out, HasSubstr("48.100000"));  // the track summary of info
    EXPECT_THAT(run.Out, HasSubstr("$GPRMC,"));
    EXPECT_THAT(run.Out, HasSubstr("$GPGGA,"));
}

TEST_F(Installed, DebianPackageInstallsAndRemovesInAScratchRoot)
{
    const Result pack = Shell("cpack -G DEB --config " + Quote(fs::path(TOLVEX_BUILD_DIR) / "CPackConfig.cmake") +
                              " -B " + Quote(dir / "pkg"));
    ASSERT_EQ(pack.Status, 0) << pack.Out;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(dir / "pkg"))
        if (entry.path().extension() == ".deb") deb = entry.path();
    ASSERT_FALSE(deb.empty()) << pack.Out;
    EXPECT_THAT(deb.filename().string(), HasSubstr("tolvex_0.3.1_"));

    const Result depends = Shell("dpkg-deb -f " + Quote(deb) + " Depends");
    ASSERT_EQ(depends.Status, 0) << depends.Out;
    EXPECT_THAT(depends.Out, HasSubstr("libc6"));
    if (TOLVEX_HAS_WINDOW) {
        EXPECT_THAT(depends.Out, HasSubstr("libqt6widgets6"));
    }
    EXPECT_THAT(depends.Out, Not(HasSubstr("-dev")));

    // An empty package database: the dependencies are the host's business, the files are ours.
    const fs::path root = dir / "root";
    fs::create_directories(root / "var/lib/dpkg/info");
    fs::create_directories(root / "var/lib/dpkg/updates");
    Shell("touch " + Quote(root / "var/lib/dpkg/status") + " " + Quote(root / "var/lib/dpkg/available"));
    const std::string dpkg = "dpkg --root=" + Quote(root) + " --force-depends --force-not-root --log=/dev/null ";
    const Result install = Shell(dpkg + "-i " + Quote(deb));
    ASSERT_EQ(install.Status, 0) << install.Out;
    const Result listed = Shell("dpkg-query --admindir=" + Quote(root / "var/lib/dpkg") + " -L tolvex");
    EXPECT_THAT(listed.Out, HasSubstr("/bin/tolvex"));
    EXPECT_THAT(listed.Out, HasSubstr("/man1/tolvex.1"));
    bool found = false;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        found = found || (entry.path().filename() == "tolvex" && entry.path().parent_path().filename() == "bin");
    EXPECT_TRUE(found) << "the package installed no bin/tolvex";

    const Result remove = Shell(dpkg + "-r tolvex");
    ASSERT_EQ(remove.Status, 0) << remove.Out;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        EXPECT_FALSE(entry.is_regular_file() && entry.path().string().find("/var/lib/dpkg/") == std::string::npos)
            << "left behind: " << entry.path();
}

}  // namespace
