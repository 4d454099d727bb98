// The channel pages' picture adjustment items (pages 34 to 37 and their 4x
// twins). Actions work on the calling thread's Channel.
#pragma once

#include "core/functable.h"

#include <span>

// The action of 341, 342, 351 to 354, 361 to 364 and 371 to 376: the
// channel's picture rebuilt from PM.
void funcPicture(int row);
// 343 and 344: the sharpness applied, then the picture rebuilt.
void funcSharpness(int row);
// The colour-management levels 1, 2 and 3: all three applied with the one
// that changed, then the picture rebuilt.
void func355(int row);
void func356(int row);
void func357(int row);

std::span<const FuncRow> channelPictureRows();
