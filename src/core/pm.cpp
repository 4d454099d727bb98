#include "core/pm.h"

PMRec PM{};
PMIRec PM_I[8]{};
VidPath vp;
CustWin custWin[2]{};

namespace {
thread_local int tChannel = 0;
}

CurrentChannel::operator int() const { return tChannel; }

CurrentChannel& CurrentChannel::operator=(int channel) {
    tChannel = channel;
    return *this;
}

CurrentChannel ext_channel;
CurrentChannel& Channel = ext_channel;
