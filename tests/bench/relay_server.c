/* The fan-out bench's baseline: every CR-ended line "#TEXT" that a client
 * sends goes to every connected client (the sender too) as
 * "~01@TEXT OK\r\n", one send per client: the bytes the program answers a
 * set with.
 *   hx40_bench_relay PORT */
#include "baseline_server.h"

static int relay(struct client* c) {
    char out[kLineMax + 16];
    const char* line = c->line;
    size_t len = c->held;
    if (len > 0 && line[0] == '#') {
        ++line;
        --len;
    }
    memcpy(out, "~01@", 4);
    memcpy(out + 4, line, len);
    memcpy(out + 4 + len, " OK\r\n", 5);
    for (int i = 0; i < clientCount; ++i) (void)send(clients[i].fd, out, len + 9, MSG_NOSIGNAL | MSG_DONTWAIT);
    return 1;
}

static int nothing(struct client* c) {
    (void)c;
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PORT\n", argv[0]);
        return 2;
    }
    return serve(argv[1], relay, nothing);
}
