/* The baselines' bare server: a single-threaded poll() loop on
 * 127.0.0.1:PORT that hands every CR-ended line of a client to on_line (an
 * unfinished line waits for the next read) and calls on_read_end once after
 * each read. Prints "ready" once it listens; ends on SIGTERM. */
#pragma once

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
    size_t held; /* bytes of the line so far */
    char line[kLineMax];
};

static struct client clients[kMaxClients];
static int clientCount;

/* Both return 0 to drop the client. */
typedef int (*LineFn)(struct client* c);
typedef int (*ReadEndFn)(struct client* c);

static int serve(const char* port, LineFn onLine, ReadEndFn onReadEnd) {
    signal(SIGPIPE, SIG_IGN);
    int lfd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(lfd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons((unsigned short)atoi(port));
    if (bind(lfd, (struct sockaddr*)&a, sizeof a) != 0 || listen(lfd, 128) != 0) {
        perror("bind");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    static struct pollfd fds[kMaxClients + 1];
    static char in[4096];
    for (;;) {
        fds[0].fd = lfd;
        fds[0].events = POLLIN;
        for (int i = 0; i < clientCount; ++i) {
            fds[i + 1].fd = clients[i].fd;
            fds[i + 1].events = POLLIN;
        }
        const int polled = clientCount;
        if (poll(fds, (nfds_t)polled + 1, -1) < 0) continue;
        /* From the last: a dropped client's place takes the last one's. */
        for (int i = polled - 1; i >= 0; --i) {
            if (!(fds[i + 1].revents & (POLLIN | POLLERR | POLLHUP))) continue;
            struct client* c = &clients[i];
            ssize_t got = recv(c->fd, in, sizeof in, 0);
            int keep = got > 0;
            for (ssize_t k = 0; keep && k < got; ++k) {
                if (in[k] != '\r') {
                    if (c->held < kLineMax) c->line[c->held++] = in[k];
                    continue;
                }
                keep = onLine(c);
                c->held = 0;
            }
            if (keep) keep = onReadEnd(c);
            if (!keep) {
                close(c->fd);
                clients[i] = clients[--clientCount];
            }
        }
        if ((fds[0].revents & POLLIN) && clientCount < kMaxClients) {
            int fd = accept4(lfd, NULL, NULL, SOCK_CLOEXEC);
            if (fd >= 0) {
                clients[clientCount].fd = fd;
                clients[clientCount].held = 0;
                ++clientCount;
            }
        }
    }
}
