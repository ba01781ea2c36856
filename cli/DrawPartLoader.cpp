#include <dlfcn.h>

#include <cstdlib>

#include "cli/DrawPart.h"
#include "cli/commands.h"

namespace pagewick::cli {

std::unique_ptr<DrawPart> LoadDrawPart(std::string& error) {
    // Never unloaded: Qt's libraries stay until the process ends.
    void* library = dlopen(kDrawPartLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        error = std::string("cannot load the drawing part ") + kDrawPartLibrary + ": " +
                (why ? why : "not found");
        return nullptr;
    }
    auto entry = reinterpret_cast<DrawPartEntry>(dlsym(library, kDrawPartEntry));
    DrawPart* part = entry ? entry(kDrawPartVersion) : nullptr;
    if (!part) {
        error = std::string("the drawing part ") + kDrawPartLibrary +
                " found first is not the one of this program";
        return nullptr;
    }
    return std::unique_ptr<DrawPart>(part);
}

std::unique_ptr<DrawPart> RequireDrawPart() {
    std::string error;
    std::unique_ptr<DrawPart> part = LoadDrawPart(error);
    if (!part) std::exit(Fail(error));
    return part;
}

}  // namespace pagewick::cli
