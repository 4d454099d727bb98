// The structure of the channel pages: the channel a screen works on, the
// screen template every page-3/4 screen follows, the lists by node, the
// lines the pages grey out, the shared warnings and the rows of pages 3 and
// 4. How a page group adds its rows is at the top of channel_pages.h.
#include "menu/channel_pages.h"

#include "core/functable.h"
#include "core/pm.h"
#include "menu/menu_engine.h"
#include "menu/menu_lists.h"
#include "menu/menu_state.h"
#include "menu/page_common.h"
#include "osd/formated_osd_list.h"
#include "osd/osd.h"
#include "scaler/output_formats.h"

int32_t PB_3, PB_4, PB_32, PB_42, PB_33, PB_43;
int32_t PB_34, PB_44, PB_35, PB_45, PB_36, PB_46, PB_37, PB_47;

namespace {

constexpr int kTabCh1 = 2, kTabCh2 = 3;
constexpr int kBarX = 350, kBarY = 220, kBarColour = 248;

// The lists of page 3 by node; page 4 uses the same.
struct NodeList {
    int node;
    const int* list;
};
constexpr NodeList kLists[] = {
    {3, menu_list_3},         {31, menu_list_31},       {32, menu_list_32},       {321, menu_list_321},
    {322, menu_list_322},     {323, menu_list_323},     {33, menu_list_33},       {34, menu_list_34},
    {35, menu_list_35},       {353, menu_list_353},     {354, menu_list_354},     {36, menu_list_36},
    {361, menu_list_361},     {363, menu_list_363},     {37, menu_list_37},       {38, menu_list_38},
    {381, menu_list_381},     {382, menu_list_382},     {3821, menu_list_3821},   {3822, menu_list_3821},
    {3823, menu_list_3821},   {383, menu_list_383},     {3831, menu_list_3831},   {38311, menu_list_38311},
    {384, menu_list_384},     {385, menu_list_385},     {386, menu_list_386},     {387, menu_list_387},
    {3871, menu_list_3871},   {3872, menu_list_3872},   {39, menu_list_39},       {391, menu_list_391},
    {392, menu_list_392},     {393, menu_list_393},     {395, menu_list_395},     {396, menu_list_396},
    {3961, menu_list_3961},   {39611, menu_list_39611}, {39612, menu_list_39612}, {39616, menu_list_39616},
    {3962, menu_list_3962},   {39621, menu_list_39621}, {39622, menu_list_39622}, {39626, menu_list_39626},
    {3963, menu_list_3963},
};
constexpr int kPriorityPage = 3872;  // its places 3872x share lists

// Lines the pages grey out (1-based), page-3 nodes.
struct GreyedLine {
    int page;
    int line;
    bool (*when)(int ch);
};
bool output4k(int ch) { return PM.OUTPUT_RES_SEL[ch] == kOutputFormat4K; }
bool showsTestPattern(int ch) { return PM.TEST_PATTERN[ch] != 0; }
bool inputNotHdmi(int ch) { return PM.SEL_INPUT_TYPE[ch] != 0; }
constexpr GreyedLine kGreyed[] = {
    {3, 3, output4k},            // the output window page
    {382, 1, showsTestPattern},  // freeze
    {382, 2, showsTestPattern},  // blank
    {39, 2, inputNotHdmi},       // analog takeover
};

// Nodes whose CH2 screen draws no 4K line: the page itself, the mute item
// and the audio page with everything below it.
bool underAudioPage(int node3) {
    while (node3 >= 100) node3 /= 10;
    return node3 == 39;
}
bool drawsFourKLine(int node3) { return node3 != 3 && node3 != 3823 && !underAudioPage(node3); }

int nodeOf(int row) { return row >= 0 && row < funcTableSize() ? static_cast<int>(funcDataTbl[row].node) : -1; }

}  // namespace

bool twinGuarded(TwinGuard guard) {
    switch (guard) {
    case TwinGuard::SingleWindow: return PM.DISPLAY_MODE == 1 && (PM.DWINDOW == 0 || PM.DWINDOW == 4);
    case TwinGuard::Overlay: return PM.DISPLAY_MODE == 1;
    case TwinGuard::None: break;
    }
    return false;
}

int page3Node(int node) {
    if (node <= 0 || find_osd_hierarchy_num(node) != 4) return node;
    return replace_osd_hierarchy_num(node, 3);
}

int channelOfNode(int node) { return find_osd_hierarchy_num(node) == 3 ? 0 : 1; }

const int* channelMenuList(int node) {
    const int n = page3Node(node);
    for (const NodeList& l : kLists)
        if (l.node == n) return l.list;
    // Priority places x = 1..8: 3872x, with their items 3872x1 and 3872x2.
    if (n / 10 == kPriorityPage && n % 10 >= 1 && n % 10 <= 8) return menu_list_3872x;
    if (n / 100 == kPriorityPage && n / 10 % 10 >= 1 && n / 10 % 10 <= 8) {
        if (n % 10 == 1) return menu_list_3872x1;
        if (n % 10 == 2) return menu_list_3872x2;
    }
    return nullptr;
}

int channelScreenBegin(int row) {
    const int node = nodeOf(row);
    const int ch = channelOfNode(node);
    Channel = ch;
    osd_page_begin(row, ch == 0 ? kTabCh1 : kTabCh2);
    if (ch == 1 && drawsFourKLine(page3Node(node))) osd_put_prev_4k_warning();
    return ch;
}

void channelTitle(int row) {
    const int node = nodeOf(row);
    if (node < 10) osd_put_title(row, nullptr, nullptr, 0);
    else if (node < 100) osd_put_title(row, menu_list_3, nullptr, 0);
    else osd_put_title(row, channelMenuList(node / 100), channelMenuList(node / 10), 0);
}

void channelPageBody(int row) {
    const int node3 = page3Node(nodeOf(row));
    const int ch = Channel == 1 ? 1 : 0;
    formated_osd_list list(channelMenuList(node3));
    for (const GreyedLine& g : kGreyed)
        if (g.page == node3 && g.when(ch)) list.disable_line(row, g.line, nullptr);
    osd_put_list(row, funcIntAt(row, ch), list, 1);
}

void channelListBody(int row, const formated_osd_list& list) { osd_put_list(row, getVal(row), list, 1); }
void channelListBody(int row) { channelListBody(row, formated_osd_list(channelMenuList(nodeOf(row)))); }
void channelBarBody(int row, int value) { osd_put_pbar(row, value, kBarX, kBarY, kBarColour); }
void channelBarBody(int row) { channelBarBody(row, getVal(row)); }
void channelScreenEnd() { osd_page_show(); }

void channelPageScreen(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelPageBody(row);
    channelScreenEnd();
}

void channelListScreen(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelListBody(row);
    print_single_window_warning_if_needed(0);
    channelScreenEnd();
}

void channelBarScreen(int row) {
    channelScreenBegin(row);
    channelTitle(row);
    channelBarBody(row);
    print_single_window_warning_if_needed(0);
    channelScreenEnd();
}

int channelWarning(const char* text, int x, int y) {
    pageText(text, x, y);
    return 1;
}

int print_freez_warning_if_needed() {
    return PM.FREEZE[Channel == 1 ? 1 : 0] != 0 ? channelWarning("Ineffective in Freeze Mode", 342) : 0;
}

int print_Pass_Through_Warning_If_Nedded() {
    // The spelling is the device's.
    return PM.PASS_THROUGH[Channel == 1 ? 1 : 0] == 1 ? channelWarning("Unavailable: Audio Pass-Trough", 315) : 0;
}

int print_mic_mode_warning_If_Nedded(int expected, int mic) {
    const int mode = mic == 1 ? PM.MIC1_MODE : PM.MIC2_MODE;
    if (mode == expected) return 0;
    if (mode == 1) channelWarning("Ineffective On Mix Mode", 350);
    else channelWarning("Ineffective On Talkover Mode", 344);
    // The line mix (item 7) is one value for both microphones.
    if (st_num % 10 == 7) channelWarning("NOTE: May Effect Other Mic", 344, 136);
    return 1;
}

void osd_func3(int row) { channelPageScreen(row); }

namespace {

constexpr ChannelItem kItems[] = {
    {3, kNoAction, 5, osd_func3, FT_PAGE, cursors(PB_3, PB_4), 0, 8},
};
constexpr auto kRows = channelRows<kItems>();

}  // namespace

std::span<const FuncRow> channelPageRows() { return kRows; }
