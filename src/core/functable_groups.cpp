// The page groups that make up the program's function table, in order. Each
// group that is built adds its rows here.
#include "core/core_rows.h"
#include "core/functable.h"
#include "menu/pages_factory.h"
#include "menu/pages_info.h"
#include "menu/pages_misc.h"
#include "menu/pages_network.h"
#include "menu/root_page.h"

#include <array>

std::span<const FuncRowGroup> programRowGroups() {
    static const auto groups = std::to_array<FuncRowGroup>({
        {"root", rootPageRows()},
        {"core", coreFuncRows()},
        {"misc", miscPageRows()},
        {"information", infoPageRows()},
        {"network and serial", networkPageRows()},
        {"factory reset", factoryPageRows()},
    });
    return groups;
}
