#pragma once

#include <cstddef>
#include <cstdint>

// What start-up finds at a host call that a hook takes over, before writing
// anything there. Another build of the game holds other code at the same
// addresses, and another plug-in may already have hooked the same call.

enum class CallSiteKind {
    Host,        // the host's own call of its function
    Ours,        // already leads to our hook: an earlier start of this plug-in
    TakenByCall, // a call out of the game's image into executable memory: another plug-in's hook
    TakenByJump, // a jump out of the game's image into executable memory, in place of the call
    Unknown,     // anything else: another build of the game, or not the game at all
};

struct CallSite {
    uintptr_t Address;
    uintptr_t HostFunction; // what the host's own call there leads to
    CallSiteKind Kind;
    bool InImage;     // the five bytes lie in committed, readable memory of the game's image
    uint8_t Bytes[5]; // as found, when InImage
    uintptr_t Target; // where the call or jump leads, when Bytes hold one
};

// Where a hook hands on the calls it takes over: the host function, or the
// hook that another plug-in had put on the call before ours. Saved once, when
// our hook first takes the site, so that it can never lead back to us.
struct CallHandOn {
    uintptr_t Target;
    bool Taken;
};

// True when [address, address + size) lies in committed, readable memory of
// the process's main executable image, loaded at the game's fixed base.
bool InHostImage(uintptr_t address, size_t size);

CallSite InspectCallSite(uintptr_t address, uintptr_t hostFunction, const void* hook);

// Logs why the game is not recognised at an Unknown site.
void LogUnrecognisedCallSite(const CallSite& site);

// False, with a log line saying why, when the hook must leave the site alone:
// another plug-in's jump is there, or another plug-in put its hook over ours
// after our first start.
bool MayHookCall(const CallSite& site, const CallHandOn& handOn, const char* hookName);

// Retargets the call to hook, whose install is already announced. Where another
// plug-in's hook was there first, logs where it led and saves it as the hand-on
// target. An error before the write is passed on after a line that hookName was
// not installed.
void HookCall(const CallSite& site, const void* hook, CallHandOn& handOn, const char* hookName);

// What the host's own code holds at a window that a bare hook's jump replaces:
// the decal drawing's end never branches; the clear set-up may begin with a
// call inside the game's image.
enum class HostWindowCode { NeverBranches, MayBranchInImage };

// False, with a log line saying why, when another plug-in's call or jump holds
// the window at address, which must then be left as it is. Our own jump there
// (an earlier start of this plug-in) may be written again.
bool MayWriteJumpWindow(uintptr_t address, const void* hook, HostWindowCode hostCode,
                        const char* featureName);

// The file name of the module that holds address, or "no module".
void ModuleNameOf(uintptr_t address, char* name, size_t capacity);
