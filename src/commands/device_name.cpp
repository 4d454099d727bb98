#include "commands/device_name.h"

#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "core/eeprom_map.h"
#include "core/get_param.h"
#include "core/pm_store.h"

#include <algorithm>
#include <cctype>
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
    p7kStoreText(port, id, params, eemap::kDeviceName, eemap::kDeviceNameSize, name);
}

void p7kResetName(COMM_TYPE port, int id, const char* params) {
    const char* cur = params;
    const char* next = nullptr;
    if (get_param(&cur, &next) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (!set_default_dev_name()) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kGetName(COMM_TYPE port, int id, const char* params) {
    std::string name;
    if (!p7kStoredText(eemap::kDeviceName, eemap::kDeviceNameSize, name)) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    p7kSend(port, getPreAnswer() + "NAME " + name + "\r\n");
}
