#include "platform/msgq.h"

#include "platform/board.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>
#include <vector>

namespace board::msgq {
namespace {

std::mutex gMutex;
std::vector<int> gIds;

// Bursts of websocket text must not be dropped for want of queue space.
constexpr msglen_t kQueueBytes = 1 << 20;

}  // namespace

int create(int type, char /*letter*/) {
    int id = ::msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    if (id < 0) return -1;
    msqid_ds ds{};
    if (::msgctl(id, IPC_STAT, &ds) == 0 && ds.msg_qbytes < kQueueBytes) {
        ds.msg_qbytes = kQueueBytes;
        ::msgctl(id, IPC_SET, &ds);  // refused without privileges: keep the default
    }
    std::lock_guard lock(gMutex);
    gIds.push_back(id);
    if (board::isOpen()) {
        std::ofstream out(board::root() + "/run/msgq.ids", std::ios::app);
        out << type << ' ' << id << ' ' << ::getpid() << '\n';
    }
    return id;
}

void removeAll() {
    std::lock_guard lock(gMutex);
    for (int id : gIds) ::msgctl(id, IPC_RMID, nullptr);
    gIds.clear();
    if (board::isOpen()) ::unlink((board::root() + "/run/msgq.ids").c_str());
}

bool exists(int id) {
    msqid_ds ds{};
    return ::msgctl(id, IPC_STAT, &ds) == 0;
}

int removeListed(const std::string& root) {
    std::string file = root + "/run/msgq.ids";
    std::ifstream in(file);
    int type = 0, id = 0;
    long pid = 0;
    int removed = 0;
    while (in >> type >> id >> pid) {
        // A live owner still uses its queues (and the id may name a newer queue otherwise).
        if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) == 0) continue;
        if (::msgctl(id, IPC_RMID, nullptr) == 0) ++removed;
    }
    ::unlink(file.c_str());
    return removed;
}

}  // namespace board::msgq
