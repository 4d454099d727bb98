#include "core/usrmsg.h"

#include "core/pm.h"
#include "platform/board.h"
#include "platform/fdio.h"
#include "platform/journal.h"
#include "sys/msgq.h"
#include "sys/print.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

struct Port {
    const char* file;
    int queue;
    std::atomic<bool> reconfigure{false};
    std::string custom;       // the one-off text of a custom request (gMutex)
    uint64_t customAsked = 0;  // custom requests made (gMutex)
    // The last custom request the thread ended, and whether its text went
    // out whole (gWakeMutex): a poster answers for its own request only.
    uint64_t customDone = 0;
    bool customSent = false;
};

Port gPort[2] = {
    {board::deviceText("/root/persist/user1_msg.txt"), E_EXMSG_TYPE_USR1, {}, {}, {}},
    {board::deviceText("/root/persist/user2_msg.txt"), E_EXMSG_TYPE_USR2, {}, {}, {}},
};
std::mutex gMutex;  // files and custom texts

constexpr int kBaud[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr speed_t kSpeed[] = {B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};
constexpr int kDataBits[] = {5, 6, 7, 8};
constexpr tcflag_t kSize[] = {CS5, CS6, CS7, CS8};
constexpr char kParity[] = {'N', 'O', 'E', 'M', 'S'};

bool validPort(int port) { return port == USR1 || port == USR2; }

Port& portOf(int port) { return gPort[port - 1]; }

std::string readFile(const Port& p) {
    std::ifstream in(board::path(p.file), std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (s.size() > static_cast<size_t>(kUserMessageMax)) s.resize(kUserMessageMax);
    return s;
}

bool writeFile(const Port& p, const std::string& text) {
    std::string file = board::path(p.file), tmp = file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), file.c_str()) == 0;
}

// The thread sleeps until a request is posted (or a second passed, for a
// request that reached its queue another way); the poster of a custom
// message sleeps until its send ended.
std::mutex gWakeMutex;
std::condition_variable gWake;
std::condition_variable gSent;
uint64_t gPosted = 0;
constexpr auto kIdleWake = std::chrono::seconds(1);

bool post(int port, uint32_t custom) {
    _EXMSG m;
    m.key = USR_MSG_SEND;
    m.param = custom;
    m.source = KEY_SOURCE_PROGRAM;
    if (send_message_q(portOf(port).queue, &m) != 0) {
        PRINT(PRINT_GENERAL, "user message %d: the request cannot be queued\n", port);
        return false;
    }
    {
        std::lock_guard lock(gWakeMutex);
        ++gPosted;
    }
    gWake.notify_all();
    return true;
}

int index(int v, int count) { return v >= 0 && v < count ? v : 0; }

// The thread's side: the serial line and the port it is set up for.
int gTty = -1;
int gTtyPort = 0;

bool setUp(int port) {
    if (gTty < 0) {
        gTty = ::open(board::path("/dev/ttyS3").c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (gTty < 0) {
            PRINT(PRINT_GENERAL, "users_message_thread: cannot open the user-message port: %s\n", std::strerror(errno));
            return false;
        }
        gTtyPort = 0;
    }
    if (gTtyPort == port && !portOf(port).reconfigure.exchange(false)) return true;
    const uint8_t* b = port == USR1 ? &PM.USER1_BAUD : &PM.USER2_BAUD;
    int baud = index(b[0], 8), bits = index(b[1], 4), parity = index(b[2], 5), stop = index(b[3], 2);
    termios t{};
    tcgetattr(gTty, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, kSpeed[baud]);
    cfsetospeed(&t, kSpeed[baud]);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CMSPAR);
    t.c_cflag |= kSize[bits] | CLOCAL;
    if (parity != 0) t.c_cflag |= PARENB;
    if (parity == 1 || parity == 3) t.c_cflag |= PARODD;
    if (parity >= 3) t.c_cflag |= CMSPAR;
    if (stop == 1) t.c_cflag |= CSTOPB;
    tcsetattr(gTty, TCSANOW, &t);
    gTtyPort = port;
    board::journal("usrmsg.tty", "port=%d baud=%d bits=%d parity=%c stop=%d", port, kBaud[baud], kDataBits[bits],
                   kParity[parity], stop + 1);
    return true;
}

void sendOne(int port, bool custom) {
    Port& p = portOf(port);
    std::string text;
    uint64_t request = 0;
    {
        std::lock_guard lock(gMutex);
        if (custom) text.swap(p.custom), request = p.customAsked;
        else text = readFile(p);
    }
    size_t off = 0;
    const bool ready = setUp(port);
    if (ready) {
        off = board::writeFully(gTty, text.data(), text.size());
        tcdrain(gTty);
        board::journal("usrmsg.send", "port=%d bytes=%zu custom=%d", port, off, custom ? 1 : 0);
    }
    if (!custom) return;
    {
        std::lock_guard lock(gWakeMutex);
        p.customDone = request;
        p.customSent = ready && off == text.size();
    }
    gSent.notify_all();
}

}  // namespace

UserTtySettings userTtySettings(int port) {
    const uint8_t* b = port == USR2 ? &PM.USER2_BAUD : &PM.USER1_BAUD;
    return {kBaud[index(b[0], 8)], kDataBits[index(b[1], 4)], kParity[index(b[2], 5)], index(b[3], 2) + 1};
}

int set_user_message(int port, const char* text, int length) {
    if (!validPort(port) || length < 0 || length > kUserMessageMax || (length > 0 && text == nullptr)) return -1;
    std::lock_guard lock(gMutex);
    bool ok = writeFile(portOf(port), std::string(text ? text : "", static_cast<size_t>(length)));
    board::journal("set_user_message", "port=%d length=%d%s", port, length, ok ? "" : " failed");
    return ok ? 0 : -1;
}

const char* get_usr_message(int port, int* length) {
    thread_local char buffer[kUserMessageMax + 1];
    if (!validPort(port)) return nullptr;
    std::string s;
    {
        std::lock_guard lock(gMutex);
        s = readFile(portOf(port));
    }
    std::memcpy(buffer, s.data(), s.size());
    buffer[s.size()] = '\0';
    if (length) *length = static_cast<int>(s.size());
    return buffer;
}

int send_custom_user_message(int port, const char* text, int length) {
    if (!validPort(port) || length < 0 || length > kUserMessageMax || (length > 0 && text == nullptr)) return -1;
    Port& p = portOf(port);
    uint64_t request;
    {
        // The one-off text goes to the thread in memory: the stored message
        // and its file are never touched.
        std::lock_guard lock(gMutex);
        p.custom.assign(text ? text : "", static_cast<size_t>(length));
        request = ++p.customAsked;
    }
    board::journal("send_custom_user_message", "port=%d length=%d", port, length);
    if (!post(port, 1)) return -1;
    // Success only when this request's text went out whole: a stored
    // message's send ending meanwhile, or a port that cannot be opened,
    // is not this text sent.
    std::unique_lock lock(gWakeMutex);
    const bool ended =
        gSent.wait_for(lock, std::chrono::milliseconds(kCustomWaitMs), [&] { return p.customDone >= request; });
    return ended && p.customDone == request && p.customSent ? 0 : -1;
}

void usr1_key_pressing() {
    board::journal("usr1_key_pressing", "-");
    post(USR1, 0);
}

void usr2_key_pressing() {
    board::journal("usr2_key_pressing", "-");
    post(USR2, 0);
}

void usr1_tty_reconfiguration() {
    portOf(USR1).reconfigure = true;
    board::journal("usr1_tty_reconfiguration", "-");
}

void usr2_tty_reconfiguration() {
    portOf(USR2).reconfigure = true;
    board::journal("usr2_tty_reconfiguration", "-");
}

void writeUserMessageFiles() {
    std::lock_guard lock(gMutex);
    int created = 0;
    for (const Port& p : gPort) {
        std::string file = board::path(p.file);
        if (::access(file.c_str(), F_OK) == 0) continue;
        if (writeFile(p, "")) ++created;
    }
    board::journal("writeUserMessageFiles", "created=%d", created);
}

void* users_message_thread(void*) {
    std::printf("users_message_thread: start\n");
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(gWakeMutex);
            seen = gPosted;
        }
        for (int port : {USR1, USR2}) {
            _EXMSG m;
            while (get_message_q(portOf(port).queue, &m) >= 0) {
                if (m.key == USR_MSG_SEND) sendOne(port, m.param != 0);
                if (m.key != USR_MSG_QUIT) continue;
                if (gTty >= 0) ::close(gTty);
                gTty = -1;
                gTtyPort = 0;
                return nullptr;
            }
        }
        std::unique_lock lock(gWakeMutex);
        gWake.wait_for(lock, kIdleWake, [&] { return gPosted != seen; });
    }
    return nullptr;
}
