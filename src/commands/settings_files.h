// The small settings files of the command set: the input labels, the RS-232
// control port's speed, and the helpers they share.
#pragma once

#include <string>
#include <vector>

// Replaces the file at a device path with text (fl_save: a reader, or the
// boot after a power cut, never sees half a file). False, with a log line,
// when it could not be written; the file keeps its old content.
bool writeSettingsFile(const char* devicePath, const std::string& text);

// ---- input labels: /root/app/conf/input_labels, one line of eight labels ----
inline constexpr const char* kDefaultInputLabels = "HDMI 1,HDMI 2,HDMI 3,HDMI 4,DVI-U1,DVI-U2,HDBT 1,HDBT 2";
inline constexpr size_t kInputLabelMax = 16;

// The first line (at most 135 characters, without its line end); a missing
// file is created with the default labels first. 0, or 5 when the file can
// neither be read nor created.
int readInputLabels(std::string& line);
// Each label cut to 16 characters, line ends removed, joined by ',' as the
// file's one line. 0, or 5 when the file cannot be written.
int writeInputLabels(const std::vector<std::string>& labels);

// ---- the RS-232 control port: /root/app/conf/serial.conf -------------------
// "COM_232_BAUDRATE=<index>": 0 is 19200 baud, 1 is 115200.
class DefaultSerialParam {
public:
    int GetBaudrateIndex() const { return index_; }
    void SetBaudrateIndex(int index) { index_ = index; }
    // The last "COM_232_BAUDRATE=" line that is not a comment ('*' or ':'
    // first); a missing file gives 1.
    void LoadSerial232Param();
    // False when the file could not be written (it keeps the old speed).
    bool SaveSerial232Param() const;

private:
    int index_ = 1;
};

namespace NorvaCommands {
// Entries below a folder (a device path): one per file, one per sub-folder
// plus its own count; 0 when it cannot be opened.
int listdir(const char* path, int depth);
}  // namespace NorvaCommands

// Replaces every occurrence of from in text by to.
void replace_all(std::string& text, const std::string& from, const std::string& to);
