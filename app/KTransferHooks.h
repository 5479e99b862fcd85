#pragma once
// Gives the document layer's fragment reader the clipboard and the drag data of the GUI layer
// in the worksheet clipboard format.
#include <cstdint>

void installTransferHooks(std::uint32_t worksheetFormat);
