#include "core/core_rows.h"

#include "menu/root_page.h"

#include <array>

namespace {

// 920 + key: a set posts the key (parseVidCmd); never shown by the menu.
constexpr int kFirstKeyFunction = 920;
constexpr int kLastKeyFunction = 953;
constexpr size_t kCount = kLastKeyFunction - kFirstKeyFunction + 1 + 1;

constexpr std::array<FuncRow, kCount> makeRows() {
    std::array<FuncRow, kCount> rows{};
    size_t i = 0;
    for (int node = kFirstKeyFunction; node <= kLastKeyFunction; ++node)
        rows[i++] = FuncRow{static_cast<uint32_t>(node), nullptr, 8, nullptr, FT_KEY, nullptr, fnI(0), fnI(0),
                            fnI(0), fnI(0), 1};
    rows[i++] = FuncRow{999, nullptr, 5, osd_func999, FT_PAGE, nullptr, fnI(0), fnI(0), fnI(0), fnI(0), 1};
    return rows;
}

constexpr std::array<FuncRow, kCount> kRows = makeRows();

}  // namespace

std::span<const FuncRow> coreFuncRows() { return kRows; }
