// The menus' label lists: per page the sentences of its items, per list item
// the sentences of its choices, in cursor and value order. A list is named
// after its node (x stands for any digit where pages share a list) and ends
// with 0. Sentence texts are in data/sentences.txt, which also documents the
// lists whose labels this program chose (pages 1 and 2, OFF_ON and ON_OFF).
#pragma once

#include "osd/formated_osd_list.h"

#include <span>

// Channel pages (page 4 uses the page-3 lists).
extern const int menu_list_3[kMenuListLength];
extern const int menu_list_31[kMenuListLength];
extern const int menu_list_32[kMenuListLength];
extern const int menu_list_321[kMenuListLength];
extern const int menu_list_322[kMenuListLength];
extern const int menu_list_323[kMenuListLength];
extern const int menu_list_33[kMenuListLength];
extern const int menu_list_34[kMenuListLength];
extern const int menu_list_35[kMenuListLength];
extern const int menu_list_353[kMenuListLength];
extern const int menu_list_354[kMenuListLength];
extern const int menu_list_36[kMenuListLength];
extern const int menu_list_361[kMenuListLength];
extern const int menu_list_363[kMenuListLength];
extern const int menu_list_37[kMenuListLength];
extern const int menu_list_38[kMenuListLength];
extern const int menu_list_381[kMenuListLength];
extern const int menu_list_382[kMenuListLength];
extern const int menu_list_3821[kMenuListLength];
extern const int menu_list_383[kMenuListLength];
extern const int menu_list_3831[kMenuListLength];
extern const int menu_list_38311[kMenuListLength];
extern const int menu_list_384[kMenuListLength];
extern const int menu_list_385[kMenuListLength];
extern const int menu_list_386[kMenuListLength];
extern const int menu_list_387[kMenuListLength];
extern const int menu_list_3871[kMenuListLength];
extern const int menu_list_3872[kMenuListLength];
extern const int menu_list_3872x[kMenuListLength];
extern const int menu_list_3872x1[kMenuListLength];
extern const int menu_list_3872x2[kMenuListLength];
extern const int menu_list_39[kMenuListLength];
extern const int menu_list_391[kMenuListLength];
extern const int menu_list_392[kMenuListLength];
extern const int menu_list_393[kMenuListLength];
extern const int menu_list_395[kMenuListLength];
extern const int menu_list_396[kMenuListLength];
extern const int menu_list_3961[kMenuListLength];
extern const int menu_list_39611[kMenuListLength];
extern const int menu_list_39612[kMenuListLength];
extern const int menu_list_39616[kMenuListLength];
extern const int menu_list_3962[kMenuListLength];
extern const int menu_list_39621[kMenuListLength];
extern const int menu_list_39622[kMenuListLength];
extern const int menu_list_39626[kMenuListLength];
extern const int menu_list_3963[kMenuListLength];

// Misc page, information, upgrade, network and serial pages, factory reset.
extern const int menu_list_5[kMenuListLength];
extern const int menu_list_51[kMenuListLength];
extern const int menu_list_515[kMenuListLength];
extern const int menu_list_515x[kMenuListLength];
extern const int menu_list_52[kMenuListLength];
extern const int menu_list_526[kMenuListLength];
extern const int menu_list_53[kMenuListLength];
extern const int menu_list_54[kMenuListLength];
extern const int menu_list_55[kMenuListLength];
extern const int menu_list_551[kMenuListLength];
extern const int menu_list_552[kMenuListLength];
extern const int menu_list_5521[kMenuListLength];
extern const int menu_list_55211[kMenuListLength];
extern const int menu_list_5522[kMenuListLength];
extern const int menu_list_55221[kMenuListLength];
extern const int menu_list_55222[kMenuListLength];
extern const int menu_list_55223[kMenuListLength];
extern const int menu_list_55224[kMenuListLength];
extern const int menu_list_553[kMenuListLength];
extern const int menu_list_553x[kMenuListLength];
extern const int menu_list_553xx[kMenuListLength];
extern const int menu_list_554[kMenuListLength];
extern const int menu_list_555[kMenuListLength];
extern const int menu_list_555x[kMenuListLength];
extern const int menu_list_555x5[kMenuListLength];
extern const int menu_list_56[kMenuListLength];

// Inputs and Layout pages, and the two-state lists.
extern const int menu_list_1[kMenuListLength];
extern const int menu_list_11[kMenuListLength];
extern const int menu_list_111[kMenuListLength];
extern const int menu_list_113[kMenuListLength];
extern const int menu_list_114[kMenuListLength];
extern const int menu_list_1x2[kMenuListLength];
extern const int menu_list_1x22[kMenuListLength];
extern const int menu_list_1x23[kMenuListLength];
extern const int menu_list_1x24[kMenuListLength];
extern const int menu_list_2[kMenuListLength];
extern const int menu_list_21[kMenuListLength];
extern const int menu_list_22[kMenuListLength];
extern const int menu_list_222[kMenuListLength];
extern const int menu_list_223[kMenuListLength];
extern const int menu_list_224_diagonal[kMenuListLength];
extern const int menu_list_224_line[kMenuListLength];
extern const int menu_list_224_in_out[kMenuListLength];
extern const int menu_list_224_hor_ver[kMenuListLength];
extern const int menu_list_224_chess[kMenuListLength];
extern const int menu_list_224_ver_hor[kMenuListLength];
extern const int menu_list_23[kMenuListLength];
extern const int menu_list_24[kMenuListLength];
extern const int menu_list_241[kMenuListLength];
extern const int menu_list_242[kMenuListLength];
extern const int menu_list_2421[kMenuListLength];
extern const int menu_list_243[kMenuListLength];
extern const int menu_list_244[kMenuListLength];
extern const int menu_list_245[kMenuListLength];
extern const int menu_list_OFF_ON[kMenuListLength];
extern const int menu_list_ON_OFF[kMenuListLength];

struct MenuListEntry {
    const char* name;
    const int* list;
};
// Every list, for checks of the whole set.
std::span<const MenuListEntry> menuLists();
