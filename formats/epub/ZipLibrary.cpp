#include "formats/epub/ZipLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace pagewick {

namespace {

const ZipLibrary* Load() {
    static ZipLibrary library;
    void* handle = dlopen(PAGEWICK_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "pagewick: cannot load %s: %s\n", PAGEWICK_LIBZIP_SONAME, dlerror());
        return nullptr;
    }
    bool complete = true;
#define PAGEWICK_ZIP_LOOKUP(name)                                                         \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, "zip_" #name)); \
    complete = complete && library.name != nullptr;
    PAGEWICK_ZIP_FUNCTIONS(PAGEWICK_ZIP_LOOKUP)
#undef PAGEWICK_ZIP_LOOKUP
    if (!complete) {
        std::fprintf(stderr, "pagewick: %s lacks functions this program calls\n",
                     PAGEWICK_LIBZIP_SONAME);
        return nullptr;  // the handle stays open: nothing is unloaded under a caller
    }
    return &library;
}

}  // namespace

const ZipLibrary* Zip() {
    static const ZipLibrary* const library = Load();
    return library;
}

}  // namespace pagewick
