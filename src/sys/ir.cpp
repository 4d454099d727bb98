// The infrared remote: "IRRC" polls the receiver and posts the key of each
// code of the remote's table (../memfiles/ir_codes.csv: name,code,key).
#include "menu/menu_state.h"
#include "platform/journal.h"
#include "platform/panel.h"
#include "sys/frontpanel.h"
#include "sys/msgq.h"
#include "sys/print.h"
#include "sys/timeutil.h"
#include "sys/watchdog.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr uint32_t kPollMs = 5;

std::map<int64_t, uint16_t> loadCodes(const char* file) {
    std::map<int64_t, uint16_t> codes;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("name,", 0) == 0) continue;
        std::stringstream ss(line);
        std::string name, code, key;
        if (std::getline(ss, name, ',') && std::getline(ss, code, ',') && std::getline(ss, key))
            codes[std::strtoll(code.c_str(), nullptr, 0)] = static_cast<uint16_t>(std::atoi(key.c_str()));
    }
    return codes;
}

}  // namespace

void* irRemcon_thr(void*) {
    std::printf("irRemcon_thr: start\n");
    const auto codes = loadCodes("../memfiles/ir_codes.csv");
    if (codes.empty()) PRINT(PRINT_GENERAL, "irRemcon_thr: no remote codes in ../memfiles/ir_codes.csv\n");
    for (;;) {
        WDT_Clear();
        for (int64_t code; (code = board::panel::irPoll()) >= 0;) {
            auto it = codes.find(code);
            if (it == codes.end()) {
                PRINT(PRINT_KEYS, "irRemcon_thr: unknown code 0x%08llX\n", static_cast<unsigned long long>(code));
                continue;
            }
            wait_till_release_key = 0;
            acceleratePlusMinus = 0;
            if (it->second == KEY_MODE) cycle_mode_stat();
            _EXMSG m;
            m.key = it->second;
            m.mode = static_cast<uint16_t>(mode_stat.load());
            m.source = KEY_SOURCE_PANEL;
            board::journal("ir.post", "key=%u mode=%u source=%u", m.key, m.mode, m.source);
            send_message_q(E_EXMSG_TYPE_KEYPAD, &m);
        }
        Sleep(kPollMs);
    }
    return nullptr;
}
