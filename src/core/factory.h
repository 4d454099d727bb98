// The factory values of the parameter EEPROM, from data/factory_values.txt
// (compiled into the program, so a factory reset never depends on a file).
#pragma once

#include "core/eeprom_map.h"
#include "core/pm.h"

#include <cstdint>
#include <string>
#include <string_view>

struct FactoryImage {
    uint8_t pm[sizeof(PMRec)] = {};  // RAM size; the stored image is its first 328 bytes
    uint8_t pmi[eemap::kPmiSize] = {};
    uint8_t vp[eemap::kVpSize] = {};
    uint8_t custWin[eemap::kCustWinSize] = {};
    uint8_t prevOutFormat[2] = {};
    uint8_t modelName[eemap::kModelNameSize] = {};  // zero-padded text
    uint8_t serialNumber[eemap::kSerialNumberSize] = {};
};

// Parses the text of the factory values; false with a message naming the
// line on any unknown field, missing field, repeated field or value that does
// not fit its field.
bool parseFactoryText(std::string_view text, FactoryImage& out, std::string* error);

// The program's factory values (parsed once; a faulty data file stops the
// build's tests, and the program falls back to zeros with a diagnostic).
const FactoryImage& factoryImage();
// The factory values with what the board decides (board::net::factoryControl):
// what a factory reset stores.
FactoryImage boardFactoryImage();
std::string_view factoryText();
