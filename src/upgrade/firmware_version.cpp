#include "upgrade/firmware_version.h"

#include "platform/board.h"
#include "upgrade/atomic_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>

using namespace FirmwareVersionT;

const FirmwareType FirmwareTypeList = {S_application, S_jffs2, S_fpga, S_memfile, S_web, S_bootloader, S_zImage,
                                       S_cramfs};

const FirmwareDesc FirmwareDescList = {
    {S_zImage, S_zImage_desc},   {S_jffs2, S_jffs2_desc},     {S_bootloader, S_bootloader_desc},
    {S_cramfs, S_cramfs_desc},   {S_application, S_application_desc}, {S_fpga, S_fpga_desc},
    {S_memfile, S_memfile_desc}, {S_web, S_web_desc},
};

bool FirmwareType::find(const std::string& name) const { return std::find(begin(), end(), name) != end(); }

namespace {

struct ListLine {
    std::string version, md5, name;
};

// A line of a list file: false for comments, empty lines and lines with
// fewer than three fields. Fields are separated by single blanks (two blanks
// make an empty field); the name ends at the next blank.
bool parseLine(const std::string& line, ListLine& out) {
    if (line.empty() || line[0] == '#') return false;
    const size_t first = line.find(' ');
    if (first == std::string::npos) return false;
    const size_t second = line.find(' ', first + 1);
    if (second == std::string::npos) return false;
    const size_t third = line.find(' ', second + 1);
    out.version = line.substr(0, first);
    out.md5 = line.substr(first + 1, second - first - 1);
    out.name = line.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1);
    return true;
}

// The kind of a listed name, or empty when the list does not keep it.
std::string kindOf(const std::string& name) {
    if (FirmwareTypeList.find(name)) return name;
    for (const char* kind : {S_fpga, S_memfile, S_web})
        if (name.find(kind) != std::string::npos) return kind;
    return "";
}

bool contains(const std::string& s, const char* text) { return s.find(text) != std::string::npos; }

}  // namespace

FileVerInfo::FileVerInfo() : action(std::make_shared<NoAction>("")) {}

FileVerInfo::FileVerInfo(const std::string& m, const std::string& v)
    : md5(m), version(v), action(std::make_shared<NoAction>("")) {}

int FirmwareVersion::Load(const std::string& path) {
    std::ifstream in(board::path(path));
    if (!in) {
        std::cerr << "Unable to open version info file" << std::endl;
        return 1;
    }
    files_.clear();
    ListLine l;
    for (std::string line; std::getline(in, line);) {
        if (!parseLine(line, l)) continue;
        const std::string kind = kindOf(l.name);
        if (kind.empty()) continue;
        FileVerInfo entry(l.md5, l.version);
        entry.description = FirmwareDescList.at(kind);
        files_[l.name] = entry;
    }
    return 0;
}

bool FirmwareVersion::Save(const std::string& path) const {
    std::string text;
    for (const auto& [name, entry] : files_)
        if (!entry.version.empty() && !entry.md5.empty()) text += entry.version + " " + entry.md5 + " " + name + "\n";
    return writeFileAtomically(path, text);
}

void FirmwareVersion::Merge(const FirmwareVersion& source, FirmwareVersion& replaced) {
    for (const auto& [name, entry] : source.files_) {
        auto it = files_.find(name);
        if (it != files_.end()) replaced.files_[name] = it->second;
        files_[name] = entry;
    }
}

void FirmwareVersion::Remove(const std::string& path) { std::remove(board::path(path).c_str()); }

FileVerInfo GetFileVerInfo(const std::string& path, const std::string& name) {
    std::ifstream in(board::path(path));
    if (!in) {
        std::cerr << "Unable to open version info file" << std::endl;
        return FileVerInfo();
    }
    ListLine l;
    for (std::string line; std::getline(in, line);) {
        if (!parseLine(line, l)) continue;
        const bool group =
            (l.name == S_fpga || l.name == S_memfile || l.name == S_cramfs) && contains(name, l.name.c_str());
        if (l.name == name || group) return FileVerInfo(l.md5, l.version);
    }
    return FileVerInfo();
}

std::string PrettyPrint(const std::pair<const std::string, FileVerInfo>& item) {
    const size_t slash = item.first.rfind('/');
    return item.second.action->GetPrettyPrintPrefix() + " " +
           (slash == std::string::npos ? item.first : item.first.substr(slash + 1));
}

std::vector<std::string> ChecksumFailures(const FirmwareVersion& list) {
    std::vector<std::string> failing;
    for (const auto& [name, entry] : list.files()) {
        if (IsPackageScript(name)) continue;
        if (entry.action->validateMD5() != 1) failing.push_back(name);
    }
    return failing;
}
