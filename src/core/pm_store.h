// The parameter memory in the EEPROM: zones, per-input defaults, the video
// path, custom windows, the factory reset and the start-up load.
//
// Every function here returns 0 on success, 1 when the EEPROM failed and 2
// for a bad argument, unless it says otherwise.
#pragma once

#include <cstdint>

// Saves PM (328 bytes) into zone input + 8 * channel, with PM_I and vp in
// their own places, and clears the channel's dirty flag. Takes PM_mutex
// only to take the snapshot; the EEPROM is written after it is released.
int eepromSaveFullPMData(int input, int channel);

// length bytes at offset of the stored PM image of (input, channel), into
// or from bytes (which may lie in PM: the copy is made under PM_mutex).
int eepromLoadSingleParam(int input, int channel, uint8_t* bytes, int offset, int length);
int eepromSaveSingleParam(int input, int channel, const uint8_t* bytes, int offset, int length);

// Takes the per-input values of zone (input, channel) into the channel's
// element of PM's per-input pairs (the channel now shows that input).
int eepromLoadInputValues(int input, int channel);

// Reads the stored custom windows into custWin; with copy 1 also into the
// OWIN_* fields of PM.
int eepromLoadCustWinData(int copy);
// Takes the OWIN_* fields of PM as the custom windows and stores them.
int eepromSaveCustWinData();

// The stored PM_I (96 bytes) into buffer; PM_I into the EEPROM.
int eepromLoadPMIData(uint8_t* buffer);
int eepromSavePMIData();

// The stored video-path state (inputs, formats, window mode).
int eepromSaveVpData();

// Writes the factory values of the whole EEPROM image and of the records in
// RAM. With withNetwork non-zero the network record is reset too (keeping
// the MAC address). The seal is written after the parameter image, so an
// interrupted reset is done again at the next start. False when a write
// failed: the web and network settings are then left as they are.
bool factoryResetInitEeprom(int withNetwork);

// Device name = model name + "-" + the serial number modulo 10000. False
// when the EEPROM could not be read or written.
bool set_default_dev_name();

// The connector 0..7 of a video input number, -1 for none.
int vidInputToConnector(int vidInput);

// Start-up: loads vp, PM_I and the parameter zones of both channels, then
// runs the sanity check, which restores the factory values when it fails.
void loadParameterMemory();
// Factory seal, version byte, selected inputs and output formats; false
// when the stored parameters cannot be used.
bool pmSanityOk();
// The start-up check: a failure restores the factory values.
void parameterSanityCheck();

// The main task's save: the zones of both channels when either is dirty
// (the device-wide part lives in every zone, so both stay equal), and the
// custom windows when they are marked to be saved. A zone the EEPROM did
// not take stays dirty and is tried again after kSaveRetryMs (doubling
// while the EEPROM keeps failing).
inline constexpr uint32_t kSaveRetryMs = 1000;
void saveDirtyParameterZones();
