#pragma once
// The OLE support library as the worksheet program sees it: loaded with dlopen and its 21
// entries looked up by name.  Shared by the library's tests and the clipboard tool.

#include <dlfcn.h>

#include <string>

#include "platform/ole/oleport.h"

struct OleLib {
    void* handle = nullptr;
    std::string error;
    decltype(&OLE_Init) Init = nullptr;
    decltype(&OLE_Uninit) Uninit = nullptr;
    decltype(&OLE_Create) Create = nullptr;
    decltype(&OLE_SetCallbacks) SetCallbacks = nullptr;
    decltype(&OLE_Destroy) Destroy = nullptr;
    decltype(&OLE_clone) clone = nullptr;
    decltype(&OLE_createFromFile) createFromFile = nullptr;
    decltype(&OLE_createFromInsert) createFromInsert = nullptr;
    decltype(&OLE_createFromPaste) createFromPaste = nullptr;
    decltype(&OLE_copy) copy = nullptr;
    decltype(&OLE_write) write = nullptr;
    decltype(&OLE_draw) draw = nullptr;
    decltype(&OLE_calcExtent) calcExtent = nullptr;
    decltype(&OLE_calcPixExtent) calcPixExtent = nullptr;
    decltype(&OLE_getPixExtent) getPixExtent = nullptr;
    decltype(&OLE_getHimetricExtent) getHimetricExtent = nullptr;
    decltype(&OLE_activate) activate = nullptr;
    decltype(&OLE_primary) primary = nullptr;
    decltype(&OLE_notifyOfRename) notifyOfRename = nullptr;
    decltype(&OLE_addVerbMenu) addVerbMenu = nullptr;
    decltype(&OLE_isLinked) isLinked = nullptr;

    // Loads the library at `path` and resolves every entry; false (with `error`) when any fails.
    bool load(const char* path)
    {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            error = dlerror();
            return false;
        }
        void** entries[] = {
            reinterpret_cast<void**>(&Init), reinterpret_cast<void**>(&Uninit), reinterpret_cast<void**>(&Create),
            reinterpret_cast<void**>(&SetCallbacks), reinterpret_cast<void**>(&Destroy), reinterpret_cast<void**>(&clone),
            reinterpret_cast<void**>(&createFromFile), reinterpret_cast<void**>(&createFromInsert),
            reinterpret_cast<void**>(&createFromPaste), reinterpret_cast<void**>(&copy), reinterpret_cast<void**>(&write),
            reinterpret_cast<void**>(&draw), reinterpret_cast<void**>(&calcExtent), reinterpret_cast<void**>(&calcPixExtent),
            reinterpret_cast<void**>(&getPixExtent), reinterpret_cast<void**>(&getHimetricExtent),
            reinterpret_cast<void**>(&activate), reinterpret_cast<void**>(&primary),
            reinterpret_cast<void**>(&notifyOfRename), reinterpret_cast<void**>(&addVerbMenu),
            reinterpret_cast<void**>(&isLinked),
        };
        static_assert(sizeof entries / sizeof entries[0] == sizeof kOleEntryNames / sizeof kOleEntryNames[0]);
        for (std::size_t i = 0; i < sizeof entries / sizeof entries[0]; ++i) {
            *entries[i] = dlsym(handle, kOleEntryNames[i]);
            if (*entries[i] == nullptr) {
                error = std::string("missing entry ") + kOleEntryNames[i];
                return false;
            }
        }
        return true;
    }
};
