#include "video/crosspoint.h"

#include "core/pm.h"
#include "platform/journal.h"
#include "platform/video.h"
#include "sys/locks.h"

#include <atomic>
#include <mutex>

namespace {

constexpr int kConnections = 8;
constexpr int kPorts = 6;
constexpr int kUserOff = 7;

std::mutex gMutex;  // the table, and the order of its switch changes
XpointPair gTable[kXpointSlots] = {{6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 6}, {6, 7}, {6, 7}};
std::atomic<unsigned> gGeneration{0};

bool isPort(int p) { return p >= 0 && p < kPorts; }

// The user slot's destinations on the crosspoint: every port for 6, none
// for 7.
bool userDrives(const XpointPair& u, int destination) {
    if (u.destination == kXpointNone) return true;
    return isPort(u.destination) && ADG2188_port(u.destination) == destination;
}

// Called with gMutex held.
void openUserRoute(int slot) {
    const XpointPair& other = gTable[slot == kXpointUsr1Slot ? kXpointUsr1Slot + 1 : kXpointUsr1Slot];
    for (int d = 0; d < kPorts; ++d)
        if (userDrives(gTable[slot], d) && !userDrives(other, d)) board::video::crosspointSwitch(kXpointUserSource, d, false);
    gTable[slot].destination = kUserOff;
}

// Called with gMutex held: every other connection to the destination opens
// and becomes none.
void exclusive(int connection, int destination) {
    if (!isPort(destination)) return;
    for (int j = 0; j < kConnections; ++j) {
        if (j == connection || gTable[j].destination != destination) continue;
        if (isPort(gTable[j].source)) board::video::crosspointSwitch(gTable[j].source, destination, false);
        gTable[j].destination = kXpointNone;
        {
            MutexLock lock(PM_mutex);
            PM.CONNECTION[j].DESTINATION = kXpointNone;
        }
        board::journal("ADG2188.exclusive", "connection=%d cleared (destination %d taken by %d)", j, destination,
                       connection);
    }
}

void resetLocked() {
    board::video::crosspointReset();
    for (int j = 0; j < kConnections; ++j) gTable[j] = {kXpointNone, kXpointNone};
    gTable[kXpointUsr1Slot].destination = kUserOff;
    gTable[kXpointUsr1Slot + 1].destination = kUserOff;
    MutexLock lock(PM_mutex);
    for (auto& c : PM.CONNECTION) c.SOURCE = c.DESTINATION = kXpointNone;
}

void routeUserLocked(int slot) {
    int stored = slot == kXpointUsr1Slot ? PM.USER1_DESTINATION : PM.USER2_DESTINATION;
    openUserRoute(slot);
    if (stored == kXpointNone) {
        // The other user port keeps its route: "every destination" covers it.
        int other = slot == kXpointUsr1Slot ? kXpointUsr1Slot + 1 : kXpointUsr1Slot;
        XpointPair kept = gTable[other];
        resetLocked();
        gTable[other] = kept;
        for (int d = 0; d < kPorts; ++d) board::video::crosspointSwitch(kXpointUserSource, d, true);
    } else if (isPort(stored)) {
        int d = ADG2188_port(stored);
        exclusive(-1, d);
        board::video::crosspointSwitch(kXpointUserSource, d, true);
    }
    gTable[slot] = {kXpointUserSource, stored};
}

}  // namespace

int ADG2188_port(int menuPort) { return (menuPort == 4 || menuPort == 5) ? 9 - menuPort : menuPort; }

int ADG2188_set_connection_switch(int connection, int oldSource, int oldDestination, int newSource,
                                  int newDestination) {
    if (connection < 0 || connection >= kXpointSlots) return 2;
    std::lock_guard lock(gMutex);
    if (connection >= kConnections) {
        board::journal("ADG2188_set_connection_switch", "connection=%d user port", connection);
        routeUserLocked(connection);
        return 0;
    }
    for (int v : {oldSource, oldDestination, newSource, newDestination})
        if (v < 0 || v > kXpointNone) return 2;
    board::journal("ADG2188_set_connection_switch", "connection=%d old=%d,%d new=%d,%d", connection, oldSource,
                   oldDestination, newSource, newDestination);
    if (isPort(oldSource) && isPort(oldDestination)) board::video::crosspointSwitch(oldSource, oldDestination, false);
    if (isPort(newSource) && isPort(newDestination)) board::video::crosspointSwitch(newSource, newDestination, true);
    gTable[connection] = {newSource, newDestination};
    exclusive(connection, newDestination);
    return 0;
}

void ADG2188_reset_all_connections() {
    std::lock_guard lock(gMutex);
    board::journal("ADG2188_reset_all_connections", "8 connections none");
    resetLocked();
}

void ADG2188_handle_non_exclusive_connection_switch(int connection) {
    if (connection < 0 || connection >= kConnections) return;
    std::lock_guard lock(gMutex);
    board::journal("ADG2188_handle_non_exclusive_connection_switch", "connection=%d", connection);
    exclusive(connection, gTable[connection].destination);
}

void ADG2188_init() {
    XpointPair stored[kConnections];
    {
        MutexLock lock(PM_mutex);
        for (int j = 0; j < kConnections; ++j)
            stored[j] = {PM.CONNECTION[j].SOURCE, PM.CONNECTION[j].DESTINATION};
    }
    board::journal("ADG2188_init", "from the stored connections");
    {
        std::lock_guard lock(gMutex);
        board::video::crosspointReset();
        for (auto& t : gTable) t = {kXpointNone, kXpointNone};
        gTable[kXpointUsr1Slot].destination = gTable[kXpointUsr1Slot + 1].destination = kUserOff;
        ++gGeneration;
    }
    for (int j = 0; j < kConnections; ++j) {
        int s = isPort(stored[j].source) ? ADG2188_port(stored[j].source) : kXpointNone;
        int d = isPort(stored[j].destination) ? ADG2188_port(stored[j].destination) : kXpointNone;
        ADG2188_set_connection_switch(j, kXpointNone, kXpointNone, s, d);
    }
    ADG2188_set_connection_switch(kXpointUsr1Slot, 0, 0, 0, 0);
    ADG2188_set_connection_switch(kXpointUsr1Slot + 1, 0, 0, 0, 0);
}

unsigned ADG2188_generation() { return gGeneration; }

XpointPair ADG2188_connection(int slot) {
    std::lock_guard lock(gMutex);
    if (slot < 0 || slot >= kXpointSlots) return {kXpointNone, kXpointNone};
    return gTable[slot];
}
