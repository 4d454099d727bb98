#include "platform/board.h"
#include "support/pty_read.h"
#include "support/temp_board.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using hx40test::readFor;
using hx40test::TempBoard;

namespace {

int openEnd(const std::string& path) { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC); }

}  // namespace

TEST(SerialPorts, BytesCrossBetweenTheProgramAndTheUserEnd) {
    TempBoard b(true, true);
    // A burst far past what a pseudo-terminal holds, to a reader that comes
    // late: the relay must keep what the far end cannot take yet.
    std::string burst(200 * 1024, '\0');
    for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<char>('!' + i * 7 % 90);
    for (const char* port : {"ttyS0", "ttyS2", "ttyS3"}) {
        int app = openEnd(board::path(std::string("/dev/") + port));
        int user = openEnd(b.file(std::string("term/") + port));
        ASSERT_GE(app, 0) << port;
        ASSERT_GE(user, 0) << port;
        ASSERT_EQ(::write(user, "#\r", 2), 2);
        EXPECT_EQ(readFor(app, 2, 2000), "#\r") << port;
        ASSERT_EQ(::write(app, "~01@ OK\r\n", 9), 9);
        EXPECT_EQ(readFor(user, 9, 2000), "~01@ OK\r\n") << port;
        for (auto [from, to] : {std::pair{app, user}, std::pair{user, app}}) {
            std::thread writer([&, from = from] {
                for (size_t done = 0; done < burst.size();) {
                    ssize_t n = ::write(from, burst.data() + done, burst.size() - done);
                    if (n <= 0) break;
                    done += static_cast<size_t>(n);
                }
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_TRUE(readFor(to, burst.size(), 5000) == burst) << port;
            writer.join();
        }
        ::close(app);
        ::close(user);
    }
}

TEST(SerialPorts, WhatIsSentToAnEndNobodyHoldsIsDropped) {
    TempBoard b(true, true);
    int app = openEnd(board::path("/dev/ttyS3"));
    ASSERT_GE(app, 0);
    ASSERT_EQ(::write(app, "lost\r\n", 6), 6);
    ::usleep(200 * 1000);
    int user = openEnd(b.file("term/ttyS3"));
    ASSERT_GE(user, 0);
    ASSERT_EQ(::write(app, "kept\r\n", 6), 6);
    EXPECT_EQ(readFor(user, 6, 2000), "kept\r\n");
    // The program closing and reopening its end (a new speed) does not hang the user's end.
    ::close(app);
    app = openEnd(board::path("/dev/ttyS3"));
    ASSERT_GE(app, 0);
    ASSERT_EQ(::write(app, "again\n", 6), 6);
    EXPECT_EQ(readFor(user, 6, 2000), "again\n");
    ::close(app);
    ::close(user);
}
