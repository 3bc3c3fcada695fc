#include "desktop/HostConduit.h"

#include <cstdio>
#include <iostream>

#include "desktop/Strings.h"

namespace desktop::host {
namespace {

std::string Quoted(const char* text, std::size_t size) {
    return "\"" + OneLine(std::string(text, strnlen(text, size))) + "\"";
}

}  // namespace

const char* ActionName(long action) {
    switch (action) {
        case kActionSync: return "synchronise the files";
        case kActionHandheldOverwrites: return "handheld overwrites desktop";
        case kActionDesktopOverwrites: return "desktop overwrites handheld";
        case kActionNothing: return "do nothing";
        default: return "unknown action";
    }
}

const char* PreferenceName(long preference) {
    switch (preference) {
        case kPrefPermanent: return "permanent";
        case kPrefTemporary: return "next HotSync only";
        default: return "none";
    }
}

LoadedConduit::LoadedConduit(const ConduitEntry& entry) : module_(LoadLibraryA(entry.name.c_str())) {
    std::cout << "conduit " << entry.creator << " \"" << entry.title << "\" from " << entry.name << std::endl;
    if (!module_) std::cout << "  cannot load it (error " << GetLastError() << ")" << std::endl;
}

FARPROC LoadedConduit::Address(const char* name) const {
    const FARPROC address = module_ ? GetProcAddress(module_.get(), name) : nullptr;
    if (!address) std::cout << "  the conduit lacks " << name << std::endl;
    return address;
}

void LoadedConduit::Describe() const {
    if (auto getName = Entry<GetConduitNameFn>("GetConduitName")) {
        char name[256] = {};
        const long result = getName(name, sizeof name);
        std::cout << "  GetConduitName: " << Quoted(name, sizeof name) << " (" << result << ")" << std::endl;
    }
    if (auto getVersion = Entry<GetConduitVersionFn>("GetConduitVersion")) {
        const unsigned long version = getVersion();
        std::cout << "  GetConduitVersion: " << ((version >> 8) & 0xFF) << "." << (version & 0xFF) << std::endl;
    }
    auto getInfo = Entry<GetConduitInfoFn>("GetConduitInfo");
    if (!getInfo) return;
    ConduitRequestInfo request{};
    request.infoVersion = 1;
    request.infoSize = sizeof request;
    char name[256] = {};
    unsigned long size = sizeof name;
    long result = getInfo(kInfoName, &request, name, &size);
    std::cout << "  GetConduitInfo name: " << Quoted(name, sizeof name) << " (" << result << ")" << std::endl;
    for (long type : {long(kInfoHostFlags), long(kInfoDefaultAction)}) {
        std::uint32_t value = 0;
        unsigned long valueSize = sizeof value;
        result = getInfo(type, nullptr, &value, &valueSize);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(value));
        std::cout << "  GetConduitInfo " << type << ": " << hex;
        if (type == kInfoDefaultAction) std::cout << " (" << ActionName(long(value)) << ")";
        std::cout << " (" << result << ")" << std::endl;
    }
}

}  // namespace desktop::host
