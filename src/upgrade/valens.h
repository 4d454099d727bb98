// The HDBaseT transceivers' firmware: at start the running version of each
// transceiver is compared with the image of its direction in ../memfiles,
// and a transceiver that differs gets its serial flash reprogrammed through
// the scaler's SPI master while the I/O expander pins route the master to
// that flash. The same module resets and holds the transceivers and names
// the image files.
//
// Images: "VS100RX_a_b_c.bin" / "VS100TX_a_b_c.bin" carry the version a.b.c
// in their name; "VS100RX.bin" / "VS100TX.bin" match no running version and
// so force an update; a name ending in ".old" is a backup and never used.
// Both channels of a direction use the same image.
//
// Functions return 0 for success and -1 for failure.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

enum valence_directions : int {
    valense_input = 0,   // the receivers (RX)
    valense_output = 1,  // the transmitters (TX)
};

// 0 when no update runs; otherwise the SPI device whose flash is being
// programmed (5 a transmitter's, 6 a receiver's). While it is set the SPI
// master refuses transfers for other devices.
extern std::atomic<int> valence_update_in_operation_mode;
// The channel (0 or 1) being programmed.
extern std::atomic<int> valens_update_ch_in_operation;
// Set by the first valens_init.
extern std::atomic<int> valens_init_done_check;

// Bounds of the flash's busy polls (10 ms apart): a chip erase and a page
// program (or write enable).
inline constexpr uint32_t kValensEraseWaitMs = 120000;
inline constexpr uint32_t kValensPageWaitMs = 100;

// The running firmware of each transceiver as the firmware reading wrote
// it: a label, one blank and a.b.c ("RX 1.2.3"; "NO FIRM 0.0.0" when it did
// not answer); "0" before the first reading.
std::string valensVersion(int direction, int channel);
void setValensVersion(int direction, int channel, const std::string& text);

// The start-up check and update (once per run): -1 when it already ran.
int valens_init();
// Programs one transceiver's flash from its image.
int update_valens(int direction, int channel);
// Programs the flash named by valence_update_in_operation_mode and
// valens_update_ch_in_operation (its route must be set).
int load_file_to_eeprom();
// Polls the flash's status until it is not busy or limitMs have passed;
// the last status byte (bit 0 still set: the flash stayed busy).
int wait_eeprom_sycle(uint32_t limitMs = kValensPageWaitMs);
// 1 when the running version equals the image's (and its major is not 0).
int compare_valens_version_info(int direction, int channel);
// Reads the firmware items of the four transceivers (the information
// pages' reading), which refreshes their version texts.
void load_valens_version_info();
// The direction's image in ../memfiles: 0 and its file name, or -1.
int get_memfile_valens_version_file_name(int direction, std::string& name);
// Renames the direction's image to its plain name (plain non-zero), or to
// its versioned name from the running version; the result of the move.
int rename_valens_files(int direction, int plain);

// Pulses a transceiver's chip lines; holds it (until the next reset); holds
// all four.
void reset_valens(int direction, int channel);
void shut_valens(int direction, int channel);
void shut_all_valens();

// Splits text at separator into at most three fields of at most 19
// characters (20-byte slots): 0 with the count (2 or 3), or -1 for an empty
// text, one without the separator or one of more than three fields.
int Splite(const char* text, int* count, char fields[][20], char separator);
