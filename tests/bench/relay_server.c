/* The fan-out bench's baseline: a bare single-threaded poll() relay on
 * 127.0.0.1:PORT. Every CR-ended line "#TEXT" that a client sends goes to
 * every connected client (the sender too) as "~01@TEXT OK\r\n", one send
 * per client: the bytes the program answers a set with.
 *   hx40_bench_relay PORT
 * Prints "ready" once it listens; ends on SIGTERM. */
#define _GNU_SOURCE
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

enum { kMaxClients = 256, kLineMax = 1024 };

struct client {
    int fd;
    size_t held;
    char line[kLineMax];
};

static struct client clients[kMaxClients];
static int n;

static void relay(const char* line, size_t len) {
    char out[kLineMax + 16];
    if (len > 0 && line[0] == '#') {
        ++line;
        --len;
    }
    size_t outLen = 0;
    memcpy(out, "~01@", 4);
    outLen = 4;
    memcpy(out + outLen, line, len);
    outLen += len;
    memcpy(out + outLen, " OK\r\n", 5);
    outLen += 5;
    for (int i = 0; i < n; ++i) (void)send(clients[i].fd, out, outLen, MSG_NOSIGNAL | MSG_DONTWAIT);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PORT\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(lfd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons((unsigned short)atoi(argv[1]));
    if (bind(lfd, (struct sockaddr*)&a, sizeof a) != 0 || listen(lfd, 128) != 0) {
        perror("relay: bind");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    static struct pollfd fds[kMaxClients + 1];
    char in[4096];
    for (;;) {
        fds[0].fd = lfd;
        fds[0].events = POLLIN;
        for (int i = 0; i < n; ++i) {
            fds[i + 1].fd = clients[i].fd;
            fds[i + 1].events = POLLIN;
        }
        const int polled = n;
        if (poll(fds, (nfds_t)polled + 1, -1) < 0) continue;
        for (int i = polled - 1; i >= 0; --i) {
            if (!(fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP))) continue;
            struct client* c = &clients[i];
            ssize_t got = recv(c->fd, in, sizeof in, 0);
            if (got <= 0) {
                close(c->fd);
                clients[i] = clients[--n];
                continue;
            }
            for (ssize_t k = 0; k < got; ++k) {
                if (in[k] != '\r') {
                    if (c->held < kLineMax) c->line[c->held++] = in[k];
                    continue;
                }
                relay(c->line, c->held);
                c->held = 0;
            }
        }
        if ((fds[0].revents & POLLIN) && n < kMaxClients) {
            int fd = accept4(lfd, NULL, NULL, SOCK_CLOEXEC);
            if (fd >= 0) {
                clients[n].fd = fd;
                clients[n].held = 0;
                ++n;
            }
        }
    }
}
