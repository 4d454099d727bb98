// The page groups that make up the program's function table, in order. Each
// group that is built adds its rows here.
#include "core/core_rows.h"
#include "core/functable.h"
#include "menu/pages_inputs.h"
#include "menu/pages_layout.h"
#include "menu/root_page.h"

#include <array>

std::span<const FuncRowGroup> programRowGroups() {
    static const std::array<FuncRowGroup, 4> groups = {{
        {"root", rootPageRows()},
        {"inputs", inputPageRows()},
        {"layout", layoutPageRows()},
        {"core", coreFuncRows()},
    }};
    return groups;
}
