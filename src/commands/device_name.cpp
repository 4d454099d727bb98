#include "commands/device_name.h"

#include "commands/p7k_engine.h"
#include "core/eeprom_map.h"
#include "core/get_param.h"
#include "core/pm_store.h"
#include "sys/eeprom.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

bool validDeviceName(std::string_view name) {
    auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
    auto allowed = [&](char c) { return letter(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '_'; };
    return !name.empty() && name.size() <= eemap::kDeviceNameSize && letter(name.front()) && name.back() != '-' &&
           std::all_of(name.begin(), name.end(), allowed);
}

void p7kSetName(COMM_TYPE port, int id, const char* params) {
    const char* cur = params;
    const char* next = nullptr;
    const int len = get_param(&cur, &next);
    const std::string_view name(cur, static_cast<size_t>(len));
    if (next != nullptr || !validDeviceName(name)) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    uint8_t stored[eemap::kDeviceNameSize] = {};
    std::memcpy(stored, name.data(), name.size());
    if (eepromWrite(eemap::kDeviceName, sizeof stored, stored) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kResetName(COMM_TYPE port, int id, const char* params) {
    const char* cur = params;
    const char* next = nullptr;
    if (get_param(&cur, &next) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    set_default_dev_name();
    protocol_out_success(port, id, params);
}

void p7kGetName(COMM_TYPE port, int id, const char* params) {
    uint8_t stored[eemap::kDeviceNameSize] = {};
    if (eepromRead(eemap::kDeviceName, sizeof stored, stored) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    // A full-length name has no terminator; an unwritten byte ends it too.
    size_t len = 0;
    while (len < sizeof stored && stored[len] != 0 && stored[len] != 0xFF) ++len;
    p7kSend(port, getPreAnswer() + "NAME " + std::string(reinterpret_cast<const char*>(stored), len) + "\r\n");
}
