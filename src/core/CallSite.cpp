#include "core/CallSite.h"

#include "config/PluginPaths.h"
#include "core/HostInterface.h"
#include "core/Patch.h"
#include "log/Log.h"

#include <cstring>
#include <windows.h>

namespace {

constexpr uint8_t kNearCall = 0xE8;
constexpr uint8_t kNearJump = 0xE9;
constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kExecutable =
    PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

bool Query(uintptr_t address, MEMORY_BASIC_INFORMATION& info) {
    return VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == sizeof info;
}

bool Accessible(const MEMORY_BASIC_INFORMATION& info, DWORD access) {
    return info.State == MEM_COMMIT && (info.Protect & access) != 0 && (info.Protect & PAGE_GUARD) == 0;
}

bool InImageRegion(uintptr_t address) {
    MEMORY_BASIC_INFORMATION info;
    return Query(address, info) && info.Type == MEM_IMAGE &&
           reinterpret_cast<uintptr_t>(info.AllocationBase) == Host::ImageBase && Accessible(info, kReadable);
}

// Code that another plug-in could have put there: outside the game's image, and runnable.
bool ForeignCode(uintptr_t address) {
    MEMORY_BASIC_INFORMATION info;
    return Query(address, info) && reinterpret_cast<uintptr_t>(info.AllocationBase) != Host::ImageBase &&
           Accessible(info, kExecutable);
}

bool SameModule(uintptr_t address, const void* other) {
    MEMORY_BASIC_INFORMATION info;
    MEMORY_BASIC_INFORMATION otherInfo;
    return Query(address, info) && Query(reinterpret_cast<uintptr_t>(other), otherInfo) &&
           info.AllocationBase == otherInfo.AllocationBase;
}

// Where the near call or jump whose five bytes are given, found at address, leads.
uintptr_t BranchTarget(uintptr_t address, const uint8_t* bytes) {
    uint32_t displacement;
    std::memcpy(&displacement, bytes + 1, sizeof displacement);
    return static_cast<uint32_t>(address + Host::CallSize) + displacement;
}

void LogBranchLeftAlone(const char* featureName, uintptr_t address, uint8_t opcode, uintptr_t target) {
    char module[MAX_PATH];
    ModuleNameOf(target, module, sizeof module);
    LogMessage("%s not installed: 0x%08X holds %s 0x%08X (%s), another plug-in's hook; left as it is",
               featureName, static_cast<unsigned>(address), opcode == kNearJump ? "a jump to" : "a call to",
               static_cast<unsigned>(target), module);
}

} // namespace

bool InHostImage(uintptr_t address, size_t size) {
    return GetModuleHandleW(nullptr) == reinterpret_cast<HMODULE>(Host::ImageBase) && size > 0 &&
           InImageRegion(address) && InImageRegion(address + size - 1);
}

CallSite InspectCallSite(uintptr_t address, uintptr_t hostFunction, const void* hook) {
    CallSite site{address, hostFunction, CallSiteKind::Unknown, false, {}, 0};
    site.InImage = InHostImage(address, sizeof site.Bytes);
    if (!site.InImage) {
        return site;
    }
    std::memcpy(site.Bytes, reinterpret_cast<const void*>(address), sizeof site.Bytes);
    const uint8_t opcode = site.Bytes[0];
    if (opcode != kNearCall && opcode != kNearJump) {
        return site;
    }
    site.Target = BranchTarget(address, site.Bytes);
    if (opcode == kNearCall && site.Target == hostFunction) {
        site.Kind = CallSiteKind::Host;
    } else if (opcode == kNearCall && site.Target == reinterpret_cast<uintptr_t>(hook)) {
        site.Kind = CallSiteKind::Ours;
    } else if (ForeignCode(site.Target)) {
        site.Kind = opcode == kNearCall ? CallSiteKind::TakenByCall : CallSiteKind::TakenByJump;
    }
    return site;
}

void LogUnrecognisedCallSite(const CallSite& site) {
    const unsigned address = static_cast<unsigned>(site.Address);
    const unsigned expected = static_cast<unsigned>(site.HostFunction);
    const uint8_t* bytes = site.Bytes;
    if (!site.InImage) {
        LogMessage(
            "Host not recognised: 0x%08X is not in the game's executable image at 0x%08X; nothing patched",
            address, static_cast<unsigned>(Host::ImageBase));
    } else if (bytes[0] == kNearCall) {
        LogMessage("Host not recognised: call at 0x%08X leads to 0x%08X, not 0x%08X; nothing patched",
                   address, static_cast<unsigned>(site.Target), expected);
    } else if (bytes[0] == kNearJump) {
        LogMessage(
            "Host not recognised: 0x%08X holds a jump to 0x%08X, not a call of 0x%08X; nothing patched",
            address, static_cast<unsigned>(site.Target), expected);
    } else {
        LogMessage(
            "Host not recognised: 0x%08X holds %02X %02X %02X %02X %02X, not a call of 0x%08X; nothing "
            "patched",
            address, bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], expected);
    }
}

bool MayHookCall(const CallSite& site, const CallHandOn& handOn, const char* hookName) {
    const bool jump = site.Kind == CallSiteKind::TakenByJump;
    // Over ours, our hook would hand calls on to the one who now hands them on to us.
    const bool overOurs = site.Kind == CallSiteKind::TakenByCall && handOn.Taken;
    if (!jump && !overOurs) {
        return site.Kind != CallSiteKind::Unknown;
    }
    if (jump) {
        LogBranchLeftAlone(hookName, site.Address, kNearJump, site.Target);
    } else {
        char module[MAX_PATH];
        ModuleNameOf(site.Target, module, sizeof module);
        LogMessage(
            "%s left as it is: the call at 0x%08X now leads to 0x%08X (%s), put over this plug-in's hook",
            hookName, static_cast<unsigned>(site.Address), static_cast<unsigned>(site.Target), module);
    }
    return false;
}

void HookCall(const CallSite& site, const void* hook, CallHandOn& handOn, const char* hookName) {
    if (site.Kind == CallSiteKind::TakenByCall && !handOn.Taken) {
        char module[MAX_PATH];
        // The other plug-in's whole name may take more memory than there is:
        // the announced install must not stand in the log as done.
        try {
            ModuleNameOf(site.Target, module, sizeof module);
        } catch (...) {
            LogMessage("%s not installed: start-up stopped before its bytes were written", hookName);
            throw;
        }
        LogMessage("The call at 0x%08X led to 0x%08X (%s), another plug-in's hook: calls are handed on to it",
                   static_cast<unsigned>(site.Address), static_cast<unsigned>(site.Target), module);
        handOn.Target = site.Target;
    }
    // Saved before the write: no thread reaches the hook through this site before it.
    handOn.Taken = true;
    RetargetCall(site.Address, hook);
}

bool MayWriteJumpWindow(uintptr_t address, const void* hook, HostWindowCode hostCode,
                        const char* featureName) {
    uint8_t bytes[Host::CallSize];
    std::memcpy(bytes, reinterpret_cast<const void*>(address), sizeof bytes);
    if (bytes[0] != kNearCall && bytes[0] != kNearJump) {
        return true;
    }
    const uintptr_t target = BranchTarget(address, bytes);
    const bool ours = bytes[0] == kNearJump && target == reinterpret_cast<uintptr_t>(hook);
    // The host's own branch stays in its image; one into this plug-in is an earlier start's.
    const bool host =
        hostCode == HostWindowCode::MayBranchInImage && (!ForeignCode(target) || SameModule(target, hook));
    if (ours || host) {
        return true;
    }
    LogBranchLeftAlone(featureName, address, bytes[0], target);
    return false;
}

void ModuleNameOf(uintptr_t address, char* name, size_t capacity) {
    std::strncpy(name, "no module", capacity - 1);
    name[capacity - 1] = '\0';
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(address), &module)) {
        return;
    }
    // Read whole: the file name is at the end of a path that may be longer than MAX_PATH.
    const std::wstring path = ModuleFilePath(module);
    if (path.empty()) {
        return;
    }
    const std::wstring fileName = path.substr(path.find_last_of(L"\\/") + 1);
    if (WideCharToMultiByte(CP_UTF8, 0, fileName.c_str(), -1, name, static_cast<int>(capacity), nullptr,
                            nullptr) == 0) {
        std::strncpy(name, "no module", capacity - 1);
    }
}
