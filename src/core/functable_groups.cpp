// The page groups that make up the program's function table, in order. Each
// group that is built adds its rows here.
#include "core/core_rows.h"
#include "core/functable.h"
#include "menu/channel_audio_pages.h"
#include "menu/channel_autoswitch_pages.h"
#include "menu/channel_input_pages.h"
#include "menu/channel_output_pages.h"
#include "menu/channel_pages.h"
#include "menu/channel_picture_pages.h"
#include "menu/pages_factory.h"
#include "menu/pages_info.h"
#include "menu/pages_inputs.h"
#include "menu/pages_layout.h"
#include "menu/pages_misc.h"
#include "menu/pages_network.h"
#include "menu/pages_upgrade.h"
#include "menu/root_page.h"

std::span<const FuncRowGroup> programRowGroups() {
    // Sized by its lines, so that a group is added by adding its line.
    static const FuncRowGroup groups[] = {
        {"root", rootPageRows()},
        {"inputs", inputPageRows()},
        {"layout", layoutPageRows()},
        {"core", coreFuncRows()},
        {"channel pages", channelPageRows()},
        {"channel input", channelInputRows()},
        {"channel picture", channelPictureRows()},
        {"channel output control", channelOutputRows()},
        {"channel automatic switching", channelAutoSwitchRows()},
        {"channel audio", channelAudioRows()},
        {"misc", miscPageRows()},
        {"information", infoPageRows()},
        {"firmware upgrade", upgradePageRows()},
        {"network and serial", networkPageRows()},
        {"factory reset", factoryPageRows()},
    };
    return groups;
}
