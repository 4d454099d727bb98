#include "core/pm_store.h"

#include "commands/network_param.h"
#include "commands/web_param.h"

#include "core/eeprom_map.h"
#include "core/factory.h"
#include "core/functable.h"
#include "core/pm.h"
#include "core/pm_fields.h"
#include "core/pm_simctl.h"
#include "platform/journal.h"
#include "sys/eeprom.h"
#include "sys/locks.h"
#include "sys/print.h"
#include "sys/timeutil.h"

#include <cinttypes>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr int kOutputFormatMax = 42;

// Serialises the snapshots and writes of the stored images, so that two
// saves of the same place land in the order their snapshots were taken.
// Never held while waiting for PM_mutex's holders to do I/O.
std::mutex gStoreMutex;

bool validZone(int input, int channel) { return input >= 0 && input < 8 && channel >= 0 && channel < 2; }

// Called with PM_mutex held.
void vpToImage(uint8_t* img) {
    std::memset(img, 0, eemap::kVpSize);
    for (int c = 0; c < 2; ++c) {
        img[eemap::vpimg::kChannel + 3 * c] = vp.chData[c].vidInput;
        img[eemap::vpimg::kChannel + 3 * c + 1] = vp.chData[c].vidFormat;
        img[eemap::vpimg::kChannel + 3 * c + 2] = vp.chData[c].audioInput;
        img[eemap::vpimg::kOutFrmt + c] = vp.outFrmt[c];
        img[eemap::vpimg::kFixedOutFrmt + c] = vp.fixedOutFrmt[c];
    }
    img[eemap::vpimg::kNumInputs] = vp.numInputs;
    img[eemap::vpimg::kDDisp] = vp.dDisp;
}

void vpFromImage(const uint8_t* img) {
    for (int c = 0; c < 2; ++c) {
        vp.chData[c].vidInput = img[eemap::vpimg::kChannel + 3 * c];
        vp.chData[c].vidFormat = img[eemap::vpimg::kChannel + 3 * c + 1];
        vp.chData[c].audioInput = img[eemap::vpimg::kChannel + 3 * c + 2];
        vp.outFrmt[c] = img[eemap::vpimg::kOutFrmt + c];
        vp.fixedOutFrmt[c] = img[eemap::vpimg::kFixedOutFrmt + c];
    }
    vp.numInputs = img[eemap::vpimg::kNumInputs];
    vp.dDisp = img[eemap::vpimg::kDDisp];
}

void custWinToImage(const CustWin* w, uint8_t* img) {
    for (int c = 0; c < 2; ++c) {
        const uint16_t v[4] = {w[c].HST, w[c].HW, w[c].VST, w[c].VW};
        std::memcpy(img + 8 * c, v, sizeof v);
    }
}

void custWinFromImage(const uint8_t* img, CustWin* w) {
    for (int c = 0; c < 2; ++c) {
        uint16_t v[4];
        std::memcpy(v, img + 8 * c, sizeof v);
        w[c] = CustWin{v[0], v[1], v[2], v[3]};
    }
}

// writer: the EEPROM's whole write, or its write of the changed pages only.
bool write(uint16_t addr, const uint8_t* bytes, size_t n, const char* what,
           int (*writer)(uint16_t, uint16_t, const uint8_t*) = eepromWrite) {
    if (writer(addr, static_cast<uint16_t>(n), bytes) == 0) return true;
    PRINT(PRINT_GENERAL, "\033[31mEEPROM: cannot write %s at 0x%04X\033[0m\n", what, addr);
    return false;
}

bool read(uint16_t addr, uint8_t* bytes, size_t n, const char* what) {
    if (eepromRead(addr, static_cast<uint16_t>(n), bytes) == 0) return true;
    PRINT(PRINT_GENERAL, "\033[31mEEPROM: cannot read %s at 0x%04X\033[0m\n", what, addr);
    return false;
}

// The saves write only the pages that changed.
bool writeChanged(uint16_t addr, const uint8_t* bytes, size_t n, const char* what) {
    return write(addr, bytes, n, what, eepromWriteChanged);
}

// The channel's element of every per-input pair, from a zone image. Called
// with PM_mutex held.
void takePerInput(const uint8_t* zone, int channel) {
    auto* pm = reinterpret_cast<uint8_t*>(&PM);
    for (const ImageField& f : imageFields()) {
        if (f.image != Image::PM || f.offset >= kPmPerInputEnd) continue;
        if (f.count == 2) writeField(pm, f, channel, readField(zone, f, channel));
    }
}

// Takes one channel's part of a zone image into PM: its element of every
// per-input pair, and for CH1 the device-wide part as well. Called with
// PM_mutex held.
void takeZone(const uint8_t* zone, int channel) {
    takePerInput(zone, channel);
    auto* pm = reinterpret_cast<uint8_t*>(&PM);
    if (channel == 0) std::memcpy(pm + kPmPerInputEnd, zone + kPmPerInputEnd, kPmStoredSize - kPmPerInputEnd);
}

bool validVidInput(int v) { return (v >= 0 && v <= 23) || v == 28 || v == 29; }

}  // namespace

int vidInputToConnector(int v) {
    if (!validVidInput(v)) return -1;
    if (v < 8) return v;
    if (v >= 28) return v - 24;
    if (v < 16) return v - 8;
    return v - 16;
}

int eepromSaveFullPMData(int input, int channel) {
    if (!validZone(input, channel)) return 2;
    std::lock_guard store(gStoreMutex);
    uint8_t pm[kPmStoredSize];
    uint8_t pmi[eemap::kPmiSize];
    uint8_t vpImg[eemap::kVpSize];
    {
        MutexLock lock(PM_mutex);
        std::memcpy(pm, &PM, sizeof pm);
        std::memcpy(pmi, PM_I, sizeof pmi);
        vpToImage(vpImg);
        vp.chData[channel].cFlags.fetch_and(static_cast<uint16_t>(~VP_CFLAG_DIRTY));
    }
    board::journal("eepromSaveFullPMData", "input=%d channel=%d zone=0x%04X", input, channel,
                   eemap::zoneAddr(input, channel));
    bool ok = writeChanged(eemap::zoneAddr(input, channel), pm, sizeof pm, "a parameter zone");
    ok = writeChanged(eemap::kPmi, pmi, sizeof pmi, "PM_I") && ok;
    ok = writeChanged(eemap::kVp, vpImg, sizeof vpImg, "vp") && ok;
    // A change the EEPROM did not take stays due, so a later pass saves it.
    if (!ok) vp.chData[channel].cFlags.fetch_or(VP_CFLAG_DIRTY);
    return ok ? 0 : 1;
}

int eepromLoadSingleParam(int input, int channel, uint8_t* bytes, int offset, int length) {
    if (!validZone(input, channel) || bytes == nullptr || offset < 0 || length <= 0 ||
        offset + length > static_cast<int>(kPmStoredSize))
        return 2;
    uint8_t buf[kPmStoredSize];
    if (!read(static_cast<uint16_t>(eemap::zoneAddr(input, channel) + offset), buf, static_cast<size_t>(length),
              "a parameter"))
        return 1;
    MutexLock lock(PM_mutex);
    std::memcpy(bytes, buf, static_cast<size_t>(length));
    return 0;
}

int eepromSaveSingleParam(int input, int channel, const uint8_t* bytes, int offset, int length) {
    if (!validZone(input, channel) || bytes == nullptr || offset < 0 || length <= 0 ||
        offset + length > static_cast<int>(kPmStoredSize))
        return 2;
    std::lock_guard store(gStoreMutex);
    uint8_t buf[kPmStoredSize];
    {
        MutexLock lock(PM_mutex);
        std::memcpy(buf, bytes, static_cast<size_t>(length));
    }
    return write(static_cast<uint16_t>(eemap::zoneAddr(input, channel) + offset), buf, static_cast<size_t>(length),
                 "a parameter")
               ? 0
               : 1;
}

int eepromLoadInputValues(int input, int channel) {
    if (!validZone(input, channel)) return 2;
    uint8_t zone[kPmStoredSize];
    if (!read(eemap::zoneAddr(input, channel), zone, kPmPerInputEnd, "a parameter zone")) return 1;
    MutexLock lock(PM_mutex);
    takePerInput(zone, channel);
    return 0;
}

int eepromLoadCustWinData(int copy) {
    uint8_t img[eemap::kCustWinSize];
    if (!read(eemap::kCustWin, img, sizeof img, "the custom windows")) return 1;
    MutexLock lock(PM_mutex);
    custWinFromImage(img, custWin);
    if (copy == 1)
        for (int c = 0; c < 2; ++c) {
            PM.OWIN_HST[c] = custWin[c].HST;
            PM.OWIN_HW[c] = custWin[c].HW;
            PM.OWIN_VST[c] = custWin[c].VST;
            PM.OWIN_VW[c] = custWin[c].VW;
        }
    return 0;
}

int eepromSaveCustWinData() {
    std::lock_guard store(gStoreMutex);
    uint8_t img[eemap::kCustWinSize];
    {
        MutexLock lock(PM_mutex);
        for (int c = 0; c < 2; ++c) custWin[c] = CustWin{PM.OWIN_HST[c], PM.OWIN_HW[c], PM.OWIN_VST[c], PM.OWIN_VW[c]};
        custWinToImage(custWin, img);
    }
    return writeChanged(eemap::kCustWin, img, sizeof img, "the custom windows") ? 0 : 1;
}

int eepromLoadPMIData(uint8_t* buffer) {
    if (buffer == nullptr) return 2;
    return read(eemap::kPmi, buffer, eemap::kPmiSize, "PM_I") ? 0 : 1;
}

int eepromSavePMIData() {
    std::lock_guard store(gStoreMutex);
    uint8_t pmi[eemap::kPmiSize];
    {
        MutexLock lock(PM_mutex);
        std::memcpy(pmi, PM_I, sizeof pmi);
    }
    return writeChanged(eemap::kPmi, pmi, sizeof pmi, "PM_I") ? 0 : 1;
}

int eepromSaveVpData() {
    std::lock_guard store(gStoreMutex);
    uint8_t img[eemap::kVpSize];
    {
        MutexLock lock(PM_mutex);
        vpToImage(img);
    }
    board::journal("eepromSaveVpData", "inputs=%u,%u", img[eemap::vpimg::kChannel], img[eemap::vpimg::kChannel + 3]);
    return writeChanged(eemap::kVp, img, sizeof img, "vp") ? 0 : 1;
}

bool set_default_dev_name() {
    uint8_t model[eemap::kModelNameSize + 1] = {};
    uint64_t serial = 0;
    // Without both, the name would be made of nothing.
    if (!read(eemap::kModelName, model, eemap::kModelNameSize, "the model name") ||
        !read(eemap::kSerialNumber, reinterpret_cast<uint8_t*>(&serial), sizeof serial, "the serial number"))
        return false;
    // An unwritten byte ends the name as a zero does.
    size_t len = 0;
    while (len < eemap::kModelNameSize && model[len] != 0 && model[len] != 0xFF) ++len;
    model[len] = 0;
    char serialText[24];
    std::snprintf(serialText, sizeof serialText, "%" PRIu64, serial);
    PRINT(PRINT_GENERAL, "model_name = %s\n", reinterpret_cast<char*>(model));
    PRINT(PRINT_GENERAL, "ser_num_str = %s\n", serialText);
    char name[eemap::kDeviceNameSize + 8] = {};
    std::snprintf(name, sizeof name, "%s-%04u", reinterpret_cast<char*>(model), static_cast<unsigned>(serial % 10000));
    uint8_t stored[eemap::kDeviceNameSize] = {};
    std::memcpy(stored, name, std::min(std::strlen(name), sizeof stored));
    return write(eemap::kDeviceName, stored, sizeof stored, "the device name");
}

bool factoryResetInitEeprom(int withNetwork) {
    PRINT(PRINT_GENERAL, "factoryResetInitEeprom(%d)\n", withNetwork);
    board::journal("factoryResetInitEeprom", "withNetwork=%d", withNetwork);
    const FactoryImage img = boardFactoryImage();
    bool ok;
    {
        std::lock_guard store(gStoreMutex);
        {
            // RAM first: a save of dirty zones must not bring the old values back.
            MutexLock lock(PM_mutex);
            std::memcpy(&PM, img.pm, sizeof PM);
            std::memcpy(PM_I, img.pmi, sizeof img.pmi);
            vpFromImage(img.vp);
            custWinFromImage(img.custWin, custWin);
            for (auto& ch : vp.chData) ch.cFlags.fetch_and(static_cast<uint16_t>(~VP_CFLAG_DIRTY));
            vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_CUSTWIN_SAVE});
        }
        const uint8_t unsealed[eemap::kSealSize + 1] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        ok = write(eemap::kSeal, unsealed, sizeof unsealed, "the seal");

        ok = write(eemap::kModelName, img.modelName, sizeof img.modelName, "the model name") && ok;
        uint8_t serial[eemap::kSerialNumberSize];
        static const uint8_t kBlank[eemap::kSerialNumberSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        // The serial number is the device's own: only a blank one is replaced.
        if (!read(eemap::kSerialNumber, serial, sizeof serial, "the serial number")) ok = false;
        else if (std::memcmp(serial, kBlank, sizeof serial) == 0)
            ok = write(eemap::kSerialNumber, img.serialNumber, sizeof img.serialNumber, "the serial number") && ok;
        ok = set_default_dev_name() && ok;

        ok = write(eemap::kVp, img.vp, sizeof img.vp, "vp") && ok;
        for (int z = 0; z < eemap::kZoneCount; ++z)
            ok = write(eemap::zoneAddr(z % 8, z / 8), img.pm, kPmStoredSize, "a parameter zone") && ok;
        ok = write(eemap::kPmi, img.pmi, sizeof img.pmi, "PM_I") && ok;
        ok = write(eemap::kCustWin, img.custWin, sizeof img.custWin, "the custom windows") && ok;
        ok = write(eemap::kPrevOutFormat, img.prevOutFormat, sizeof img.prevOutFormat, "the previous output formats") &&
             ok;
        if (ok) {
            uint8_t seal[eemap::kSealSize + 1];
            std::memcpy(seal, eemap::kSealBytes, eemap::kSealSize);
            seal[eemap::kSealSize] = eemap::kVersionByte;
            ok = write(eemap::kSeal, seal, sizeof seal, "the seal");
        }
    }
    // A reset that failed leaves the access settings: the device stays
    // reachable where it was.
    if (!ok) return false;
    // The records of the network, web and serial settings keep their own checks.
    ok = DefaultWebParam::ResetToFactory();
    if (withNetwork) ok = DefaultEepromEthParam::ResetToFactory() && ok;
    return ok;
}

void loadParameterMemory() {
    // The core's part of start-up: the function table reaches PM by address.
    funcTableInit();
    pmRegisterSimCtl();
    uint8_t vpImg[eemap::kVpSize];
    uint8_t pmi[eemap::kPmiSize];
    uint8_t cw[eemap::kCustWinSize];
    uint8_t zone[2][kPmStoredSize];
    bool ok = read(eemap::kVp, vpImg, sizeof vpImg, "vp") && read(eemap::kPmi, pmi, sizeof pmi, "PM_I") &&
              read(eemap::kCustWin, cw, sizeof cw, "the custom windows");
    int input[2] = {0, 0};
    for (int c = 0; c < 2 && ok; ++c) {
        // An unusable stored input reads zone 0; the sanity check then resets.
        input[c] = std::max(0, vidInputToConnector(vpImg[eemap::vpimg::kChannel + 3 * c]));
        ok = read(eemap::zoneAddr(input[c], c), zone[c], kPmStoredSize, "a parameter zone");
    }
    if (ok) {
        MutexLock lock(PM_mutex);
        vpFromImage(vpImg);
        std::memcpy(PM_I, pmi, sizeof pmi);
        custWinFromImage(cw, custWin);
        takeZone(zone[0], 0);
        takeZone(zone[1], 1);
    }
    board::journal("loadParameterMemory", "zones=%d,%d read=%s", input[0], input[1] + 8, ok ? "ok" : "failed");
    parameterSanityCheck();
}

bool pmSanityOk() {
    uint8_t seal[eemap::kSealSize + 1];
    if (!read(eemap::kSeal, seal, sizeof seal, "the seal")) return false;
    if (std::memcmp(seal, eemap::kSealBytes, eemap::kSealSize) != 0) {
        PRINT(PRINT_GENERAL, "parameter check: no factory seal\n");
        return false;
    }
    if (seal[eemap::kSealSize] != eemap::kVersionByte) {
        PRINT(PRINT_GENERAL, "parameter check: version %u, expected %u\n", seal[eemap::kSealSize], eemap::kVersionByte);
        return false;
    }
    MutexLock lock(PM_mutex);
    for (int c = 0; c < 2; ++c) {
        if (PM.SEL_INPUT[c] < 1 || PM.SEL_INPUT[c] > 8 || !validVidInput(vp.chData[c].vidInput)) {
            PRINT(PRINT_GENERAL, "parameter check: CH%d input %u / %u\n", c + 1, PM.SEL_INPUT[c], vp.chData[c].vidInput);
            return false;
        }
        if (PM.OUTPUT_RES_SEL[c] > kOutputFormatMax || vp.outFrmt[c] > kOutputFormatMax ||
            vp.fixedOutFrmt[c] > kOutputFormatMax) {
            PRINT(PRINT_GENERAL, "parameter check: CH%d output format %u / %u\n", c + 1, PM.OUTPUT_RES_SEL[c],
                  vp.outFrmt[c]);
            return false;
        }
    }
    return true;
}

void parameterSanityCheck() {
    bool ok = pmSanityOk();
    board::journal("parameterSanityCheck", "%s", ok ? "ok" : "failed");
    if (ok) return;
    PRINT(PRINT_GENERAL, "\033[31mparameter check failed: restoring the factory values\033[0m\n");
    // The network record keeps its own checks; a start-up reset leaves it.
    factoryResetInitEeprom(0);
}

void saveDirtyParameterZones() {
    // After a failed save the zones are tried again after kSaveRetryMs,
    // doubling up to a minute: a dead EEPROM must not hold the main task in
    // I2C retries every pass.
    static bool failed = false;
    static uint32_t failedAt = 0;
    static uint32_t retryMs = kSaveRetryMs;
    if (failed && getElapsedMs(failedAt) < retryMs) return;
    if (failed) retryMs = std::min<uint32_t>(retryMs * 2, 60000);
    bool dirty = false;
    for (const auto& ch : vp.chData) dirty = dirty || (ch.cFlags.load() & VP_CFLAG_DIRTY);
    failed = false;
    if (dirty)
        for (int c = 0; c < 2; ++c) {
            int input = vidInputToConnector(vp.chData[c].vidInput);
            if (input < 0) {
                PRINT(PRINT_GENERAL, "saveDirtyParameterZones: CH%d has no input (%u)\n", c + 1, vp.chData[c].vidInput);
                continue;
            }
            if (eepromSaveFullPMData(input, c) != 0) failed = true;
        }
    if (failed) failedAt = getCurrMsCount();
    else retryMs = kSaveRetryMs;
    if (vp.gFlags.fetch_and(~uint32_t{VP_GFLAG_CUSTWIN_SAVE}) & VP_GFLAG_CUSTWIN_SAVE) eepromSaveCustWinData();
}
