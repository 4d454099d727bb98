#include "platform/sim/serial.h"

#include "platform/journal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <termios.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace board::sim::serial {
namespace {

struct Pty {
    int master = -1;
    std::string slave;
    // Bytes for this end that its master did not take yet. While any wait,
    // the other end is not read, so the writer there waits as on a line with
    // flow control and nothing is lost.
    std::string pending;
};

struct Port {
    std::string name;
    Pty app;   // <root>/dev/ttySN
    Pty user;  // <root>/term/ttySN
};

std::vector<Port> gPorts;
int gWake[2] = {-1, -1};
int gNotify = -1;  // opens and closes of the slaves wake the relay
std::thread gThread;
std::vector<std::string> gLinks;

bool openPty(Pty& p, std::string* error) {
    p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (p.master < 0 || ::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0) {
        if (error) *error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::ptsname_r(p.master, name, sizeof name) != 0) {
        if (error) *error = "ptsname failed";
        return false;
    }
    p.slave = name;
    // Raw, like a UART nobody has configured yet: no echo back into the relay.
    // Opening and closing once also puts the master into the hung-up state
    // that tells the relay nobody holds this end.
    int s = ::open(p.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        if (error) *error = "cannot open " + p.slave;
        return false;
    }
    termios t{};
    if (::tcgetattr(s, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        ::tcsetattr(s, TCSANOW, &t);
    }
    ::close(s);
    return true;
}

bool held(int master) {
    pollfd p{master, 0, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

// Moves what waits for an end into its master; false when the end cannot
// take more now.
bool flush(Pty& to) {
    while (!to.pending.empty()) {
        ssize_t n = ::write(to.master, to.pending.data(), to.pending.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to.pending.erase(0, static_cast<size_t>(n));
    }
    return true;
}

void relay() {
    prctl(PR_SET_NAME, "SIMTTY", 0, 0, 0);
    std::vector<pollfd> fds;
    char buf[4096];
    for (;;) {
        // An end that nobody holds reports a hang-up for ever; it leaves the
        // poll set until inotify says its slave was opened again, and what
        // waited for it is dropped, as a serial line does.
        fds.clear();
        fds.push_back({gWake[0], POLLIN, 0});
        fds.push_back({gNotify, POLLIN, 0});
        for (auto& port : gPorts) {
            const bool appHeld = held(port.app.master), userHeld = held(port.user.master);
            if (!appHeld) port.app.pending.clear();
            if (!userHeld) port.user.pending.clear();
            for (auto [p, other, on] : {std::tuple{&port.app, &port.user, appHeld},
                                        std::tuple{&port.user, &port.app, userHeld}}) {
                const short events = static_cast<short>((other->pending.empty() ? POLLIN : 0) |
                                                        (p->pending.empty() ? 0 : POLLOUT));
                fds.push_back({on ? p->master : -1, events, 0});
            }
        }
        int r = ::poll(fds.data(), fds.size(), -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || (fds[0].revents & POLLIN)) return;
        if (fds[1].revents & POLLIN) {
            alignas(inotify_event) char ev[4096];
            while (::read(gNotify, ev, sizeof ev) > 0) {
            }
        }
        for (size_t i = 0; i < gPorts.size(); ++i) {
            Port& port = gPorts[i];
            for (int side = 0; side < 2; ++side) {
                const pollfd& f = fds[2 + 2 * i + side];
                Pty& self = side == 0 ? port.app : port.user;
                Pty& other = side == 0 ? port.user : port.app;
                if (f.fd < 0) continue;
                if (f.revents & POLLOUT) flush(self);
                if (!(f.revents & POLLIN) || !other.pending.empty()) continue;
                ssize_t n = ::read(self.master, buf, sizeof buf);
                if (n <= 0 || !held(other.master)) continue;
                other.pending.assign(buf, static_cast<size_t>(n));
                flush(other);
            }
        }
    }
}

}  // namespace

bool start(const std::string& root, std::string* error) {
    if (::pipe2(gWake, O_CLOEXEC) != 0) return false;
    gNotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (gNotify < 0) {
        if (error) *error = std::string("inotify: ") + std::strerror(errno);
        return false;
    }
    for (const auto& name : kPorts) {
        Port port;
        port.name = name;
        if (!openPty(port.app, error) || !openPty(port.user, error)) return false;
        for (auto [dir, pty] : {std::pair{"/dev/", &port.app}, std::pair{"/term/", &port.user}}) {
            std::string link = root + dir + name;
            ::unlink(link.c_str());
            if (::symlink(pty->slave.c_str(), link.c_str()) != 0) {
                if (error) *error = "cannot link " + link + ": " + std::strerror(errno);
                return false;
            }
            gLinks.push_back(link);
        }
        for (const Pty* p : {&port.app, &port.user})
            ::inotify_add_watch(gNotify, p->slave.c_str(), IN_OPEN | IN_CLOSE);
        journal("serial.port", "%s app=%s user=%s", name.c_str(), port.app.slave.c_str(), port.user.slave.c_str());
        gPorts.push_back(std::move(port));
    }
    gThread = std::thread(relay);
    return true;
}

void stop() {
    if (gWake[1] >= 0) (void)!::write(gWake[1], "x", 1);
    if (gThread.joinable()) gThread.join();
    for (auto& port : gPorts) {
        ::close(port.app.master);
        ::close(port.user.master);
    }
    gPorts.clear();
    for (const auto& l : gLinks) ::unlink(l.c_str());
    gLinks.clear();
    if (gNotify >= 0) ::close(gNotify);
    gNotify = -1;
    if (gWake[0] >= 0) ::close(gWake[0]);
    if (gWake[1] >= 0) ::close(gWake[1]);
    gWake[0] = gWake[1] = -1;
}

}  // namespace board::sim::serial
