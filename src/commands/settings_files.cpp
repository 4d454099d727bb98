#include "commands/settings_files.h"

#include "platform/board.h"
#include "sys/fileutil.h"
#include "sys/print.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLabelsFile = board::deviceText("/root/app/conf/input_labels");
constexpr const char* kSerialFile = board::deviceText("/root/app/conf/serial.conf");
constexpr const char* kBaudKey = "COM_232_BAUDRATE";

}  // namespace

bool writeSettingsFile(const char* devicePath, const std::string& text) {
    if (fl_save(devicePath, text.data(), text.size()) == 0) return true;
    std::printf("cannot write %s: %s\n", devicePath, std::strerror(errno));
    return false;
}

int readInputLabels(std::string& line) {
    FILE* f = fl_open(kLabelsFile, "r");
    // Only a missing file is made anew; one that exists but cannot be read
    // keeps its labels.
    if (f == nullptr && errno == ENOENT) {
        f = fl_open(kLabelsFile, "w+");
        if (f != nullptr) {
            std::fprintf(f, "%s\n", kDefaultInputLabels);
            std::rewind(f);
        }
    }
    if (f == nullptr) return 5;
    char text[136] = {};
    if (fl_gets(text, sizeof text, f) == nullptr) text[0] = '\0';
    fl_close(f);
    line = text;
    line = line.substr(0, line.find('\n'));
    return 0;
}

int writeInputLabels(const std::vector<std::string>& labels) {
    std::string line;
    for (size_t i = 0; i < labels.size(); ++i) {
        std::string kept;
        // A line end would split the one-line file.
        for (char c : labels[i])
            if (c != '\r' && c != '\n') kept += c;
        if (i > 0) line += ',';
        line += kept.substr(0, kInputLabelMax);
    }
    return setInputsLabels(line.c_str()) == 0 ? 0 : 5;
}

void DefaultSerialParam::LoadSerial232Param() {
    FILE* f = fl_open(kSerialFile, "r");
    if (f == nullptr) {
        index_ = 1;
        return;
    }
    char text[65];
    while (fl_gets(text, sizeof text, f) != nullptr) {
        const char* p = text;
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '*' || *p == ':') continue;
        const char* eq = std::strchr(p, '=');
        if (eq == nullptr || std::strstr(p, kBaudKey) == nullptr) continue;
        char* end = nullptr;
        long v = std::strtol(eq + 1, &end, 0);
        index_ = end == eq + 1 ? 1 : static_cast<int>(v);
    }
    fl_close(f);
}

bool DefaultSerialParam::SaveSerial232Param() const {
    return writeSettingsFile(kSerialFile, std::string(kBaudKey) + "=" + std::to_string(index_) + "\n");
}

namespace NorvaCommands {

int listdir(const char* path, int depth) {
    DIR* dir = ::opendir(board::path(path).c_str());
    if (dir == nullptr) return 0;
    int count = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        ++count;
        char sub[1024];
        // A path that does not fit is not entered (a cut one would name another folder).
        if (std::snprintf(sub, sizeof sub, "%s/%s", path, e->d_name) >= static_cast<int>(sizeof sub)) continue;
        bool folder = e->d_type == DT_DIR;
        struct stat st{};
        if (e->d_type == DT_UNKNOWN && ::lstat(board::path(sub).c_str(), &st) == 0) folder = S_ISDIR(st.st_mode);
        if (folder) count += listdir(sub, depth + 1);
    }
    ::closedir(dir);
    return count;
}

}  // namespace NorvaCommands

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}
