#include "menu/pages_network.h"

#include "commands/network_param.h"
#include "core/pm.h"
#include "core/usrmsg.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "menu/pages_misc.h"
#include "osd/formated_osd_list.h"
#include "osd/menu_kit.h"
#include "osd/osd.h"
#include "protocol/port_tunneling.h"
#include "upgrade/osd_console.h"
#include "platform/journal.h"
#include "sys/frontpanel.h"
#include "sys/locks.h"
#include "sys/print.h"
#include "video/crosspoint.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <utility>

int32_t PB_55 = 0, PB_551 = 0, PB_5521 = 0, PB_5522 = 0, PB_553 = 0, PB_5539 = 0, PB_5551 = 0, PB_5552 = 0;
int32_t PB_5531 = 0, PB_5532 = 0, PB_5533 = 0, PB_5534 = 0, PB_5535 = 0, PB_5536 = 0, PB_5537 = 0, PB_5538 = 0;
uint8_t networkDHCPMode = 0;

namespace {

constexpr int kConnections = 8;
constexpr int kNone = 6;  // a connection's end, or every destination of a user port (7 is off)
constexpr int kChoices = 7;  // a connection's destinations: ports 0..5 and none
constexpr int kMessageLine = 10, kMessageLines = 20;
constexpr int kUsedByX = 330, kUsedByY = 120, kUsedByColour = 249;

int nodeOf(int row) { return static_cast<int>(funcDataTbl[row].node); }
int connectionOf(int node) { return node / 10 % 10; }  // 1..8 for 553n, 553n1, 553n2

void osd_funcNetwork(int row);
void osd_funcSerialParam(int row);
void destinationAction(int row);

constexpr auto kSerialLine = [](int row) { func5522x(nodeOf(row)); };
constexpr auto kUser1Line = [](int row) { func5551x(nodeOf(row)); };
constexpr auto kUser2Line = [](int row) { func5552x(nodeOf(row)); };
constexpr auto kUserRoute = [](int row) { func555x5(nodeOf(row)); };
constexpr auto kConnectionPage = [](int row) { func553x(nodeOf(row)); };
constexpr auto kConnectionSource = [](int row) { func553xx(nodeOf(row)); };
constexpr auto kTunnelSocket = [](int) { reconfigure_socket(); };
constexpr auto kSendUser1 = [](int) { func555x7(USR1); };
constexpr auto kSendUser2 = [](int) { func555x7(USR2); };

constexpr MiscView page(const int* top, const int* item, const int* list) { return {top, item, MiscBody::Page, list, nullptr}; }
constexpr MiscView choice(const int* top, const int* item, const int* list, const char* field) {
    return {top, item, MiscBody::List, list, field};
}
constexpr MiscView conn = {menu_list_553, menu_list_553x, MiscBody::List, menu_list_553xx, nullptr};
constexpr MiscView user(const int* list, const char* field) { return choice(menu_list_555, menu_list_555x, list, field); }

// Connection n (1..8): its page 553n, its source 553n1 and destination 553n2.
constexpr MiscNode connectionPage(int n, int32_t* cursor) {
    return {miscRow(5530 + n, FT_PAGE, cursor, 0, 1, 1, 0, 7, kConnectionPage, osd_func553x),
            page(menu_list_55, menu_list_553, menu_list_553x)};
}
constexpr MiscNode connectionSource(int n) {
    return {miscRow(55301 + 10 * n, FT_S8, &PM.CONNECTION[n - 1].SOURCE, 0, 6, 1, 0, 6, kConnectionSource, osd_func553xx),
            conn};
}
constexpr MiscNode connectionDestination(int n) {
    return {miscRow(55302 + 10 * n, FT_S8, &PM.CONNECTION[n - 1].DESTINATION, 0, 6, 1, 0, 6, destinationAction,
                    osd_func553xx),
            conn};
}

const std::array kNodes = std::to_array<MiscNode>({
    {miscRow(55, FT_PAGE, &PB_55, 0, 5, 1, 0, 5, nullptr, osd_funcNetwork), page(menu_list_5, nullptr, menu_list_55)},
    {miscRow(551, FT_PAGE, &PB_551, 0, 0, 1, 0, 5, nullptr, osd_funcNetwork), page(menu_list_5, menu_list_55, menu_list_551)},
    {miscRow(5511, FT_S8, &networkDHCPMode, 0, 1, 1, 0, 1, func5511, osd_func5511),
     choice(menu_list_55, menu_list_551, menu_list_OFF_ON, "DHCP")},
    // Port tunnelling.
    {miscRow(552, FT_PAGE, &PB_Stub, 0, 1, 1, 0, 5, nullptr, osd_funcNetwork), page(menu_list_5, menu_list_55, menu_list_552)},
    {miscRow(5521, FT_PAGE, &PB_5521, 0, 1, 1, 0, 5, nullptr, osd_funcNetwork), page(menu_list_55, menu_list_552, menu_list_5521)},
    {miscRow(55211, FT_S8, &PM.PORT_TUNNELING_MODE, 0, 1, 1, 0, 5, kTunnelSocket, osd_funcNetwork),
     choice(menu_list_552, menu_list_5521, menu_list_55211, "PM.PORT_TUNNELING_MODE")},
    {miscRow(55212, FT_S32, &PM.PORT_TUNNELING_PORT_NUMBER, 0, 64000, 1, 50, 3, kTunnelSocket, osd_funcNetwork),
     {menu_list_552, menu_list_5521, MiscBody::Bar, nullptr, "PM.PORT_TUNNELING_PORT_NUMBER"}},
    {miscRow(5522, FT_PAGE, &PB_5522, 0, 3, 1, 0, 5, nullptr, osd_funcNetwork), page(menu_list_55, menu_list_552, menu_list_5522)},
    {miscRow(55221, FT_S8, &PM.PORT_TUNNELING_BAUD, 0, 7, 1, 0, 5, kSerialLine, osd_funcSerialParam),
     choice(menu_list_552, menu_list_5522, menu_list_55221, "BAUDRATE")},
    {miscRow(55222, FT_S8, &PM.PORT_TUNNELING_DATA_BITS, 0, 3, 1, 0, 5, kSerialLine, osd_funcSerialParam),
     choice(menu_list_552, menu_list_5522, menu_list_55222, "DATA BITS")},
    {miscRow(55223, FT_S8, &PM.PORT_TUNNELING_PARITY, 0, 4, 1, 0, 5, kSerialLine, osd_funcSerialParam),
     choice(menu_list_552, menu_list_5522, menu_list_55223, "PARITY")},
    {miscRow(55224, FT_S8, &PM.PORT_TUNNELING_STOP_BITS, 0, 1, 1, 0, 5, kSerialLine, osd_funcSerialParam),
     choice(menu_list_552, menu_list_5522, menu_list_55224, "STOP BITS")},
    // The serial matrix.
    {miscRow(553, FT_PAGE, &PB_553, 0, 8, 1, 0, 5, nullptr, osd_func553), page(menu_list_5, menu_list_55, menu_list_553)},
    connectionPage(1, &PB_5531), connectionSource(1), connectionDestination(1),
    connectionPage(2, &PB_5532), connectionSource(2), connectionDestination(2),
    connectionPage(3, &PB_5533), connectionSource(3), connectionDestination(3),
    connectionPage(4, &PB_5534), connectionSource(4), connectionDestination(4),
    connectionPage(5, &PB_5535), connectionSource(5), connectionDestination(5),
    connectionPage(6, &PB_5536), connectionSource(6), connectionDestination(6),
    connectionPage(7, &PB_5537), connectionSource(7), connectionDestination(7),
    connectionPage(8, &PB_5538), connectionSource(8), connectionDestination(8),
    {miscRow(5539, FT_PAGE, &PB_5539, 0, 0, 1, 0, 7, func5539, osd_funcNetwork), page(menu_list_55, menu_list_553, menu_list_553x)},
    // The user-message ports.
    {miscRow(555, FT_PAGE, &PB_Stub, 0, 1, 1, 0, 5, nullptr, osd_funcNetwork), page(menu_list_5, menu_list_55, menu_list_555)},
    {miscRow(5551, FT_PAGE, &PB_5551, 0, 6, 1, 0, 7, nullptr, osd_funcNetwork), page(menu_list_55, menu_list_555, menu_list_555x)},
    {miscRow(55511, FT_S8, &PM.USER1_BAUD, 0, 7, 1, 0, 5, kUser1Line, osd_funcSerialParam), user(menu_list_55221, "BAUDRATE")},
    {miscRow(55512, FT_S8, &PM.USER1_DATA_BITS, 0, 3, 1, 0, 5, kUser1Line, osd_funcSerialParam), user(menu_list_55222, "DATA BITS")},
    {miscRow(55513, FT_S8, &PM.USER1_PARITY, 0, 4, 1, 0, 5, kUser1Line, osd_funcSerialParam), user(menu_list_55223, "PARITY")},
    {miscRow(55514, FT_S8, &PM.USER1_STOP_BITS, 0, 1, 1, 0, 5, kUser1Line, osd_funcSerialParam), user(menu_list_55224, "STOP BITS")},
    {miscRow(55515, FT_S8, &PM.USER1_DESTINATION, 0, 7, 1, 0, 6, kUserRoute, osd_funcSerialParam),
     user(menu_list_555x5, "PM.USER1_DESTINATION")},
    {miscRow(55516, FT_PAGE, &PB_Stub, 0, 7, 1, 0, 5, nullptr, osd_func55516), page(menu_list_555, menu_list_555x, nullptr)},
    {miscRow(55517, FT_PAGE, &PB_Stub, 0, 1, 1, 0, 7, kSendUser1, osd_func55517), page(menu_list_555, menu_list_555x, nullptr)},
    {miscRow(5552, FT_PAGE, &PB_5552, 0, 6, 1, 0, 7, nullptr, osd_funcNetwork), page(menu_list_55, menu_list_555, menu_list_555x)},
    {miscRow(55521, FT_S8, &PM.USER2_BAUD, 0, 7, 1, 0, 5, kUser2Line, osd_funcSerialParam), user(menu_list_55221, "BAUDRATE")},
    {miscRow(55522, FT_S8, &PM.USER2_DATA_BITS, 0, 3, 1, 0, 5, kUser2Line, osd_funcSerialParam), user(menu_list_55222, "DATA BITS")},
    {miscRow(55523, FT_S8, &PM.USER2_PARITY, 0, 4, 1, 0, 5, kUser2Line, osd_funcSerialParam), user(menu_list_55223, "PARITY")},
    {miscRow(55524, FT_S8, &PM.USER2_STOP_BITS, 0, 1, 1, 0, 5, kUser2Line, osd_funcSerialParam), user(menu_list_55224, "STOP BITS")},
    {miscRow(55525, FT_S8, &PM.USER2_DESTINATION, 0, 7, 1, 0, 6, kUserRoute, osd_funcSerialParam),
     user(menu_list_555x5, "PM.USER2_DESTINATION")},
    {miscRow(55526, FT_PAGE, &PB_Stub, 0, 7, 1, 0, 5, nullptr, osd_func55526), page(menu_list_555, menu_list_555x, nullptr)},
    {miscRow(55527, FT_PAGE, &PB_Stub, 0, 1, 1, 0, 7, kSendUser2, osd_func55527), page(menu_list_555, menu_list_555x, nullptr)},
});

const MiscView& viewOf(int row) {
    static const MiscView kNoView{};
    const MiscView* v = misc_view_of(kNodes, row);
    return v != nullptr ? *v : kNoView;
}

void osd_funcNetwork(int row) {
    if (const MiscView* v = misc_view_of(kNodes, row)) misc_screen(row, *v);
}

// The serial items print their value as the port will use it.
void osd_funcSerialParam(int row) {
    static const int kBaud[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    static const char* const kParity[] = {"NONE", "ODD", "EVEN", "MARK", "SPACE"};
    const int node = nodeOf(row);
    const int v = underPm([&] { return getVal(row); });
    switch (node % 10) {
    case 1:
        if (v >= 0 && v < 8) PRINT(PRINT_GENERAL, "BAUDRATE = %d\n", kBaud[v]);
        break;
    case 2:
        PRINT(PRINT_GENERAL, "DATA BITS = %d\n", v + 5);
        break;
    case 3:
        if (v >= 0 && v < 5) PRINT(PRINT_GENERAL, "PARITY = %s\n", kParity[v]);
        break;
    case 4:
        PRINT(PRINT_GENERAL, "STOP BITS = %d\n", v + 1);
        break;
    default:
        PRINT(PRINT_GENERAL, "PM.USER%d_DESTINATION = %d\n", connectionOf(node), v);
        break;
    }
    misc_screen(row, viewOf(row));
}

// The pairs handle_connections last set, slots 0..7 the connections, 8 and
// 9 the user ports, in menu port numbers. Taken at the first use after the
// crosspoint was set up: the connections from what it holds (at start the
// stored pairs), so that a first change opens the switch really closed,
// whatever PM says by then; the user ports from PM.
std::mutex gPairsMutex;  // taken before PM_mutex
std::optional<unsigned> gPairsOf;  // the crosspoint set-up they were taken from
XpointPair gPairs[kXpointSlots];

// Called with gPairsMutex held.
void takeStoredPairs() {
    if (gPairsOf == ADG2188_generation()) return;
    gPairsOf = ADG2188_generation();
    for (int j = 0; j < kConnections; ++j) {
        const XpointPair x = ADG2188_connection(j);
        gPairs[j] = {ADG2188_port(x.source), ADG2188_port(x.destination)};
    }
    MutexLock lock(PM_mutex);
    gPairs[kXpointUsr1Slot] = {kXpointUserSource, PM.USER1_DESTINATION};
    gPairs[kXpointUsr1Slot + 1] = {kXpointUserSource, PM.USER2_DESTINATION};
}

void printConnections() {
    for (int j = 0; j < kConnections; ++j) {
        const auto c = underPm([&] { return PM.CONNECTION[j]; });
        PRINT(PRINT_GENERAL, "+++ PM.CONNECTION%d_SOURCE = %X  PM.CONNECTION%d_DESTINATION = %X  \n", j + 1, c.SOURCE,
              j + 1, c.DESTINATION);
    }
}

bool userAll(uint8_t u1, uint8_t u2) { return u1 == kNone || u2 == kNone; }

// The destination a connection item takes instead of a used one: the next
// choice down, the previous one up (from 0 round to none).
int stepOver(int destination, int key) {
    if (key == KEY_UP) return destination <= 0 ? kChoices - 1 : destination - 1;
    return destination >= kChoices - 1 ? 0 : destination + 1;
}

// A connection's destination that a user port holds stays what the
// crosspoint has, so that PM and a protocol get tell the truth.
int keepDestination(int n) {
    std::lock_guard lock(gPairsMutex);
    takeStoredPairs();
    const int kept = gPairs[n - 1].destination;
    underPm([&] { PM.CONNECTION[n - 1].DESTINATION = static_cast<uint8_t>(kept); });
    PRINT(PRINT_GENERAL, "connection %d: the destination is used by a user port, kept %d\n", n, kept);
    board::journal("serial_matrix.locked", "connection=%d kept=%d", n, kept);
    return kept;
}

void destinationAction(int row) {
    const int node = nodeOf(row);
    if (check_destination_lock_by_user(node) == 0) func553xx(node);
    else keepDestination(connectionOf(node));
}

void destinationScreen(int row, const MiscView& v, formated_osd_list& list, int n) {
    const auto users = underPm([] { return std::pair<uint8_t, uint8_t>{PM.USER1_DESTINATION, PM.USER2_DESTINATION}; });
    const uint8_t u1 = users.first, u2 = users.second;
    if (userAll(u1, u2)) {
        const std::string text = std::string("All Destination Used by ") + (u1 == kNone ? "USR1" : "USR2");
        osd_put_ascii_string(text.c_str(), kUsedByX, kUsedByY, kUsedByColour, 255, 0, 16);
        for (int i = 0; i < kNone; ++i) list.set_foreground_color(formated_osd_list::c_red, i);
        underPm([&] { PM.CONNECTION[n - 1].DESTINATION = kNone; });
        misc_screen_body(row, v, list);
        return;
    }
    if (u1 < kNone) list.set_warning(" (Used By USR1)", u1, formated_osd_list::c_red);
    if (u2 < kNone) list.set_warning(" (Used By USR2)", u2, formated_osd_list::c_red);
    // The cursor passes over the lines the user ports hold, in the direction
    // of the last key (forward for any other key), at most once round.
    const int key = button_num;
    int d = underPm([&] { return PM.CONNECTION[n - 1].DESTINATION; });
    // A control system's set is refused, not moved to another line.
    if (key == KEY_RUN_PROTOCOL_NODE && (d == u1 || d == u2)) d = keepDestination(n);
    for (int steps = 0; (d == u1 || d == u2) && steps < kChoices; ++steps) {
        osd_put_list(row, d, list, 0);
        d = stepOver(d, key);
        underPm([&] { PM.CONNECTION[n - 1].DESTINATION = static_cast<uint8_t>(d); });
    }
    misc_screen_body(row, v, list);
}

}  // namespace

void handle_connections(int node, int which) {
    std::lock_guard lock(gPairsMutex);
    takeStoredPairs();
    int slot = 0;
    XpointPair now{};
    uint8_t u1 = 0, u2 = 0;
    {
        MutexLock pm(PM_mutex);
        u1 = PM.USER1_DESTINATION;
        u2 = PM.USER2_DESTINATION;
        if (which == 2) {
            const int n = connectionOf(node);
            if (n < 1 || n > kConnections) return;
            slot = n - 1;
            now = {PM.CONNECTION[slot].SOURCE, PM.CONNECTION[slot].DESTINATION};
        } else if (which == 0 || which == 1) {
            slot = kXpointUsr1Slot + which;
            now = {kXpointUserSource, which == 0 ? u1 : u2};
        } else {
            return;
        }
    }
    PRINT(PRINT_GENERAL, "+++ handle_connections +++ state_num %d, source %d\n", static_cast<int>(st_num), now.source);
    const XpointPair before = gPairs[slot];
    ADG2188_set_connection_switch(slot, ADG2188_port(before.source), ADG2188_port(before.destination),
                                  ADG2188_port(now.source), ADG2188_port(now.destination));
    gPairs[slot] = now;
    if (userAll(u1, u2))
        for (int j = 0; j < kConnections; ++j) gPairs[j].destination = kNone;
    PRINT(PRINT_GENERAL, "+++ connection %d, source %d, *input_pointer %X  *output_pointer %X\n", slot + 1, now.source,
          now.source, now.destination);
    printConnections();
}

int check_destination_lock_by_user(int node) {
    const int n = connectionOf(node);
    if (n < 1 || n > kConnections) return 0;
    MutexLock lock(PM_mutex);
    const int d = PM.CONNECTION[n - 1].DESTINATION;
    if (d == kNone) return 0;
    const int u1 = PM.USER1_DESTINATION, u2 = PM.USER2_DESTINATION;
    return userAll(static_cast<uint8_t>(u1), static_cast<uint8_t>(u2)) || d == u1 || d == u2 ? 1 : 0;
}

void func5511(int) {
    PRINT(PRINT_GENERAL, "+++ func5511\n");
    PRINT(PRINT_GENERAL, "+++ DHCP on/off mode\n");
    const uint8_t mode = underPm([] { return networkDHCPMode; });
    DefaultEepromEthParam rec;
    if (rec.eepromRead() != 0) {
        // A record that cannot be read is not overwritten with defaults.
        PRINT(PRINT_GENERAL, "func5511: the network record cannot be read\n");
        return;
    }
    rec.setDHCPMode(mode);
    rec.eepromWrite();
    rec.SaveLinuxNetworkParam();
}

void func5522x(int node) {
    PRINT(PRINT_GENERAL, "+++ func%d +++ \n", node);
    port_tunneling_rs232_configuration();
}

void func5551x(int node) {
    PRINT(PRINT_GENERAL, "+++ func%d +++ \n", node);
    PRINT(PRINT_GENERAL, "state_num=%d funcInd=%d\n", static_cast<int>(st_num), funcNum2TblInx(node));
    usr1_tty_reconfiguration();
}

void func5552x(int node) {
    PRINT(PRINT_GENERAL, "+++ func%d +++ \n", node);
    PRINT(PRINT_GENERAL, "state_num=%d funcInd=%d\n", static_cast<int>(st_num), funcNum2TblInx(node));
    usr2_tty_reconfiguration();
}

void func555x5(int node) { handle_connections(0, node == 55515 ? 0 : 1); }

void func553x(int node) {
    if (button_num == KEY_LEFT) ADG2188_handle_non_exclusive_connection_switch(node % 10 - 1);
}

void func553xx(int node) { handle_connections(node, 2); }

void func5539(int) {
    ADG2188_reset_all_connections();
    {
        // The crosspoint holds no connection now; a later change has none to open.
        std::lock_guard lock(gPairsMutex);
        takeStoredPairs();
        for (int j = 0; j < kConnections; ++j) gPairs[j] = {kNone, kNone};
    }
    handle_connections(0, 0);
    handle_connections(0, 1);
}

std::vector<std::string> userMessageLines(const char* text, int length) {
    if (text == nullptr || length <= 0) return {"N.A"};
    std::vector<std::string> lines;
    for (int i = 0; i < length && static_cast<int>(lines.size()) < kMessageLines; i += kMessageLine) {
        std::string line;
        for (int k = i; k < length && k < i + kMessageLine; ++k) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(text[k]));
            line += hex;
        }
        lines.push_back(line);
    }
    if (length > kMessageLine * kMessageLines) lines.emplace_back("...");
    return lines;
}

void func555x6(int port) {
    int length = 0;
    const char* text = get_usr_message(port, &length);
    Osd console;
    console.clrscr();
    console.clrscr();
    console.Refresh();
    console << console::endl << console::endl;
    for (const std::string& line : userMessageLines(text, length)) console << line << console::endl;
}

void func555x7(int port) {
    if (port == USR1) usr1_key_pressing();
    else usr2_key_pressing();
}

void osd_func553(int row) {
    PRINT(PRINT_GENERAL, "SERIAL MATRIX = CONNECTION%d\n", static_cast<int>(underPm([] { return PB_553; })) + 1);
    osd_funcNetwork(row);
}

void osd_func553x(int row) { osd_funcNetwork(row); }

void osd_func553xx(int row) {
    const MiscView& v = viewOf(row);
    const int node = nodeOf(row);
    formated_osd_list list(v.list);
    misc_screen_begin(row, v);
    if (node % 10 == 2) destinationScreen(row, v, list, connectionOf(node));
    else misc_screen_body(row, v, list);
    osd_page_show();
}

void loadNetworkDHCPMode() {
    DefaultEepromEthParam rec;
    if (rec.eepromRead() == 0) underPm([&] { networkDHCPMode = rec.getDHCPMode(); });
}

void osd_func5511(int row) {
    // The item shows the stored mode, and a change starts from it.
    loadNetworkDHCPMode();
    misc_screen(row, viewOf(row));
}

namespace {

void messageScreen(int row, int port) {
    misc_screen_begin(row, viewOf(row));
    func555x6(port);
    osd_page_show();
}

// The send items show their port's page again; the message goes as the
// screen's action.
void backToPortPage(int page) {
    st_num = page;
    osd_funcNetwork(funcNum2TblInx(page));
}

}  // namespace

void osd_func55516(int row) { messageScreen(row, USR1); }
void osd_func55526(int row) { messageScreen(row, USR2); }
void osd_func55517(int) { backToPortPage(5551); }
void osd_func55527(int) { backToPortPage(5552); }

std::span<const FuncRow> networkPageRows() {
    static const auto rows = misc_rows(kNodes);
    return rows;
}
