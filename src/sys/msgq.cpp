#include "sys/msgq.h"

#include "platform/journal.h"
#include "platform/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <type_traits>

namespace {

std::atomic<int> gQueueId[E_EXMSG_TYPE_MAX] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

// The device's ftok letters, one per type (kept for the real board's keys).
constexpr char kLetters[E_EXMSG_TYPE_MAX + 1] = "ABCDEFGHIJKLMN";

bool isWsType(int type) { return type == E_EXMSG_TYPE_WS_SRV_TO_CLI || type == E_EXMSG_TYPE_WS_CLI_TO_SRV; }

int queueFor(int type, bool ws) {
    if (type < 0 || type >= E_EXMSG_TYPE_MAX) {
        PRINT(PRINT_GENERAL, "message queue: no queue of type %d\n", type);
        return -1;
    }
    if (isWsType(type) != ws) {
        PRINT(PRINT_GENERAL, "message queue: type %d does not carry %s records\n", type, ws ? "_WSMSG" : "_EXMSG");
        return -1;
    }
    int id = gQueueId[type];
    if (id < 0) PRINT(PRINT_GENERAL, "message queue: type %d is not created\n", type);
    return id;
}

constexpr size_t bodySize(const _EXMSG&) { return sizeof(_EXMSG) - sizeof(long); }
size_t bodySize(const _WSMSG& m) { return offsetof(_WSMSG, text) - sizeof(long) + m.length + 1; }
constexpr size_t maxBody(const _EXMSG&) { return sizeof(_EXMSG) - sizeof(long); }
constexpr size_t maxBody(const _WSMSG&) { return sizeof(_WSMSG) - sizeof(long); }

template <typename Rec>
int sendRec(int type, const Rec* msg) {
    constexpr bool ws = std::is_same_v<Rec, _WSMSG>;
    int id = queueFor(type, ws);
    if (id < 0 || msg == nullptr) return -1;
    Rec copy = *msg;
    if constexpr (ws) {
        if (copy.length > kWsTextMax) {
            PRINT(PRINT_GENERAL, "send_message_q: text of %u bytes refused\n", copy.length);
            return -1;
        }
        copy.text[copy.length] = '\0';
    }
    copy.type = type + 1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) delayMilli(10);
        if (::msgsnd(id, &copy, bodySize(copy), IPC_NOWAIT) == 0) return 0;
        if (errno != EAGAIN && errno != EINTR) break;
    }
    PRINT(PRINT_GENERAL, "send_message_q: type %d: %s\n", type, std::strerror(errno));
    return -1;
}

template <typename Rec>
int getRec(int type, Rec* msg, bool wait) {
    constexpr bool ws = std::is_same_v<Rec, _WSMSG>;
    int id = queueFor(type, ws);
    if (id < 0 || msg == nullptr) return -1;
    for (;;) {
        ssize_t n = ::msgrcv(id, msg, maxBody(*msg), 0, wait ? 0 : IPC_NOWAIT);
        if (n >= 0) {
            if constexpr (ws) {
                if (msg->length > kWsTextMax) msg->length = kWsTextMax;
                msg->text[msg->length] = '\0';
            }
            return static_cast<int>(n);
        }
        if (errno == EINTR) continue;
        if (errno != ENOMSG) PRINT(PRINT_GENERAL, "get_message_q: type %d: %s\n", type, std::strerror(errno));
        return -1;
    }
}

}  // namespace

int create_message_queues() {
    for (int t = 0; t < E_EXMSG_TYPE_MAX; ++t) {
        if (gQueueId[t] >= 0) continue;
        int id = board::msgq::create(t, kLetters[t]);
        if (id < 0) {
            std::printf("create_message_queues: queue %d: %s\n", t, std::strerror(errno));
            remove_message_queues();
            return -1;
        }
        gQueueId[t] = id;
        board::journal("msgq.create", "type=%d id=%d", t, id);
    }
    return 0;
}

void remove_message_queues() {
    for (auto& id : gQueueId) id = -1;
    board::msgq::removeAll();
}

int send_message_q(int type, const _EXMSG* msg) { return sendRec(type, msg); }
int send_message_q(int type, const _WSMSG* msg) { return sendRec(type, msg); }
int get_message_q(int type, _EXMSG* msg) { return getRec(type, msg, false); }
int get_message_q(int type, _WSMSG* msg) { return getRec(type, msg, false); }
int get_message_q_block(int type, _EXMSG* msg) { return getRec(type, msg, true); }
int get_message_q_block(int type, _WSMSG* msg) { return getRec(type, msg, true); }

int getquestat_message_q(int type) {
    int id = (type >= 0 && type < E_EXMSG_TYPE_MAX) ? gQueueId[type].load() : -1;
    msqid_ds ds{};
    if (id < 0 || ::msgctl(id, IPC_STAT, &ds) != 0) {
        int e = id < 0 ? EINVAL : errno;
        PRINT(PRINT_GENERAL, "\nThe msgctl call failed, error number = %d,%s\n", e, std::strerror(e));
        return -1;
    }
    return static_cast<int>(ds.msg_qnum);
}

void empty_queue(int type) {
    if (isWsType(type)) {
        _WSMSG m;
        while (get_message_q(type, &m) >= 0) {
        }
    } else {
        _EXMSG m;
        while (get_message_q(type, &m) >= 0) {
        }
    }
}

int setWsText(_WSMSG& msg, const char* text, size_t length) {
    if (length > kWsTextMax) return -1;
    std::memcpy(msg.text, text, length);
    msg.text[length] = '\0';
    msg.length = static_cast<uint32_t>(length);
    return 0;
}
