// "hx40-sim ctl ROOT pm ...": the parameter memory as the simulated board
// shows it to tests and people.
#include "core/pm_fields.h"
#include "core/pm_simctl.h"
#include "core/pm_store.h"
#include "core/pm.h"
#include "platform/sim/ctl.h"
#include "sys/locks.h"

#include <charconv>
#include <string>
#include <vector>

namespace {

uint8_t* ramImage(Image image) {
    switch (image) {
    case Image::PM: return reinterpret_cast<uint8_t*>(&PM);
    case Image::PMI: return reinterpret_cast<uint8_t*>(PM_I);
    default: return nullptr;
    }
}

std::string handle(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[1] == "save") {
        saveDirtyParameterZones();
        return "OK saved";
    }
    if (args.size() < 3 || (args[1] != "get" && args[1] != "set")) return "ERR usage: pm get NAME | pm set NAME VALUE... | pm save";
    const ImageField* f = findImageField(args[2]);
    uint8_t* img = f ? ramImage(f->image) : nullptr;
    if (img == nullptr) return "ERR no field " + args[2] + " of PM or PM_I";
    if (args[1] == "get") {
        if (args.size() != 3) return "ERR pm get takes one name";
        std::string out = "OK";
        MutexLock lock(PM_mutex);
        for (int i = 0; i < f->count; ++i) out += " " + std::to_string(readField(img, *f, i));
        return out;
    }
    size_t n = args.size() - 3;
    if (n != 1 && n != f->count) return "ERR " + args[2] + " takes 1 or " + std::to_string(f->count) + " values";
    std::vector<int64_t> values;
    for (size_t i = 3; i < args.size(); ++i) {
        int64_t v = 0;
        auto [end, ec] = std::from_chars(args[i].data(), args[i].data() + args[i].size(), v);
        if (ec != std::errc() || end != args[i].data() + args[i].size() || !fieldHolds(*f, v))
            return "ERR " + args[i] + " does not fit " + args[2];
        values.push_back(v);
    }
    {
        MutexLock lock(PM_mutex);
        for (int i = 0; i < f->count; ++i) writeField(img, *f, i, values[n == 1 ? 0 : static_cast<size_t>(i)]);
    }
    // As a protocol set does: both channels' parameter memory is to be saved.
    markBothChannelsDirty();
    return "OK";
}

}  // namespace

void pmRegisterSimCtl() {
    board::sim::ctl::add("pm", "pm get|set NAME [VALUE...] | pm save   the parameter memory (PM.x, PM_I.x)", handle);
}
