#pragma once
// Internal to the layer: the bits a Windows-metafile handle holds, for the player.

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"

// Null for a handle that is not alive.
const std::vector<uint8_t>* gdi_metafile_bits(HMETAFILE mf);
