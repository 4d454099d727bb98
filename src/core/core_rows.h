// Rows of the function table that the core owns: the protocol key functions
// 920..953 and the closed-menu node 999.
#pragma once

#include "core/functable.h"

#include <span>

std::span<const FuncRow> coreFuncRows();
