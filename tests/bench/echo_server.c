/* The protocol bench's baseline: answers every CR-ended line with the fixed
 * bytes REPLY; the replies to the lines of one read go out in one send.
 *   hx40_bench_echo PORT REPLY */
#include "baseline_server.h"

static const char* reply;
static size_t replyLen;
static char out[64 * 1024];
static size_t outLen;

static int flush(struct client* c) {
    const int ok = outLen == 0 || send(c->fd, out, outLen, MSG_NOSIGNAL) == (ssize_t)outLen;
    outLen = 0;
    return ok;
}

static int answer(struct client* c) {
    if (outLen + replyLen > sizeof out && !flush(c)) return 0;
    memcpy(out + outLen, reply, replyLen);
    outLen += replyLen;
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s PORT REPLY\n", argv[0]);
        return 2;
    }
    reply = argv[2];
    replyLen = strlen(reply);
    return serve(argv[1], answer, flush);
}
