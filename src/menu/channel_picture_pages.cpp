// Pages 34 to 37 of each channel (44 to 47 for CH2): brightness, contrast
// and sharpness; colour; deinterlacing; noise reduction. Every value is
// applied by rebuilding the channel's picture; sharpness and colour
// management reach their scaler operation first.
#include "menu/channel_picture_pages.h"

#include "core/functable.h"
#include "core/pm.h"
#include "menu/channel_pages.h"
#include "scaler/picture.h"

#include <cstdio>

namespace {

int channel() { return Channel == 1 ? 1 : 0; }

// The node's action name, for the scaler's trace ("func341", "func441").
const char* actionName(int row) {
    thread_local char name[16];
    const unsigned node = row > 0 && row < funcTableSize() ? funcDataTbl[row].node : 0;
    std::snprintf(name, sizeof name, "func%u", node);
    return name;
}

// The three levels, and which of them changed.
void colourManagement(int row, int changed) {
    const int ch = channel();
    set_clrm(ch, PM.CLRM1[ch], PM.CLRM2[ch], PM.CLRM3[ch], changed);
    build_picture(ch, actionName(row), __LINE__);
}

}  // namespace

void funcPicture(int row) { build_picture(channel(), actionName(row), __LINE__); }

void funcSharpness(int row) {
    set_sharpness(channel());
    funcPicture(row);
}

void func355(int row) { colourManagement(row, 0); }
void func356(int row) { colourManagement(row, 1); }
void func357(int row) { colourManagement(row, 2); }

namespace {

constexpr auto kPicture = acts<funcPicture>();
constexpr auto kSharpness = acts<funcSharpness>();

constexpr ChannelItem kItems[] = {
    {34, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_34, PB_44), 0, 3},
    {341, kPicture, 3, channelBarScreen, FT_CH_S16, both(PM.BRIGHT), -512, 512, 32, 0},
    {342, kPicture, 3, channelBarScreen, FT_CH_S16, both(PM.CONTRAST), 10, 160, 10, 0},
    {343, kSharpness, 3, channelBarScreen, FT_CH_S8, both(PM.HSHARP), -10, 10},
    {344, kSharpness, 3, channelBarScreen, FT_CH_S8, both(PM.VSHARP), -10, 10},
    {35, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_35, PB_45), 0, 6},
    {351, kPicture, 3, channelBarScreen, FT_CH_S16, both(PM.CHROMA), 0, 400, 1, 8},
    {352, kPicture, 3, channelBarScreen, FT_CH_S16, both(PM.HUE), -180, 180, 1, 8},
    {353, kPicture, 5, channelListScreen, FT_CH_S8, both(PM.COLOR_TEMP), 0, 1},
    {354, kPicture, 5, channelListScreen, FT_CH_S8, both(PM.GAMMA), 0, 7},
    {355, acts<func355>(), 3, channelBarScreen, FT_CH_S8, both(PM.CLRM1), 0, 4},
    {356, acts<func356>(), 3, channelBarScreen, FT_CH_S8, both(PM.CLRM2), 0, 4},
    {357, acts<func357>(), 3, channelBarScreen, FT_CH_S8, both(PM.CLRM3), 0, 4},
    {36, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_36, PB_46), 0, 3},
    {361, kPicture, 5, channelListScreen, FT_CH_S8, both(PM.PD), 0, 2},
    {362, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.PD_DELAY), 0, 15},
    {363, kPicture, 5, channelListScreen, FT_CH_S8, both(PM.IPLUT), 0, 4},
    {364, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.DIAG), 0, 3},
    {37, kNoAction, 5, channelPageScreen, FT_PAGE, cursors(PB_37, PB_47), 0, 5},
    {371, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.HNR), 0, 3},
    {372, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.VNR), 0, 3},
    {373, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.TNR), 0, 3},
    {374, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.BNR), 0, 3},
    {375, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.MNR), 0, 3},
    {376, kPicture, 3, channelBarScreen, FT_CH_S8, both(PM.COMB), 0, 3},
};
constexpr auto kRows = channelRows<kItems>();

}  // namespace

std::span<const FuncRow> channelPictureRows() { return kRows; }
