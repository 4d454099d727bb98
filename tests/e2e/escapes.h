// Ways out of the board root that a shell finds at run time (paths built
// from variables, "cd ..", options glued to paths, links, interpreters
// started by other tools). Each one answered OK and left its file outside
// the root, or ran a host program, while children ran on the host with
// device paths rewritten in their text. A line holds no blank, so that it
// can go whole through SYSTEM; every attempt but the host name's leaves its
// name (ESC...) outside the root if it gets out.
#pragma once

#include "support/sim_device.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace hx40test {

inline std::vector<std::string> escapeAttempts(const SimDevice& dev) {
    return {
        "sh -c P=${PWD:0:1};touch${IFS}${P}etc${P}ESC1",
        "sh -c cd${IFS}..;cd${IFS}..;cd${IFS}..;cd${IFS}..;${HOME:0:1}usr${HOME:0:1}bin${HOME:0:1}id>ESC7",
        "sed -n w/etc/ESC_sed /root/persist/httpd.conf",
        "sort -o../../../../ESC_sort /root/persist/httpd.conf",
        "cp -t../../../.. ../version.md5sum",
        "awk BEGIN{system(sprintf(\"%cusr%cbin%ctouch%c../../../../ESC_awk\",47,47,47,32))}",
        "find /root/persist/httpd.conf -exec sh -c touch${IFS}../../../../ESC_find ;",
        "touch " + dev.root() + "/../ESC2",
        "sh -c cd${IFS}/tmp;ln${IFS}-s${IFS}..${IFS}a;ln${IFS}-s${IFS}a/..${IFS}b;ln${IFS}-s${IFS}b/..${IFS}c;"
        "ln${IFS}-s${IFS}c/..${IFS}d;touch${IFS}d/ESC10",
        "/usr/bin/hostname ESC-host",
        // Where it ran: its own process numbers (the first is the sandbox's)
        // and the board as "/".
        "sh -c cat${IFS}/proc/1/comm>>/tmp/first;ls${IFS}/>/tmp/top",
    };
}

// The attempts as a script runs them: each word of a line quoted, so that
// every program gets the words SYSTEM gives it.
inline std::string escapeScript(const SimDevice& dev) {
    std::string script;
    for (const std::string& line : escapeAttempts(dev)) {
        for (size_t at = 0; at < line.size();) {
            size_t end = std::min(line.find(' ', at), line.size());
            std::string word = line.substr(at, end - at);
            for (size_t q = 0; (q = word.find('\'', q)) != std::string::npos; q += 4) word.replace(q, 1, "'\\''");
            script += (at ? " '" : "'") + word + "'";
            at = end + 1;
        }
        script += "\n";
    }
    return script;
}

inline std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    ::gethostname(name, sizeof name);
    return name;
}

// Nothing of the attempts outside the root: the root is still the only entry
// of its folder, no mark in the host's folders they aim at, the host's name
// is the one it had; and they ran inside, where "/" is the board.
inline void expectEscapesStayedInside(const SimDevice& dev, const std::string& hostNameBefore) {
    namespace fs = std::filesystem;
    std::vector<std::string> next;
    for (const auto& e : fs::directory_iterator(dev.parent())) next.push_back(e.path().filename().string());
    EXPECT_EQ(next, std::vector<std::string>{"board"});
    for (const char* dir : {"/", "/etc", "/tmp", "/usr/bin", "/root"})
        for (const char* mark : {"ESC1", "ESC2", "ESC7", "ESC_sed", "ESC_sort", "ESC_awk", "ESC_find", "ESC10",
                                 "escape_marker"})
            EXPECT_FALSE(fs::exists(fs::path(dir) / mark)) << dir << "/" << mark;
    EXPECT_EQ(hostName(), hostNameBefore);
    EXPECT_TRUE(fs::exists(dev.file("etc/ESC1")));
    EXPECT_TRUE(fs::exists(dev.file("etc/ESC_sed")));
    const std::string first = dev.read("tmp/first");
    EXPECT_FALSE(first.empty());
    for (size_t at = 0; at < first.size(); at = first.find('\n', at) + 1)
        EXPECT_EQ(first.substr(at, first.find('\n', at) - at), "bwrap") << first;
    const std::string top = dev.read("tmp/top");
    EXPECT_NE(top.find("sim\n"), std::string::npos) << top;
    for (const char* host : {"home\n", "work\n", "board\n", "run\n"}) EXPECT_EQ(top.find(host), std::string::npos) << top;
}

}  // namespace hx40test
