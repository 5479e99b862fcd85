#pragma once
// Clipboard: formats text 1, bitmap 2 and formats registered by name (ids from 0xC000 up, each
// bound to the MIME type "application/x-wkelvo-" + the lower-cased name with blanks as "-").
//
// One copy places several formats: clear starts a copy, and each copy call adds its format
// and hands the system clipboard a fresh set holding every format so far; a later clear and
// copy replace them all.
//
// Data from other programs is checked: pasteData never copies more than the caller's length; a
// block of a registered format larger than kMaxBlock (64 MiB) is refused (reported absent, so
// a caller that allocates its length plus one never sees it); pasted text loses NUL characters
// and characters outside cp1252 become "?".  Text goes out as UTF-8 text/plain, bitmaps as PNG.
// Pictures go out in the picture byte form (picture_bytes.h, "application/x-wkelvo-picture") with
// a PNG rendering for other programs, unless the same copy already holds a bitmap.

#include <cstddef>
#include <cstdint>

#include "platform/gui/Bitmap.h"
#include "platform/gui/Picture.h"
#include "platform/gui/base/String.h"

enum : uint32_t { FORMAT_STRING = 1, FORMAT_BITMAP = 2, FORMAT_PICTURE = 3, FORMAT_FIRST_REGISTERED = 0xC000 };

class Clipboard {
public:
    // The same name (compared without regard to case) gives the same id.
    static uint32_t registerFormat(const String& name);
    static void clear();
    static bool copyString(const String& text);
    static bool copyBitmap(const Bitmap& bitmap);
    static bool copyData(uint32_t format, const void* data, std::size_t length);
    // False for an empty picture.
    static bool copyPicture(const Picture& picture);

    static bool hasFormat(uint32_t format);
    // Bytes a paste of the format gives (text: cp1252 bytes without NULs); 0 when absent.
    static std::size_t getDataLength(uint32_t format);
    // Copies at most `maxLength` bytes of the format into `buffer`; the number copied.
    static std::size_t pasteData(uint32_t format, void* buffer, std::size_t maxLength);
    static String pasteString();
    static Bitmap pasteBitmap();
    // The clipboard's picture; an empty picture when there is none or its bytes are damaged.
    static Picture pastePicture();
    // Largest rendering (pixels per side) placed beside a copied picture.
    static constexpr int kMaxPictureImage = 4096;

    static constexpr std::size_t kMaxBlock = std::size_t(64) << 20;
};
