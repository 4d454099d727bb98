// hx40-package: makes upgrade packages and version lists on the host.
//
//   hx40-package list [--version V] [--out FILE] [--scan PREFIX=DIR]... [NAME[:V]=PATH]...
//       Writes "version MD5 name" lines (to FILE, or standard output): one for
//       each item given, and with --scan one for each file at the top of DIR
//       (named PREFIX/file) and each folder there whose name holds "web"
//       (one item, PREFIX/folder).
//   hx40-package make [--version V] OUT [NAME[:V]=PATH]... [--extra NAME=PATH]...
//       Builds the package folder OUT/Selka: each item copied to its name
//       (folders with their content), listed in OUT/Selka/version.md5sum;
//       --extra items are copied but not listed (zimagesize.bin, scripts
//       meant to run without an entry).
//
// A folder's MD5 is the device's web-folder digest: the MD5 of the lines
// "<md5 of file>  ./<path relative to the folder>\n" of its regular files,
// sorted by path in byte order; the same as
//   cd DIR && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2 | md5sum
#include "upgrade/md5.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Item {
    std::string name;
    std::string version;
    fs::path source;
    bool listed = true;
};

bool fileDigest(const fs::path& p, std::string& out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    MD5_CTX c;
    md5_init(&c);
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) md5_update(block, static_cast<size_t>(in.gcount()), &c);
    if (in.bad()) return false;
    uint8_t digest[16];
    md5_finalize(digest, &c);
    out = md5Text(digest);
    return true;
}

bool folderDigest(const fs::path& dir, std::string& out) {
    std::vector<std::pair<std::string, std::string>> lines;  // relative path, line
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        std::string digest;
        if (!fileDigest(it->path(), digest)) return false;
        const std::string rel = "./" + fs::relative(it->path(), dir).string();
        lines.emplace_back(rel, digest + "  " + rel + "\n");
    }
    if (ec) return false;
    std::sort(lines.begin(), lines.end());
    std::string listing;
    for (const auto& l : lines) listing += l.second;
    out = md5Text(listing.data(), listing.size());
    return true;
}

bool digestOf(const fs::path& p, std::string& out) {
    return fs::is_directory(p) ? folderDigest(p, out) : fileDigest(p, out);
}

// NAME[:VERSION]=PATH
bool parseItem(const std::string& arg, const std::string& version, Item& item) {
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::string name = arg.substr(0, eq);
    item.version = version;
    const size_t colon = name.find(':');
    if (colon != std::string::npos) {
        item.version = name.substr(colon + 1);
        name.resize(colon);
    }
    item.name = name;
    item.source = arg.substr(eq + 1);
    return !name.empty() && !item.version.empty();
}

bool scan(const std::string& arg, const std::string& version, std::vector<Item>& items) {
    const size_t eq = arg.find('=');
    if (eq == std::string::npos) return false;
    const std::string prefix = arg.substr(0, eq);
    const fs::path dir = arg.substr(eq + 1);
    std::error_code ec;
    std::vector<Item> found;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file() || (e.is_directory() && name.find("web") != std::string::npos))
            found.push_back({prefix + "/" + name, version, e.path(), true});
    }
    if (ec) return false;
    std::sort(found.begin(), found.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
    items.insert(items.end(), found.begin(), found.end());
    return true;
}

bool listText(const std::vector<Item>& items, std::string& text) {
    for (const Item& i : items) {
        if (!i.listed) continue;
        std::string digest;
        if (!digestOf(i.source, digest)) {
            std::fprintf(stderr, "hx40-package: cannot read %s\n", i.source.c_str());
            return false;
        }
        text += i.version + " " + digest + " " + i.name + "\n";
    }
    return true;
}

// Writes text to file unless it already holds it.
bool writeIfChanged(const fs::path& file, const std::string& text) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream old;
    old << in.rdbuf();
    if (in && old.str() == text) return true;
    std::error_code ec;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

int usage() {
    std::fprintf(stderr,
                 "usage: hx40-package list [--version V] [--out FILE] [--scan PREFIX=DIR]... [NAME[:V]=PATH]...\n"
                 "       hx40-package make [--version V] OUT [NAME[:V]=PATH]... [--extra NAME=PATH]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    std::string version = "1.0.0", out;
    std::vector<Item> items;
    std::vector<std::string> scans;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--version" && i + 1 < argc) version = argv[++i];
        else if (a == "--out" && i + 1 < argc) out = argv[++i];
        else if (a == "--scan" && i + 1 < argc) scans.push_back(argv[++i]);
        else if (a == "--extra" && i + 1 < argc) {
            Item item;
            if (!parseItem(argv[++i], version, item)) return usage();
            item.listed = false;
            items.push_back(item);
        } else if (command == "make" && out.empty() && a.find('=') == std::string::npos) {
            out = a;
        } else {
            Item item;
            if (!parseItem(a, version, item)) return usage();
            items.push_back(item);
        }
    }
    for (const std::string& s : scans)
        if (!scan(s, version, items)) {
            std::fprintf(stderr, "hx40-package: cannot scan %s\n", s.c_str());
            return 1;
        }
    std::string text;
    if (!listText(items, text)) return 1;
    if (command == "list") {
        if (out.empty()) {
            std::fputs(text.c_str(), stdout);
            return 0;
        }
        return writeIfChanged(out, text) ? 0 : 1;
    }
    if (command != "make" || out.empty()) return usage();
    const fs::path package = fs::path(out) / "Selka";
    std::error_code ec;
    fs::create_directories(package, ec);
    for (const Item& i : items) {
        const fs::path target = package / i.name;
        fs::create_directories(target.parent_path(), ec);
        fs::copy(i.source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) {
            std::fprintf(stderr, "hx40-package: cannot copy %s: %s\n", i.source.c_str(), ec.message().c_str());
            return 1;
        }
    }
    return writeIfChanged(package / "version.md5sum", text) ? 0 : 1;
}
