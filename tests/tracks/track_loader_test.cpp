#include "tracks/track_loader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "testing/fakes.h"
#include "tracks/reader.h"

namespace tolvex {
namespace {

using FakeHost = testing::RecordingHost;

const std::string DataDir = std::string(TOLVEX_TEST_DATA) + "/plt/";

TEST(ReaderRegistry, DispatchesOnLowerCasedEnd)
{
    ASSERT_FALSE(ReaderRegistry().empty());
    for (const ReaderEntry& entry : ReaderRegistry()) {
        std::string upper(entry.Extension);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindReader("/data/track" + std::string(entry.Extension)), entry.Read) << entry.Extension;
        EXPECT_EQ(FindReader("/data/TRACK" + upper), entry.Read) << entry.Extension;
        EXPECT_EQ(FindReader("/data/track" + std::string(entry.Extension) + ".bak"), nullptr) << entry.Extension;
    }
    EXPECT_EQ(FindReader("/data/track.plt"), &ReadPltFile);
    EXPECT_EQ(FindReader("plt"), nullptr);
    EXPECT_EQ(FindReader(""), nullptr);
    EXPECT_EQ(FindReader("/data/folder/"), nullptr);
}

class LoadTrack : public ::testing::Test {
protected:
    LoadOutcome Load(const std::string& path) { return LoadTrackFile(path, store, replay, settings, host); }

    SimFix fix;
    Settings settings;
    OutputTable outputs{};
    FakeHost host;
    TrackStore store;
    bool exportRunning = false;
    Replay replay{fix, settings, outputs, host, store, exportRunning};
};

TEST_F(LoadTrack, SuccessStartsReplayInLastModeOnFirstPoint)
{
    settings.LastTrackMode = 3;
    const LoadOutcome outcome = Load(DataDir + "minimal.plt");
    ASSERT_TRUE(outcome.Loaded);
    EXPECT_EQ(outcome.Title, "Tolvex - " + DataDir + "minimal.plt");
    EXPECT_TRUE(outcome.ShowTrackModeBar);
    EXPECT_EQ(store.LoadedTrackPath, DataDir + "minimal.plt");
    EXPECT_EQ(replay.Mode(), TrackMode::S);
    EXPECT_EQ(replay.Track(), 1);
    EXPECT_EQ(replay.Point(), 1);
    EXPECT_TRUE(replay.PositionHold());
    EXPECT_DOUBLE_EQ(fix.Latitude, 48.1);
    EXPECT_FALSE(replay.TrackBusy());
    EXPECT_EQ(host.Refreshes.back(), 1);
}

TEST_F(LoadTrack, ReversedLoadStartsAtLastPointOfFile)
{
    ASSERT_TRUE(Load(DataDir + "minimal.plt").Loaded);
    replay.ToggleReverse();
    ASSERT_TRUE(Load(DataDir + "edge_cases.plt").Loaded);
    EXPECT_TRUE(store.Reversed());
    EXPECT_DOUBLE_EQ(fix.Latitude, 50.002);
}

TEST_F(LoadTrack, FailedLoadLeavesEverythingAsItWas)
{
    ASSERT_TRUE(Load(DataDir + "minimal.plt").Loaded);
    replay.GoToTrackPoint(1, 3);
    const ReplaySnapshot before = replay.Save();
    const SimFix fixBefore = fix;

    struct Case {
        const char* name;
        std::string path;
        bool message;
    } cases[] = {
        {"unknown extension", DataDir + "minimal.plt.bak", true},
        {"no extension", DataDir + "minimal", true},
        {"reader message", DataDir + "truncated_header.plt", true},
        {"missing file", DataDir + "none.gpx", true},
        {"nothing accepted", DataDir + "header_only.plt", false},
    };
    for (const Case& c : cases) {
        host.Messages.clear();
        const LoadOutcome outcome = Load(c.path);
        EXPECT_FALSE(outcome.Loaded) << c.name;
        EXPECT_TRUE(outcome.Title.empty()) << c.name;
        EXPECT_EQ(outcome.MessageShown, c.message) << c.name;
        EXPECT_EQ(host.Messages.size(), c.message ? 1u : 0u) << c.name;
        EXPECT_EQ(store.TrackFilePath, c.path) << c.name;
        EXPECT_EQ(store.LoadedTrackPath, DataDir + "minimal.plt") << c.name;
        EXPECT_EQ(store.PointCountTotal(), 4) << c.name;
        EXPECT_EQ(replay.Point(), before.Point) << c.name;
        EXPECT_EQ(fix.Latitude, fixBefore.Latitude) << c.name;
    }
    EXPECT_EQ(host.Messages.size(), 0u);

    // Names that are no regular file: refused at once with the format's message.
    const std::string dir = ::testing::TempDir() + "tolvex-loader-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir + "/folder.kml");
    ::mkfifo((dir + "/fifo.plt").c_str(), 0600);
    std::filesystem::create_symlink("/dev/zero", dir + "/zero.gpssim");
    const std::pair<std::string, std::string> refused[] = {
        {dir + "/folder.kml", "载入kml文件失败"},
        {dir + "/fifo.plt", "不是有效的OZI plt文件：\n" + dir + "/fifo.plt"},
        {dir + "/zero.gpssim", "载入gpssim文件失败"},
    };
    for (const auto& [path, text] : refused) {
        host.Messages.clear();
        EXPECT_FALSE(Load(path).Loaded) << path;
        ASSERT_EQ(host.Messages.size(), 1u) << path;
        EXPECT_EQ(host.Messages[0].Text, text);
        EXPECT_EQ(store.LoadedTrackPath, DataDir + "minimal.plt");
    }
    std::filesystem::remove_all(dir);

    host.Messages.clear();
    Load(DataDir + "x.PLT.bak");
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "未知的航迹文件类型：\n" + DataDir + "x.PLT.bak");
    EXPECT_EQ(host.Messages[0].Caption, "错误");

    // A file that cannot be opened says so in the same words whatever its format.
    for (const char* extension : {".plt", ".gpx", ".kml", ".gpssim", ".trk"}) {
        host.Messages.clear();
        const std::string path = DataDir + "none" + extension;
        Load(path);
        ASSERT_EQ(host.Messages.size(), 1u) << extension;
        EXPECT_EQ(host.Messages[0].Text, "无法读取文件：\n" + path + " (No such file or directory)") << extension;
    }
}

}  // namespace
}  // namespace tolvex
