/* The protocol bench's baseline: a bare single-threaded poll() server on
 * 127.0.0.1:PORT that answers every CR-ended line with the fixed bytes REPLY,
 * keeping an unfinished line for the next read as the program does. The
 * replies to the lines of one read go out in one send.
 *   hx40_bench_echo PORT REPLY
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

enum { kMaxClients = 256, kLineMax = 4096 };

struct client {
    int fd;
    size_t held; /* bytes of an unfinished line */
    char line[kLineMax];
};

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s PORT REPLY\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const char* reply = argv[2];
    const size_t replyLen = strlen(reply);
    int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(lfd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons((unsigned short)atoi(argv[1]));
    if (bind(lfd, (struct sockaddr*)&a, sizeof a) != 0 || listen(lfd, 128) != 0) {
        perror("echo: bind");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    static struct client clients[kMaxClients];
    static struct pollfd fds[kMaxClients + 1];
    static char in[4096];
    static char out[64 * 1024];
    int n = 0;
    for (;;) {
        fds[0].fd = lfd;
        fds[0].events = POLLIN;
        for (int i = 0; i < n; ++i) {
            fds[i + 1].fd = clients[i].fd;
            fds[i + 1].events = POLLIN;
        }
        if (poll(fds, (nfds_t)n + 1, -1) < 0) continue;
        for (int i = n - 1; i >= 0; --i) {
            if (!(fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP))) continue;
            struct client* c = &clients[i];
            ssize_t got = recv(c->fd, in, sizeof in, 0);
            int keep = got > 0;
            size_t outLen = 0;
            for (ssize_t k = 0; keep && k < got; ++k) {
                if (in[k] != '\r') {
                    if (c->held < kLineMax) c->line[c->held++] = in[k];
                    continue;
                }
                c->held = 0;
                if (outLen + replyLen > sizeof out) {
                    keep = send(c->fd, out, outLen, MSG_NOSIGNAL) == (ssize_t)outLen;
                    outLen = 0;
                }
                memcpy(out + outLen, reply, replyLen);
                outLen += replyLen;
            }
            if (keep && outLen > 0) keep = send(c->fd, out, outLen, MSG_NOSIGNAL) == (ssize_t)outLen;
            if (!keep) {
                close(c->fd);
                clients[i] = clients[--n];
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
