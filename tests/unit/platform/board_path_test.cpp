#include "platform/board.h"
#include "support/temp_board.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using hx40test::TempBoard;

TEST(BoardPath, MapsDevicePathsUnderTheRoot) {
    TempBoard b;
    const std::string& r = b.root();
    struct Case {
        const char* in;
        std::string want;
    } cases[] = {
        {"/dev/ttyS0", r + "/dev/ttyS0"},
        {"/root/persist/network_stat", r + "/root/persist/network_stat"},
        {"/proc/partitions", r + "/proc/partitions"},
        {"/mnt/usb/", r + "/mnt/usb/"},
        {"/root/app//memfiles", r + "/root/app/memfiles"},
        {"/root/../../../etc/passwd", r + "/etc/passwd"},
        {"/", r},
        {"../memfiles/parts.csv", r + "/root/app/memfiles/parts.csv"},
        {"../../../../../etc/passwd", r + "/etc/passwd"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(board::path(c.in), c.want) << c.in;
    // A path already mapped stays inside once normalised, or is refused.
    const std::string outside = "/nonexistent-hx40-board";
    struct {
        std::string in, want;
    } mapped[] = {
        {r + "/tmp/x", r + "/tmp/x"},
        {r + "/tmp/../root/./x", r + "/root/x"},
        {r + "/../ESC2", outside + fs::path(r).parent_path().string() + "/ESC2"},
        {r + "/tmp/../../../etc/x", outside + "/etc/x"},
    };
    for (const auto& c : mapped) EXPECT_EQ(board::path(c.in), c.want) << c.in;
}

// Links a child leaves on the board resolve on the board, as the child sees
// them, never on the host; the board's own device links stay.
TEST(BoardPath, LinksResolveInsideTheRoot) {
    TempBoard b;
    const std::string& r = b.root();
    fs::create_directory_symlink("/etc", b.file("root/host-etc"));
    fs::create_directory_symlink("../../../../..", b.file("tmp/up"));
    fs::create_symlink("loop-b", b.file("tmp/loop-a"));
    fs::create_symlink("loop-a", b.file("tmp/loop-b"));
    fs::create_symlink("/dev/null", b.file("dev/ttyS9"));
    struct {
        std::string in, want;
    } cases[] = {
        {"/root/host-etc/passwd", r + "/etc/passwd"},
        {r + "/root/host-etc/", r + "/etc/"},
        {"/tmp/up/etc/x", r + "/etc/x"},
        {"/tmp/up/../tmp/up/root", r + "/root"},
        {"/tmp/loop-a/x", "/nonexistent-hx40-board/tmp/loop-a/x"},
        {"/dev/ttyS9", r + "/dev/ttyS9"},
    };
    for (const auto& c : cases) EXPECT_EQ(board::path(c.in), c.want) << c.in;
}

TEST(BoardPath, WorkingDirectoryIsTheApplicationBinFolder) {
    TempBoard b;
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), b.root() + "/root/app/bin");
    EXPECT_TRUE(board::isInsideRoot("../../app.bk"));
    EXPECT_FALSE(board::isInsideRoot("../../../../etc"));
    EXPECT_TRUE(board::isInsideRoot(b.root()));
    EXPECT_FALSE(board::isInsideRoot(b.root() + "-next/etc"));  // a sibling sharing the root's name
}

TEST(BoardPath, WithoutABoardNothingMapsToARealPath) {
    board::close();
    EXPECT_EQ(board::path("/dev/ttyS0").rfind("/dev/", 0), std::string::npos);
    EXPECT_FALSE(board::isInsideRoot("/"));
}

TEST(BoardPath, RefusesAnUnpreparedRoot) {
    std::string dir = hx40test::makeTempDir("hx40-empty-");
    std::string error;
    EXPECT_FALSE(board::open(dir, &error));
    EXPECT_NE(error.find("not prepared"), std::string::npos) << error;
    EXPECT_NE(error.find("hx40-sim init"), std::string::npos) << error;
    EXPECT_FALSE(board::open("", &error));
    EXPECT_FALSE(board::open(dir + "/missing", &error));
    ::rmdir(dir.c_str());
}

TEST(BoardPath, Normalise) {
    struct {
        const char* in;
        const char* want;
    } cases[] = {{"/a/./b//c/", "/a/b/c"}, {"/a/../../b", "/b"}, {"a/../../b", "../b"}, {".", "."}, {"/", "/"}};
    for (const auto& c : cases) EXPECT_EQ(board::normalise(c.in), c.want) << c.in;
}
