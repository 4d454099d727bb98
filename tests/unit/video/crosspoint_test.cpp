#include "core/pm.h"
#include "platform/video.h"
#include "support/temp_board.h"
#include "unit/video/closed_switches.h"
#include "video/crosspoint.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <utility>

namespace {

using hx40test::Closed;
using hx40test::closedSwitches;

class Crosspoint : public ::testing::Test {
protected:
    void SetUp() override {
        PM = PMRec{};
        for (auto& c : PM.CONNECTION) c.SOURCE = c.DESTINATION = 6;
        PM.USER1_DESTINATION = 7;
        PM.USER2_DESTINATION = 7;
        ADG2188_init();
    }
    hx40test::TempBoard board;
};

}  // namespace

TEST_F(Crosspoint, PortsFourAndFiveAreWiredTheOtherWay) {
    const int expected[] = {0, 1, 2, 3, 5, 4, 6};
    for (int p = 0; p <= 6; ++p) EXPECT_EQ(ADG2188_port(p), expected[p]) << p;
}

TEST_F(Crosspoint, AConnectionMovesItsSwitchAndTakesItsDestinationAlone) {
    EXPECT_EQ(ADG2188_set_connection_switch(0, 6, 6, 1, 2), 0);
    EXPECT_EQ(closedSwitches(), (Closed{{1, 2}}));
    PM.CONNECTION[2] = {3, 2};
    EXPECT_EQ(ADG2188_set_connection_switch(2, 6, 6, 3, 2), 0);
    // Connection 1 gave destination 2 up, in the table and in PM.
    EXPECT_EQ(closedSwitches(), (Closed{{3, 2}}));
    EXPECT_EQ(PM.CONNECTION[0].DESTINATION, 6);
    EXPECT_EQ(ADG2188_connection(0).destination, 6);
    EXPECT_EQ(ADG2188_connection(2).source, 3);
    // Moving connection 3 opens its old pair.
    EXPECT_EQ(ADG2188_set_connection_switch(2, 3, 2, 3, 0), 0);
    EXPECT_EQ(closedSwitches(), (Closed{{3, 0}}));
    // An end that is none closes nothing.
    EXPECT_EQ(ADG2188_set_connection_switch(4, 6, 6, 6, 1), 0);
    EXPECT_EQ(closedSwitches(), (Closed{{3, 0}}));
    EXPECT_EQ(ADG2188_set_connection_switch(10, 6, 6, 1, 1), 2);
    EXPECT_EQ(ADG2188_set_connection_switch(1, 6, 6, 7, 1), 2);
}

TEST_F(Crosspoint, UserPortsRouteTheMessageOutputToTheirStoredDestination) {
    struct Case {
        int destination;  // PM byte 300, as the menu numbers ports
        Closed closed;
    } cases[] = {
        {7, {}},
        {2, {{6, 2}}},
        {4, {{6, 5}}},  // 4 and 5 exchanged
        {5, {{6, 4}}},
        {6, {{6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}}},
        {1, {{6, 1}}},
    };
    for (const Case& c : cases) {
        PM.USER1_DESTINATION = static_cast<uint8_t>(c.destination);
        EXPECT_EQ(ADG2188_set_connection_switch(8, 1, 1, 1, 1), 0);  // the pair given is ignored
        EXPECT_EQ(closedSwitches(), c.closed) << c.destination;
    }
}

TEST_F(Crosspoint, AllDestinationsResetTheConnectionsButKeepTheOtherUserPort) {
    PM.CONNECTION[0] = {0, 3};
    PM.USER2_DESTINATION = 2;
    ADG2188_init();
    EXPECT_EQ(closedSwitches(), (Closed{{0, 3}, {6, 2}}));
    PM.USER1_DESTINATION = 6;
    ADG2188_set_connection_switch(8, 0, 0, 0, 0);
    EXPECT_EQ(PM.CONNECTION[0].SOURCE, 6);
    EXPECT_EQ(PM.CONNECTION[0].DESTINATION, 6);
    EXPECT_EQ(closedSwitches().size(), 6u);
    // USR1 leaves "all": USR2's route stays closed.
    PM.USER1_DESTINATION = 0;
    ADG2188_set_connection_switch(8, 0, 0, 0, 0);
    EXPECT_EQ(closedSwitches(), (Closed{{6, 0}, {6, 2}}));
}

TEST_F(Crosspoint, ResetOpensEverythingAndMarksTheEightConnectionsNone) {
    PM.CONNECTION[0] = {0, 1};
    PM.CONNECTION[7] = {5, 3};
    PM.USER1_DESTINATION = 2;
    ADG2188_init();
    EXPECT_EQ(closedSwitches(), (Closed{{0, 1}, {4, 3}, {6, 2}}));
    ADG2188_reset_all_connections();
    EXPECT_TRUE(closedSwitches().empty());
    for (const auto& c : PM.CONNECTION) {
        EXPECT_EQ(c.SOURCE, 6);
        EXPECT_EQ(c.DESTINATION, 6);
    }
    EXPECT_EQ(PM.USER1_DESTINATION, 2);  // the user ports' settings stay
}

TEST_F(Crosspoint, StoredConnectionsSharingADestinationLeaveOneSource) {
    PM.CONNECTION[0] = {0, 1};
    PM.CONNECTION[3] = {2, 1};
    ADG2188_init();
    EXPECT_EQ(closedSwitches(), (Closed{{2, 1}}));
    EXPECT_EQ(PM.CONNECTION[0].DESTINATION, 6);
    EXPECT_EQ(PM.CONNECTION[3].SOURCE, 2);
    EXPECT_EQ(PM.CONNECTION[3].DESTINATION, 1);
    ADG2188_handle_non_exclusive_connection_switch(3);
    EXPECT_EQ(closedSwitches(), (Closed{{2, 1}}));
    EXPECT_EQ(PM.CONNECTION[3].DESTINATION, 1);
}
