// The identity words and the field helpers the handlers share.
#include "commands/p7k_engine.h"
#include "commands/p7k_handlers.h"
#include "core/eeprom_map.h"
#include "core/get_param.h"
#include "core/pm_store.h"
#include "sys/eeprom.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>

std::vector<std::string> p7kFields(const char* params) {
    std::vector<std::string> fields;
    const char* cur = params ? params : "";
    for (;;) {
        const char* next = nullptr;
        const int len = get_param(&cur, &next);
        fields.emplace_back(cur, static_cast<size_t>(len));
        if (next == nullptr) break;
        cur = next;
    }
    if (fields.size() == 1 && fields[0].empty()) fields.clear();
    return fields;
}

bool p7kDecimal(std::string_view f, long long& value) {
    const size_t sign = !f.empty() && f[0] == '-' ? 1 : 0;
    if (f.size() == sign || f.size() > sign + 18) return false;
    for (size_t i = sign; i < f.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(f[i]))) return false;
    value = std::strtoll(std::string(f).c_str(), nullptr, 10);
    return true;
}

bool p7kHex(std::string_view f, unsigned long long& value) {
    if (f.empty() || f.size() > 16) return false;
    for (char c : f)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = std::strtoull(std::string(f).c_str(), nullptr, 16);
    return true;
}

int p7kUserPort(std::string_view f) {
    if (str_cncmp(std::string(f).c_str(), "USR1", 5) == 0) return 1;
    if (str_cncmp(std::string(f).c_str(), "USR2", 5) == 0) return 2;
    return 0;
}

int p7kOnOff(const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    if (f.size() != 1) return -1;
    if (str_cncmp(f[0].c_str(), "ON", 3) == 0) return 1;
    if (str_cncmp(f[0].c_str(), "OFF", 4) == 0) return 0;
    long long v = 0;
    if (!p7kDecimal(f[0], v) || v < 0) return -1;
    return v > 1 ? -3 : static_cast<int>(v);
}

bool p7kStoredText(uint16_t offset, uint16_t size, std::string& text) {
    uint8_t bytes[32] = {};
    if (size > sizeof bytes || eepromRead(offset, size, bytes) != 0) return false;
    size_t len = 0;
    while (len < size && bytes[len] != 0 && bytes[len] != 0xFF) ++len;
    text.assign(reinterpret_cast<const char*>(bytes), len);
    return true;
}

void p7kStoreText(COMM_TYPE port, int id, const char* params, uint16_t offset, uint16_t size, std::string_view text) {
    uint8_t stored[32] = {};
    std::memcpy(stored, text.data(), std::min<size_t>(text.size(), sizeof stored));
    if (size > sizeof stored || eepromWrite(offset, size, stored) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kGetModel(COMM_TYPE port, int, const char*) {
    std::string model;  // an unreadable field reports an empty model
    p7kStoredText(eemap::kModelName, eemap::kModelNameSize, model);
    p7kSend(port, getPreAnswer() + "MODEL " + model + "\r\n");
}

void p7kSetModel(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    if (f.size() != 1 || f[0].empty()) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const std::string model = std::isalpha(static_cast<unsigned char>(f[0][0])) ? f[0] : "Q-" + f[0];
    if (model.size() > eemap::kModelNameSize) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    p7kStoreText(port, id, params, eemap::kModelName, eemap::kModelNameSize, model);
}

void p7kSetSerial(COMM_TYPE port, int id, const char* params) {
    const std::vector<std::string> f = p7kFields(params);
    if (f.size() != 1 || f[0].size() != 14 ||
        !std::all_of(f[0].begin(), f[0].end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    const uint64_t serial = std::strtoull(f[0].c_str(), nullptr, 10);
    uint8_t bytes[eemap::kSerialNumberSize];
    std::memcpy(bytes, &serial, sizeof bytes);
    if (eepromWrite(eemap::kSerialNumber, sizeof bytes, bytes) != 0 || !set_default_dev_name()) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    protocol_out_success(port, id, params);
}

void p7kGetSerial(COMM_TYPE port, int id, const char* params) {
    if (!p7kFields(params).empty()) {
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    uint64_t serial = 0;
    if (eepromRead(eemap::kSerialNumber, sizeof serial, reinterpret_cast<uint8_t*>(&serial)) != 0) {
        protocol_out_error(port, id, params, P7K_ERR_I2C);
        return;
    }
    char text[48];
    std::snprintf(text, sizeof text, "SN %014" PRIu64 "\r\n", serial);
    p7kSend(port, getPreAnswer() + text);
}
