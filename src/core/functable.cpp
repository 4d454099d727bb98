#include "core/functable.h"

#include "core/pm.h"
#include "sys/locks.h"
#include "sys/valutil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

std::vector<FuncRow> funcDataTbl;
std::atomic<int32_t> gProtFuncNum{0};

namespace {

const FuncRow kSentinel = {kSentinelNode, nullptr, 5, nullptr, FT_PAGE, nullptr, fnI(0), fnI(0), fnI(0), fnI(0), 1};

bool isChannelIndexed(uint32_t type) { return type == FT_FLOAT_CH || type == FT_S8_CH || type == FT_S16_CH || type == FT_S32_CH; }

bool validRow(int row) { return row >= 0 && row < static_cast<int>(funcDataTbl.size()); }

int32_t readInt(const void* p, int width) {
    return width == 1 ? getVal8(p) : width == 2 ? getVal16(p) : getVal32(p);
}

void writeInt(void* p, int width, int32_t v) {
    if (width == 1) setVal8(p, v);
    else if (width == 2) setVal16(p, v);
    else setVal32(p, v);
}

}  // namespace

namespace {

// Every "Y" command looks its node up: the table's nodes, sorted, with the
// row of each; made with the table.
std::vector<std::pair<int64_t, int>> gNodeIndex;

}  // namespace

void funcTableInstall(std::span<const FuncRowGroup> groups) {
    funcDataTbl.clear();
    funcDataTbl.push_back(kSentinel);
    std::vector<const char*> groupOf(1, nullptr);
    for (const FuncRowGroup& g : groups)
        for (const FuncRow& r : g.rows) {
            funcDataTbl.push_back(r);
            groupOf.push_back(g.name);
        }
    gNodeIndex.clear();
    for (size_t i = 1; i < funcDataTbl.size(); ++i)
        gNodeIndex.emplace_back(static_cast<int64_t>(funcDataTbl[i].node), static_cast<int>(i));
    // Stable: of two rows with one node, the first one is the node's row.
    std::ranges::stable_sort(gNodeIndex, {}, &std::pair<int64_t, int>::first);
    for (size_t i = 1; i < gNodeIndex.size(); ++i)
        if (gNodeIndex[i].first == gNodeIndex[i - 1].first)
            std::fprintf(stderr, "funcTableInstall: node %lld of %s has a row already\n",
                         static_cast<long long>(gNodeIndex[i].first),
                         groupOf[static_cast<size_t>(gNodeIndex[i].second)]);
}

void funcTableInstallProgram() { funcTableInstall(programRowGroups()); }

void funcTableInit() {
    funcTableInstallProgram();
    funcTableLoadEnables();
}

int funcTableLoadEnables(const char* path) {
    std::ifstream in(path);
    if (!in) return 0;
    int changed = 0;
    int lineNo = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++lineNo;
        if (size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        long node = -1, flag = -1;
        char extra = 0;
        if (std::sscanf(line.c_str(), "%ld %ld %c", &node, &flag, &extra) != 2 || node < 0 || (flag != 0 && flag != 1)) {
            std::fprintf(stderr, "%s:%d: expected a node number and 0 or 1\n", path, lineNo);
            continue;
        }
        int row = funcNum2TblInx(static_cast<int>(node));
        if (row == 0) {
            std::fprintf(stderr, "%s:%d: node %ld has no row\n", path, lineNo, node);
            continue;
        }
        funcDataTbl[row].enable = static_cast<uint8_t>(flag);
        funcDataTbl[row].confOff = flag == 0 ? 1 : 0;
        ++changed;
    }
    return changed;
}

int funcTableSize() { return static_cast<int>(funcDataTbl.size()); }

int funcNum2TblInx(int node) {
    const auto it = std::ranges::lower_bound(gNodeIndex, int64_t{node}, {}, &std::pair<int64_t, int>::first);
    return it != gNodeIndex.end() && it->first == node ? it->second : 0;
}

void runFuncInd(int row) {
    if (validRow(row) && funcDataTbl[row].action != nullptr) funcDataTbl[row].action(row);
}

int isFuncEnable(int node) {
    int row = funcNum2TblInx(node);
    if (row == 0) return 0;
    if (funcDataTbl[row].type == FT_KEY) return 1;
    return funcDataTbl[row].enable;
}

int funcTypeWidth(uint32_t type) {
    if (type <= FT_FLOAT_CH) return 4;
    if (type >= 3 && type <= 6) return 1;
    if (type >= 7 && type <= 10) return 2;
    if (type >= 11 && type <= FT_PAGE) return 4;
    return 0;
}

void* funcValuePtr(int row, int channel) {
    if (!validRow(row) || funcDataTbl[row].value == nullptr) return nullptr;
    const FuncRow& r = funcDataTbl[row];
    auto* p = static_cast<uint8_t*>(r.value);
    if (isChannelIndexed(r.type)) p += (channel == 1 ? 1 : 0) * funcTypeWidth(r.type);
    return p;
}

int32_t funcIntAt(int row, int channel) {
    const void* p = funcValuePtr(row, channel);
    if (p == nullptr || funcDataTbl[row].type < 3 || funcDataTbl[row].type > FT_PAGE) return 0;
    return readInt(p, funcTypeWidth(funcDataTbl[row].type));
}

void funcSetIntAt(int row, int channel, int32_t value) {
    void* p = funcValuePtr(row, channel);
    if (p == nullptr || funcDataTbl[row].type < 3 || funcDataTbl[row].type > FT_PAGE) return;
    writeInt(p, funcTypeWidth(funcDataTbl[row].type), value);
}

int getIntParam(int row, int32_t* value, int channel) {
    if (!validRow(row) || funcDataTbl[row].type < 3 || funcDataTbl[row].type > 14 || funcDataTbl[row].value == nullptr)
        return 128;
    if (channel == 255) channel = Channel;
    MutexLock lock(PM_mutex);
    *value = funcIntAt(row, channel);
    return 6;
}

int getFloatParam(int row, float* value, int channel) {
    if (!validRow(row) || funcDataTbl[row].type > FT_FLOAT_CH) return 128;
    if (channel == 255) channel = Channel;
    MutexLock lock(PM_mutex);
    const void* p = funcValuePtr(row, channel);
    if (p == nullptr) return 128;
    std::memcpy(value, p, sizeof *value);
    return 7;
}

int32_t getVal(int row) {
    if (!validRow(row)) return -1;
    const FuncRow& r = funcDataTbl[row];
    if (r.type < 3 || r.type > 14 || r.value == nullptr) return -1;
    return readInt(r.value, funcTypeWidth(r.type));
}

void setVal(int row, int32_t value) {
    if (!validRow(row)) return;
    const FuncRow& r = funcDataTbl[row];
    if (r.type < 3 || r.type > 14 || r.value == nullptr) return;
    writeInt(r.value, funcTypeWidth(r.type), value);
}
