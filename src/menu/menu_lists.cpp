#include "menu/menu_lists.h"

#include <array>

const int menu_list_3[kMenuListLength] = {62, 66, 84, 89, 97, 112, 123, 130, 147, 0};
const int menu_list_31[kMenuListLength] = {205, 206, 207, 208, 209, 210, 211, 212, 0};
const int menu_list_32[kMenuListLength] = {67, 68, 69, 361, 95, 96, 0};
const int menu_list_321[kMenuListLength] = {237, 238, 243, 244, 0};
const int menu_list_322[kMenuListLength] = {237, 213, 74, 75, 0};
const int menu_list_323[kMenuListLength] = {70, 71, 72, 0};
const int menu_list_33[kMenuListLength] = {85, 87, 86, 88, 0};
const int menu_list_34[kMenuListLength] = {90, 91, 92, 93, 0};
const int menu_list_35[kMenuListLength] = {98, 99, 100, 101, 102, 103, 104, 0};
const int menu_list_353[kMenuListLength] = {235, 236, 0};
const int menu_list_354[kMenuListLength] = {227, 228, 229, 230, 231, 232, 233, 234, 0};
const int menu_list_36[kMenuListLength] = {113, 116, 120, 121, 0};
const int menu_list_361[kMenuListLength] = {213, 237, 122, 0};
const int menu_list_363[kMenuListLength] = {220, 221, 222, 223, 224, 0};
const int menu_list_37[kMenuListLength] = {124, 125, 126, 127, 128, 129, 0};
const int menu_list_38[kMenuListLength] = {131, 136, 140, 143, 146, 360, 272, 0};
const int menu_list_381[kMenuListLength] = {132, 133, 134, 135, 0};
const int menu_list_382[kMenuListLength] = {137, 138, 139, 0};
const int menu_list_3821[kMenuListLength] = {213, 214, 0};
const int menu_list_383[kMenuListLength] = {70, 142, 0};
const int menu_list_3831[kMenuListLength] = {357, 189, 0};
const int menu_list_38311[kMenuListLength] = {213, 214, 0};
const int menu_list_384[kMenuListLength] = {213, 144, 145, 0};
const int menu_list_385[kMenuListLength] = {110, 107, 111, 0};
const int menu_list_386[kMenuListLength] = {111, 137, 0};
const int menu_list_387[kMenuListLength] = {27, 353, 0};
const int menu_list_3871[kMenuListLength] = {213, 350, 351, 0};
const int menu_list_3872[kMenuListLength] = {316, 317, 354, 355, 318, 319, 320, 321, 352, 0};
const int menu_list_3872x[kMenuListLength] = {13, 366, 0};
const int menu_list_3872x1[kMenuListLength] = {205, 206, 207, 208, 209, 210, 211, 212, 352, 0};
const int menu_list_3872x2[kMenuListLength] = {213, 214, 0};
const int menu_list_39[kMenuListLength] = {62, 177, 151, 156, 157, 158, 0};
const int menu_list_391[kMenuListLength] = {217, 205, 206, 207, 208, 209, 210, 211, 212, 0};
const int menu_list_392[kMenuListLength] = {216, 215, 0};
const int menu_list_393[kMenuListLength] = {150, 152, 153, 154, 155, 0};
const int menu_list_395[kMenuListLength] = {213, 214, 0};
const int menu_list_396[kMenuListLength] = {159, 160, 175, 0};
const int menu_list_3961[kMenuListLength] = {161, 164, 170, 171, 172, 173, 174, 0};
const int menu_list_39611[kMenuListLength] = {162, 163, 0};
const int menu_list_39612[kMenuListLength] = {165, 166, 167, 168, 169, 0};
const int menu_list_39616[kMenuListLength] = {213, 214, 0};
const int menu_list_3962[kMenuListLength] = {161, 164, 170, 171, 172, 173, 174, 0};
const int menu_list_39621[kMenuListLength] = {162, 163, 0};
const int menu_list_39622[kMenuListLength] = {165, 166, 167, 168, 169, 0};
const int menu_list_39626[kMenuListLength] = {213, 214, 0};
const int menu_list_3963[kMenuListLength] = {213, 214, 0};

const int menu_list_5[kMenuListLength] = {179, 185, 190, 197, 130, 200, 0};
const int menu_list_51[kMenuListLength] = {203, 204, 181, 182, 329, 0};
const int menu_list_515[kMenuListLength] = {293, 294, 295, 296, 0};
const int menu_list_515x[kMenuListLength] = {330, 331, 332, 0};
const int menu_list_52[kMenuListLength] = {85, 86, 186, 187, 188, 189, 0};
const int menu_list_526[kMenuListLength] = {213, 218, 219, 0};
const int menu_list_53[kMenuListLength] = {193, 194, 195, 192, 196, 0};
const int menu_list_54[kMenuListLength] = {197, 197, 0};
const int menu_list_55[kMenuListLength] = {182, 291, 284, 176, 326, 273, 0};
const int menu_list_551[kMenuListLength] = {367, 0};
const int menu_list_552[kMenuListLength] = {301, 302, 0};
const int menu_list_5521[kMenuListLength] = {297, 298, 0};
const int menu_list_55211[kMenuListLength] = {299, 300, 0};
const int menu_list_5522[kMenuListLength] = {304, 305, 306, 307, 0};
const int menu_list_55221[kMenuListLength] = {308, 309, 310, 311, 312, 313, 314, 315, 0};
const int menu_list_55222[kMenuListLength] = {318, 319, 320, 321, 0};
const int menu_list_55223[kMenuListLength] = {349, 322, 323, 324, 325, 0};
const int menu_list_55224[kMenuListLength] = {316, 317, 0};
const int menu_list_553[kMenuListLength] = {285, 286, 287, 288, 362, 363, 364, 365, 289, 0};
const int menu_list_553x[kMenuListLength] = {62, 290, 0};
const int menu_list_553xx[kMenuListLength] = {291, 292, 293, 294, 295, 296, 349, 0};
const int menu_list_554[kMenuListLength] = {213, 239, 240, 241, 242, 0};
const int menu_list_555[kMenuListLength] = {327, 328, 0};
const int menu_list_555x[kMenuListLength] = {304, 305, 306, 307, 290, 333, 334, 0};
const int menu_list_555x5[kMenuListLength] = {291, 292, 293, 294, 295, 296, 303, 349, 0};
const int menu_list_56[kMenuListLength] = {274, 275, 0};

// Labels chosen by this program (data/sentences.txt). 2421 serves both
// outputs' routing; 22's sixth line is the T-bar page.
const int menu_list_1[kMenuListLength] = {205, 206, 207, 208, 209, 210, 211, 212, 0};
const int menu_list_11[kMenuListLength] = {3, 4, 5, 6, 150, 0};
const int menu_list_111[kMenuListLength] = {7, 8, 9, 10, 0};
const int menu_list_113[kMenuListLength] = {213, 214, 0};
const int menu_list_114[kMenuListLength] = {70, 22, 23, 0};
const int menu_list_1x2[kMenuListLength] = {11, 12, 14, 15, 0};
const int menu_list_1x22[kMenuListLength] = {16, 17, 0};
const int menu_list_1x23[kMenuListLength] = {18, 19, 0};
const int menu_list_1x24[kMenuListLength] = {20, 21, 0};
const int menu_list_2[kMenuListLength] = {24, 25, 26, 28, 0};
const int menu_list_21[kMenuListLength] = {29, 30, 0};
const int menu_list_22[kMenuListLength] = {31, 27, 32, 33, 34, 35, 0};
const int menu_list_222[kMenuListLength] = {36, 37, 0};
const int menu_list_223[kMenuListLength] = {38, 40, 41, 42, 43, 44, 0};
const int menu_list_224_diagonal[kMenuListLength] = {45, 46, 47, 48, 0};
const int menu_list_224_line[kMenuListLength] = {49, 50, 51, 52, 0};
const int menu_list_224_in_out[kMenuListLength] = {53, 54, 0};
const int menu_list_224_hor_ver[kMenuListLength] = {55, 56, 0};
const int menu_list_224_chess[kMenuListLength] = {74, 57, 75, 0};
const int menu_list_224_ver_hor[kMenuListLength] = {56, 55, 0};
const int menu_list_23[kMenuListLength] = {58, 61, 63, 64, 65, 73, 0};
const int menu_list_24[kMenuListLength] = {76, 77, 17, 6, 5, 0};
const int menu_list_241[kMenuListLength] = {78, 79, 80, 0};
const int menu_list_242[kMenuListLength] = {78, 79, 0};
const int menu_list_2421[kMenuListLength] = {7, 329, 238, 0};
const int menu_list_243[kMenuListLength] = {213, 214, 0};
const int menu_list_244[kMenuListLength] = {22, 81, 82, 0};
const int menu_list_245[kMenuListLength] = {213, 214, 0};
const int menu_list_OFF_ON[kMenuListLength] = {213, 214, 0};
const int menu_list_ON_OFF[kMenuListLength] = {214, 213, 0};

namespace {

const std::array kLists = std::to_array<MenuListEntry>({
    {"menu_list_3", menu_list_3},
    {"menu_list_31", menu_list_31},
    {"menu_list_32", menu_list_32},
    {"menu_list_321", menu_list_321},
    {"menu_list_322", menu_list_322},
    {"menu_list_323", menu_list_323},
    {"menu_list_33", menu_list_33},
    {"menu_list_34", menu_list_34},
    {"menu_list_35", menu_list_35},
    {"menu_list_353", menu_list_353},
    {"menu_list_354", menu_list_354},
    {"menu_list_36", menu_list_36},
    {"menu_list_361", menu_list_361},
    {"menu_list_363", menu_list_363},
    {"menu_list_37", menu_list_37},
    {"menu_list_38", menu_list_38},
    {"menu_list_381", menu_list_381},
    {"menu_list_382", menu_list_382},
    {"menu_list_3821", menu_list_3821},
    {"menu_list_383", menu_list_383},
    {"menu_list_3831", menu_list_3831},
    {"menu_list_38311", menu_list_38311},
    {"menu_list_384", menu_list_384},
    {"menu_list_385", menu_list_385},
    {"menu_list_386", menu_list_386},
    {"menu_list_387", menu_list_387},
    {"menu_list_3871", menu_list_3871},
    {"menu_list_3872", menu_list_3872},
    {"menu_list_3872x", menu_list_3872x},
    {"menu_list_3872x1", menu_list_3872x1},
    {"menu_list_3872x2", menu_list_3872x2},
    {"menu_list_39", menu_list_39},
    {"menu_list_391", menu_list_391},
    {"menu_list_392", menu_list_392},
    {"menu_list_393", menu_list_393},
    {"menu_list_395", menu_list_395},
    {"menu_list_396", menu_list_396},
    {"menu_list_3961", menu_list_3961},
    {"menu_list_39611", menu_list_39611},
    {"menu_list_39612", menu_list_39612},
    {"menu_list_39616", menu_list_39616},
    {"menu_list_3962", menu_list_3962},
    {"menu_list_39621", menu_list_39621},
    {"menu_list_39622", menu_list_39622},
    {"menu_list_39626", menu_list_39626},
    {"menu_list_3963", menu_list_3963},
    {"menu_list_5", menu_list_5},
    {"menu_list_51", menu_list_51},
    {"menu_list_515", menu_list_515},
    {"menu_list_515x", menu_list_515x},
    {"menu_list_52", menu_list_52},
    {"menu_list_526", menu_list_526},
    {"menu_list_53", menu_list_53},
    {"menu_list_54", menu_list_54},
    {"menu_list_55", menu_list_55},
    {"menu_list_551", menu_list_551},
    {"menu_list_552", menu_list_552},
    {"menu_list_5521", menu_list_5521},
    {"menu_list_55211", menu_list_55211},
    {"menu_list_5522", menu_list_5522},
    {"menu_list_55221", menu_list_55221},
    {"menu_list_55222", menu_list_55222},
    {"menu_list_55223", menu_list_55223},
    {"menu_list_55224", menu_list_55224},
    {"menu_list_553", menu_list_553},
    {"menu_list_553x", menu_list_553x},
    {"menu_list_553xx", menu_list_553xx},
    {"menu_list_554", menu_list_554},
    {"menu_list_555", menu_list_555},
    {"menu_list_555x", menu_list_555x},
    {"menu_list_555x5", menu_list_555x5},
    {"menu_list_56", menu_list_56},
    {"menu_list_1", menu_list_1},
    {"menu_list_11", menu_list_11},
    {"menu_list_111", menu_list_111},
    {"menu_list_113", menu_list_113},
    {"menu_list_114", menu_list_114},
    {"menu_list_1x2", menu_list_1x2},
    {"menu_list_1x22", menu_list_1x22},
    {"menu_list_1x23", menu_list_1x23},
    {"menu_list_1x24", menu_list_1x24},
    {"menu_list_2", menu_list_2},
    {"menu_list_21", menu_list_21},
    {"menu_list_22", menu_list_22},
    {"menu_list_222", menu_list_222},
    {"menu_list_223", menu_list_223},
    {"menu_list_224_diagonal", menu_list_224_diagonal},
    {"menu_list_224_line", menu_list_224_line},
    {"menu_list_224_in_out", menu_list_224_in_out},
    {"menu_list_224_hor_ver", menu_list_224_hor_ver},
    {"menu_list_224_chess", menu_list_224_chess},
    {"menu_list_224_ver_hor", menu_list_224_ver_hor},
    {"menu_list_23", menu_list_23},
    {"menu_list_24", menu_list_24},
    {"menu_list_241", menu_list_241},
    {"menu_list_242", menu_list_242},
    {"menu_list_2421", menu_list_2421},
    {"menu_list_243", menu_list_243},
    {"menu_list_244", menu_list_244},
    {"menu_list_245", menu_list_245},
    {"menu_list_OFF_ON", menu_list_OFF_ON},
    {"menu_list_ON_OFF", menu_list_ON_OFF},
});

}  // namespace

std::span<const MenuListEntry> menuLists() { return kLists; }
