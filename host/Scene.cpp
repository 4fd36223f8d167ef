// A scripted game session in the stand-in host: the real plug-in is loaded as an
// ASI loader does and the host's code runs through every patched site while the
// report shows what the hooks did. Exits non-zero when the plug-in did not do
// what the scene expects.
//   crimsel_host.exe             the scene's INI: every fix and all logging on
//   crimsel_host.exe --defaults  no INI: the plug-in writes its own on first start
//   crimsel_host.exe --another-build  another build of the game: nothing may be written
//   crimsel_host.exe --another-plugin  another plug-in's branches at the two jump windows
//   crimsel_host.exe --pictures <folder>  draws the pictures of the fixes into folder
//   crimsel_host.exe --check-pictures <folder>  compares them with the copies in folder
//   crimsel_host.exe --first-start-ini <path>  copies the INI a first start writes to path
#include "Drawings.h"
#include "HostFunctions.h"
#include "HostWorld.h"
#include "StandInHost.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSceneIni[] = "[General]\r\n"
                         "FixExecutionBloodDecals=1\r\n"
                         "PatchBloodDecalColorAndAlpha=1\r\n"
                         "FixStaleDamageMapDecals=1\r\n"
                         "\r\n"
                         "[BloodDecal]\r\n"
                         "Red=200\r\n"
                         "Green=10\r\n"
                         "Blue=40\r\n"
                         "Alpha=255\r\n"
                         "\r\n"
                         "[Logging]\r\n"
                         "EnableLogging=1\r\n"
                         "LogDamageMapDiagnostics=1\r\n"
                         "LogExecutionDecals=1\r\n";

// The scene's host objects lie at one address from run to run, in a section of
// the stand-in's own that the build places at 0x00761000: their addresses reach
// the log, and the page's pictures of it, while the heap and the stack move with
// the environment that Wine starts the stand-in in.
#define SCENE_OBJECT __attribute__((section(".hscene")))

struct Site {
    uint32_t address;
    uint32_t size;
    const char* role;
};

const Site kSites[] = {
    {kExecutionUpdateCall, 5, "call of UpdateWiiExecution -> ExecutionBloodDecalHook"},
    {kRenderMapsCall, 5, "call of UpdateRenderMaps -> DamageManagerDiagnosticsHook"},
    {kClearSetup, 9, "damage-map clear set-up -> jump to StaleMapClearBlendHook, 4 NOPs"},
    {kDecalSourceBlend, 1, "source blend factor of the decal drawing"},
    {kDecalRed, 1, "decal colour: red"},
    {kDecalGreen, 1, "decal colour: green"},
    {kDecalBlue, 1, "decal colour: blue"},
    {kDecalAlpha, 1, "decal colour: alpha"},
    {kDrawingEnd, 7, "end of the decal drawing -> jump to BlendRestoreHook, 2 NOPs"},
};

struct Settings {
    bool execution, colour, stale, logging, diagnostics, decalLines;
    unsigned red, green, blue, alpha;
};

unsigned IniNumber(const std::wstring& ini, const wchar_t* section, const wchar_t* key) {
    return GetPrivateProfileIntW(section, key, 0, ini.c_str());
}

Settings ReadSettings(const std::wstring& ini) {
    return {IniNumber(ini, L"General", L"FixExecutionBloodDecals") != 0,
            IniNumber(ini, L"General", L"PatchBloodDecalColorAndAlpha") != 0,
            IniNumber(ini, L"General", L"FixStaleDamageMapDecals") != 0,
            IniNumber(ini, L"Logging", L"EnableLogging") != 0,
            IniNumber(ini, L"Logging", L"LogDamageMapDiagnostics") != 0,
            IniNumber(ini, L"Logging", L"LogExecutionDecals") != 0,
            IniNumber(ini, L"BloodDecal", L"Red"),
            IniNumber(ini, L"BloodDecal", L"Green"),
            IniNumber(ini, L"BloodDecal", L"Blue"),
            IniNumber(ini, L"BloodDecal", L"Alpha")};
}

int checksHeld = 0;
int checksFailed = 0;

void Check(bool held, const char* what) {
    if (held) {
        ++checksHeld;
    } else {
        ++checksFailed;
        std::printf("  !! check failed: %s\n", what);
    }
}

// Runs host code and checks that the callee-saved registers and the stack came back as they were.
void RunHost(uint32_t function, const void* ecx) {
    CallWithSentinels(function, AddressOf(ecx));
    Check(CalleeSavedRegistersKept(), "callee-saved registers and stack kept");
}

const char* Name(HostFunction function) {
    switch (function) {
    case HostFunction::UpdateWiiExecution:
        return "UpdateWiiExecution";
    case HostFunction::GetExecutionDecalTables:
        return "GetExecutionDecalTables";
    case HostFunction::GetDecalManager:
        return "GetDecalManager";
    case HostFunction::GetExecutionSource:
        return "GetExecutionSource";
    case HostFunction::GetExecutionId:
        return "GetExecutionId";
    case HostFunction::GetExecutionStage:
        return "GetExecutionStage";
    case HostFunction::GetCurrentAnimation:
        return "GetCurrentAnimation";
    case HostFunction::AddCharacterDecal:
        return "AddCharacterDecal";
    case HostFunction::SetRenderState:
        return "SetRenderState";
    case HostFunction::SetBlendFactors:
        return "SetBlendFactors";
    case HostFunction::DrawDecalQuads:
        return "DrawDecalQuads";
    case HostFunction::UpdateRenderMaps:
        return "UpdateRenderMaps";
    }
    return "?";
}

std::string Reached() {
    std::string names;
    for (const HostCall& call : HostJournal()) {
        names += std::string(names.empty() ? "" : ", ") + Name(call.Function);
    }
    return names.empty() ? "nothing" : names;
}

std::string Bytes(const uint8_t* bytes, uint32_t size) {
    std::string text;
    char hex[4];
    for (uint32_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
        text += hex;
    }
    return text;
}

std::vector<std::string> LogSince(const std::wstring& folder, size_t& seen) {
    const std::vector<std::string> entries = LogEntries(ReadFileBytes(folder + L"Crimsel.log"));
    std::vector<std::string> fresh(
        entries.begin() + static_cast<std::ptrdiff_t>(seen < entries.size() ? seen : entries.size()),
        entries.end());
    seen = entries.size();
    return fresh;
}

void ReportPatches(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                   const char* unchanged = " [off]") {
    std::printf("\n== Patches written by InitializeASI ==\n");
    std::printf("%-10s  %-27s  %-27s  %s\n", "site", "bytes before", "bytes after", "what it does");
    const uint32_t base = AddressOf(HostCodeStart);
    size_t covered = 0;
    for (const Site& site : kSites) {
        const uint8_t* old = before.data() + (site.address - base);
        const uint8_t* now = after.data() + (site.address - base);
        const bool changed = std::memcmp(old, now, site.size) != 0;
        std::printf("0x%08X  %-27s  %-27s  %s%s\n", site.address, Bytes(old, site.size).c_str(),
                    changed ? Bytes(now, site.size).c_str() : "(unchanged)", site.role,
                    changed ? "" : unchanged);
    }
    for (const HostByteChange& change : CompareHostCode(before, after)) {
        bool inSite = false;
        for (const Site& site : kSites) {
            inSite = inSite || (change.Address >= site.address && change.Address < site.address + site.size);
        }
        covered += inSite ? 1 : 0;
        Check(inSite, "every changed host byte belongs to a known site");
    }
    std::printf("(%u host bytes changed)\n", static_cast<unsigned>(covered));
}

void Execution(const Settings& settings, const std::wstring& folder, size_t& seenLog) {
    std::printf("\n== A non-interactive execution: id 56, stage 1, ten frames ==\n");
    SCENE_OBJECT static ExecutionWorld world;
    world.SetExecutionIndex(10);
    HostReturns.ExecutionStage = 1;
    struct Due {
        DecalList list;
        float time;
        const char* texture;
    };
    const Due victim[] = {{DecalList::Victim, 0.15f, "neck_spurt"},
                          {DecalList::Victim, 0.30f, "chest_slash"},
                          {DecalList::Victim, 0.30f, "chest_drip"},
                          {DecalList::Victim, 0.75f, "ground_pool"}};
    const Due splatter[] = {{DecalList::Splatter, 0.20f, "arm_spray"},
                            {DecalList::Splatter, 0.55f, "face_mist"},
                            {DecalList::Splatter, 0.90f, "blade_drops"}};
    for (int k = 0; k < 4; ++k) {
        world.SetEntry(DecalList::Victim, 56, 1, k, victim[k].time, 0.1f * k, 0.5f, victim[k].texture);
    }
    for (int k = 0; k < 3; ++k) {
        world.SetEntry(DecalList::Splatter, 56, 1, k, splatter[k].time, -0.2f * k, 1.0f, splatter[k].texture);
    }
    world.SetCount(DecalList::Victim, 56, 1, 4);
    world.SetCount(DecalList::Splatter, 56, 1, 3);

    int spawned[2][4] = {};
    for (int frame = 1; frame <= 10; ++frame) {
        const float time = 0.1f * static_cast<float>(frame);
        world.SetAnimationTime(time);
        ClearHostJournal();
        RunHost(kHostExecutionUpdate, world.player);
        std::printf("frame %2d  animTime %.3f  host reached: %s\n", frame, time, Reached().c_str());
        for (const HostCall& call : HostCallsOf(HostFunction::AddCharacterDecal)) {
            const bool onVictim = call.Args[0] == AddressOf(world.victim);
            const DecalList list = onVictim ? DecalList::Victim : DecalList::Splatter;
            const int k = static_cast<int>((call.Args[3] - 4 - AddressOf(world.Entry(list, 56, 1, 0))) / 32);
            const Due& due = onVictim ? victim[k] : splatter[k];
            std::printf("          spawned %-8s #%d %-12s due %.3f on the %s (0x%08X)\n",
                        onVictim ? "victim" : "splatter", k, due.texture, due.time,
                        onVictim ? "victim" : "player", call.Args[0]);
            ++spawned[onVictim ? 0 : 1][k];
            Check(due.time <= time && due.time > time - 0.1001f,
                  "a decal comes in the frame that reaches its time");
            Check(call.Ecx == AddressOf(world.decalManager), "decals go through the host's decal manager");
        }
        for (const std::string& line : LogSince(folder, seenLog)) {
            std::printf("          log: %s\n", line.c_str());
        }
        if (!settings.execution) {
            Check(HostCallsOf(HostFunction::UpdateWiiExecution).size() == 1,
                  "without the fix the host's update runs");
        }
    }
    for (int k = 0; k < 4; ++k) {
        Check(spawned[0][k] == (settings.execution ? 1 : 0), "each victim decal exactly once");
    }
    for (int k = 0; k < 3; ++k) {
        Check(spawned[1][k] == (settings.execution ? 1 : 0), "each splatter decal exactly once");
    }
    Check(world.VictimIndex() == (settings.execution ? 4u : 0u) &&
              world.SplatterIndex() == (settings.execution ? 3u : 0u),
          "the counters end after the last entries");

    std::printf("\n== The same execution in interactive mode, two frames ==\n");
    world.ResetIndices();
    world.SetInteractive(1);
    for (int frame = 1; frame <= 2; ++frame) {
        ClearHostJournal();
        RunHost(kHostExecutionUpdate, world.player);
        std::printf("frame %2d  host reached: %s\n", frame, Reached().c_str());
        for (const std::string& line : LogSince(folder, seenLog)) {
            std::printf("          log: %s\n", line.c_str());
        }
        const std::vector<HostCall> updates = HostCallsOf(HostFunction::UpdateWiiExecution);
        Check(updates.size() == 1 && updates[0].Ecx == AddressOf(world.player) &&
                  HostCallsOf(HostFunction::AddCharacterDecal).empty(),
              "interactive executions are the host's own");
    }
}

// The host's animation runs on while it adds a decal: an entry that comes due
// meanwhile is spawned in the same update, since each entry reads the time anew.
void AnimationRunsOn(const Settings& settings, const std::wstring& folder, size_t& seenLog) {
    std::printf("\n== The animation runs on while the host adds a decal: id 57, stage 1 ==\n");
    SCENE_OBJECT static ExecutionWorld world;
    world.SetExecutionIndex(11);
    HostReturns.ExecutionStage = 1;
    world.SetEntry(DecalList::Victim, 57, 1, 0, 0.50f, 0, 0, "first_cut");
    world.SetEntry(DecalList::Victim, 57, 1, 1, 0.60f, 0, 0, "second_cut");
    world.SetEntry(DecalList::Victim, 57, 1, 2, 0.90f, 0, 0, "last_cut");
    world.SetCount(DecalList::Victim, 57, 1, 3);
    world.SetAnimationTime(0.55f);
    static ExecutionWorld* current = nullptr;
    current = &world;
    HostAddCharacterDecalAction = [](void*, float, float) {
        current->SetAnimationTime(current->AnimationTime() + 0.1f);
    };
    ClearHostJournal();
    RunHost(kHostExecutionUpdate, world.player);
    HostAddCharacterDecalAction = nullptr;
    const size_t spawned = HostCallsOf(HostFunction::AddCharacterDecal).size();
    std::printf("animTime 0.550 at the start, +0.1 during each decal: %u decals spawned (due 0.50, 0.60; "
                "0.90 waits)\n",
                static_cast<unsigned>(spawned));
    for (const std::string& line : LogSince(folder, seenLog)) {
        std::printf("          log: %s\n", line.c_str());
    }
    Check(spawned == (settings.execution ? 2u : 0u), "each entry is judged by the time at its turn");
}

void DamageMaps(const Settings& settings, const std::wstring& folder, size_t& seenLog) {
    std::printf("\n== Damage maps over six frames ==\n");
    SCENE_OBJECT static DamageManagerWorld world;
    struct Frame {
        const char* what;
        int blocks; // expected diagnostic blocks with logging and diagnostics on
    };
    const Frame frames[] = {{"two maps added, map 0 in slot 0", 1},
                            {"nothing changes", 0},
                            {"UpdateRenderMaps renders map 1 into slot 1", 1},
                            {"map 0 flagged needsClear", 1},
                            {"cleanup: timer runs, map 1 inactive", 1},
                            {"nothing changes", 0}};
    static DamageManagerWorld* current = nullptr;
    current = &world;
    for (int f = 0; f < 6; ++f) {
        HostUpdateRenderMapsAction = nullptr;
        switch (f) {
        case 0:
            world.SetMap(0, 0x00A10000, 0x00B10000, 0, 2, 0, 0x00);
            world.SetMap(1, 0x00A20000, 0x00B20000, 0x00C20000, 0, 0, 0x02);
            world.SetSlot(0, world.Map(0));
            world.SetCounts(2, 1, 0);
            break;
        case 2:
            HostUpdateRenderMapsAction = [](void*) {
                current->Rendered(1) += 1;
                current->SetSlot(1, current->Map(1));
                current->SetCounts(2, 2, 0);
            };
            break;
        case 3:
            world.Flags(0) |= 0x01;
            break;
        case 4:
            world.SetCleanupTimer(30);
            world.Flags(1) |= 0x04;
            break;
        default:
            break;
        }
        ClearHostJournal();
        RunHost(kHostDamageManagerFrame, world.Manager());
        std::printf("frame %d  %-44s host reached: %s\n", f + 1, frames[f].what, Reached().c_str());
        int blocks = 0;
        for (const std::string& line : LogSince(folder, seenLog)) {
            std::printf("          log: %s\n", line.c_str());
            blocks += line.rfind("DamageMapState ", 0) == 0 ? 1 : 0;
        }
        Check(HostCallsOf(HostFunction::UpdateRenderMaps).size() == 1, "UpdateRenderMaps runs once a frame");
        Check(blocks == (settings.logging && settings.diagnostics ? frames[f].blocks : 0),
              "a diagnostics block exactly where something changed");
    }
    HostUpdateRenderMapsAction = nullptr;
}

void Drawing(const Settings& settings) {
    std::printf("\n== One decal drawing pass into a damage map (flags 0x07) ==\n");
    alignas(16) uint8_t map[kMapStride] = {};
    map[kMapFlags] = 0x07;
    HostDrawingEpilogueRan = 0;
    ClearHostJournal();
    RunHost(kHostDrawDamageMapDecals, map);
    std::vector<std::pair<uint32_t, uint32_t>> blends;
    for (const HostCall& call : HostCallsOf(HostFunction::SetBlendFactors)) {
        std::printf("SetBlendFactors(%u, %u)\n", call.Args[0], call.Args[1]);
        blends.emplace_back(call.Args[0], call.Args[1]);
    }
    const std::vector<HostCall> draws = HostCallsOf(HostFunction::DrawDecalQuads);
    const uint32_t colour = draws.empty() ? 0 : draws[0].Args[0];
    std::printf("decals drawn with red=%u green=%u blue=%u alpha=%u\n", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF, colour >> 24);
    std::printf("flags after the drawing: 0x%02X; the host's own end %s\n", map[kMapFlags],
                HostDrawingEpilogueRan ? "ran" : "was replaced by BlendRestoreHook");
    Check(map[kMapFlags] == 0x06, "needsClear is cleared, the other flags kept");
    if (settings.colour) {
        Check(colour == (settings.red | settings.green << 8 | settings.blue << 16 | settings.alpha << 24),
              "the user's colour is drawn");
        Check(blends.size() == 2 && blends[0] == std::make_pair(2u, 6u) &&
                  blends[1] == std::make_pair(5u, 6u),
              "Wii-style source blend, then the usual blend restored");
        Check(HostDrawingEpilogueRan == 0, "the drawing ends through BlendRestoreHook");
    } else {
        Check(colour == 0xC0000080u && blends.size() == 1 && HostDrawingEpilogueRan == 1,
              "the host's own colour, blend and end");
    }
}

void Clear(const Settings& settings) {
    std::printf("\n== One damage-map clear ==\n");
    ClearHostJournal();
    HostClearValue = 0.0f;
    RunHost(kHostClearDamageMap, nullptr);
    std::vector<std::pair<uint32_t, uint32_t>> calls;
    for (const HostCall& call : HostJournal()) {
        std::printf("%s(%u, %u)\n", Name(call.Function), call.Args[0], call.Args[1]);
        calls.emplace_back(call.Args[0], call.Args[1]);
    }
    const unsigned depth = (FpuStackTop(HostClearBeforeSetup) + 8 - FpuStackTop(HostClearAtResume)) % 8;
    std::printf("at 0x005BB349: %u more x87 entry, %.1f taken by the clear\n", depth, HostClearValue);
    Check(depth == 1 && HostClearValue == 1.0f && HostClearAtResume.Esp == HostClearBeforeSetup.Esp &&
              HostClearAtResume.Ebx == HostClearBeforeSetup.Ebx &&
              HostClearAtResume.Esi == HostClearBeforeSetup.Esi &&
              HostClearAtResume.Edi == HostClearBeforeSetup.Edi &&
              HostClearAtResume.Ebp == HostClearBeforeSetup.Ebp,
          "the clear goes on with 1.0 on the x87 stack and its registers kept");
    if (settings.stale) {
        Check(calls.size() == 2 && calls[0] == std::make_pair(14u, 0u) && calls[1] == std::make_pair(2u, 1u),
              "depth writes off, then blend one/zero");
    } else {
        Check(calls.size() == 1 && calls[0] == std::make_pair(14u, 1u), "the host's own set-up");
    }
}

void Print(const char* title, const std::string& text) {
    std::printf("\n== %s ==\n", title);
    std::string shown;
    for (char c : text) {
        if (c != '\r') {
            shown += c;
        }
    }
    std::fputs(shown.empty() ? "(none)\n" : shown.c_str(), stdout);
}

int FirstStartIni(const std::wstring& target) {
    const std::wstring folder = CreateGameFolder(L"first-start");
    const LoadedPlugin plugin = LoadPlugin(folder);
    if (plugin.InitializeASI == nullptr) {
        return 1;
    }
    plugin.InitializeASI();
    return CopyFileW((folder + L"Vorlaine.Crimsel.ini").c_str(), target.c_str(), FALSE) ? 0 : 1;
}

int Summary() {
    std::printf("\nScene checks: %d held, %d did not\n", checksHeld, checksFailed);
    return checksFailed == 0 ? 0 : 1;
}

// Starts the plug-in from a game folder of its own, named name, with the
// scene's INI; before gets the host's code as it was just before. The folder,
// or nothing when the plug-in could not be loaded.
std::wstring StartWithSceneIni(const wchar_t* name, std::vector<uint8_t>& before) {
    const std::wstring folder = CreateGameFolder(name);
    WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", kSceneIni);
    before = CopyHostCode();
    const LoadedPlugin plugin = LoadPlugin(folder);
    if (plugin.InitializeASI == nullptr) {
        std::fprintf(stderr, "the plug-in could not be loaded\n");
        return std::wstring();
    }
    plugin.InitializeASI();
    return folder;
}

// An update of the game, or another game, holds other code at the same
// addresses: here its execution update call leads elsewhere. The plug-in must
// recognise that the game is not the build it serves and write nothing.
// Where that build's call leads, inside the image but not to UpdateWiiExecution.
constexpr uint32_t kAnotherBuildsTarget = 0x0059A1B0;

int AnotherBuild() {
    std::printf("== Another build of the game ==\n");
    std::printf(
        "This build's call at 0x005AD857 leads to 0x0059A1B0, not to UpdateWiiExecution at 0x005A9640.\n");
    std::printf("The scene's INI: every fix and all logging on.\n");
    WriteHostCode(kExecutionUpdateCall, Branch(kNearCall, kExecutionUpdateCall, kAnotherBuildsTarget));
    std::vector<uint8_t> before;
    const std::wstring folder = StartWithSceneIni(L"scene-another-build", before);
    if (folder.empty()) {
        return 1;
    }
    const std::vector<uint8_t> after = CopyHostCode();
    ReportPatches(before, after, " [left alone]");
    Check(CompareHostCode(before, after).empty(), "another build gets no byte");

    const std::string log = ReadFileBytes(folder + L"Crimsel.log");
    Print("Crimsel.log", log);
    const std::vector<std::string> entries = LogEntries(log);
    Check(entries.size() == 4 && entries[3] == "Host not recognised: call at 0x005AD857 leads to 0x0059A1B0, "
                                               "not 0x005A9640; nothing patched",
          "the log says which call was not the game's, and that nothing was patched");
    return Summary();
}

// Another plug-in got to the clear set-up and the drawing's end first, as a
// call and a jump into its own code (tests/peer): the plug-in leaves both
// features off and says so, installs the rest, and the game's code runs
// through the other plug-in's code.
// Both calls that the hooks take over lead into the copy of the plug-in that
// the scene loaded: where they lead, not how many of their bytes changed.
bool CallsLeadIntoThePlugin() {
    const HMODULE plugin = GetModuleHandleW(L"Vorlaine.Crimsel.asi");
    for (uint32_t site : {kExecutionUpdateCall, kRenderMapsCall}) {
        HMODULE module = nullptr;
        const DWORD flags =
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
        if (plugin == nullptr ||
            !GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(BranchTarget(site)), &module) ||
            module != plugin) {
            return false;
        }
    }
    return true;
}

int AnotherPlugin() {
    std::printf("== Another plug-in's branches at the clear set-up and the drawing's end ==\n");
    HMODULE peer = LoadLibraryW((ExecutableDirectory() + L"PeerHooks.dll").c_str());
    using Take = void (*)(int);
    using Count = uint32_t (*)(int);
    const auto takeCall =
        reinterpret_cast<Take>(reinterpret_cast<void*>(GetProcAddress(peer, "PeerTakeCall")));
    const auto takeJump =
        reinterpret_cast<Take>(reinterpret_cast<void*>(GetProcAddress(peer, "PeerTakeWithJump")));
    const auto calls =
        reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(peer, "PeerCallCount")));
    if (takeCall == nullptr || takeJump == nullptr || calls == nullptr) {
        std::fprintf(stderr, "PeerHooks.dll, the other plug-in, could not be loaded\n");
        return 1;
    }
    takeCall(2); // the clear set-up
    takeJump(3); // the drawing's end
    std::printf("PeerHooks.dll put a call at 0x005BB33B and a jump at 0x005BB512. The scene's INI: every fix "
                "on.\n");
    std::vector<uint8_t> before;
    const std::wstring folder = StartWithSceneIni(L"scene-another-plugin", before);
    if (folder.empty()) {
        return 1;
    }
    ReportPatches(before, CopyHostCode(), " [left alone]");
    Check(CallsLeadIntoThePlugin(), "the two calls lead into the plug-in");
    bool onlyTheCalls = true;
    for (const HostByteChange& change : CompareHostCode(before, CopyHostCode())) {
        onlyTheCalls =
            onlyTheCalls &&
            ((change.Address > kExecutionUpdateCall && change.Address < kExecutionUpdateCall + 5) ||
             (change.Address > kRenderMapsCall && change.Address < kRenderMapsCall + 5));
    }
    Check(onlyTheCalls, "no byte changed but the two calls' displacements");

    std::printf("\n== One decal drawing and one clear, through the other plug-in's code ==\n");
    alignas(16) uint8_t map[kMapStride] = {};
    map[kMapFlags] = 0x07;
    ClearHostJournal();
    RunHost(kHostDrawDamageMapDecals, map);
    RunHost(kHostClearDamageMap, nullptr);
    std::printf("host reached: %s; flags after the drawing 0x%02X; the other plug-in ran %u + %u times\n",
                Reached().c_str(), map[kMapFlags], calls(3), calls(2));
    Check(calls(2) == 1 && calls(3) == 1 && map[kMapFlags] == 0x06, "the other plug-in's code runs");

    const std::string log = ReadFileBytes(folder + L"Crimsel.log");
    Print("Crimsel.log", log);
    const std::vector<std::string> entries = LogEntries(log);
    size_t leftAlone = 0;
    for (const std::string& entry : entries) {
        leftAlone += entry.find("another plug-in's hook; left as it is") != std::string::npos ? 1 : 0;
    }
    Check(leftAlone == 2, "the log names both windows left as they are");
    return Summary();
}

// The pictures that the stand-in's Direct3D 9 device draws through fresh copies
// of the plug-in: written into folder, or compared with the copies there.
int Pictures(const std::wstring& folderPath, bool compare) {
    PristineHostCode();
    std::string failure;
    if (!StartRenderer(failure)) {
        std::fprintf(stderr, "no Direct3D 9 device: %s\n", failure.c_str());
        return 1;
    }
    const std::wstring folder = folderPath + L"\\";
    std::printf("== Pictures, as drawn by the stand-in ==\n");
    for (const NamedPicture& named : DrawPictures()) {
        const std::wstring path = folder + std::wstring(named.file.begin(), named.file.end());
        std::printf("%s (%ux%u): %s\n", named.file.c_str(), named.picture.width, named.picture.height,
                    named.caption.c_str());
        if (compare) {
            Picture committed;
            const unsigned difference =
                ReadPng(path, committed) ? LargestDifference(committed, named.picture) : 256;
            std::printf("  largest difference from the committed copy: %u\n", difference);
            Check(difference <= 2, "the committed picture is what the build draws");
        } else {
            Check(WritePng(path, named.picture), "the picture is written");
        }
    }
    if (!compare) {
        std::printf("written to %s\n", Utf8(folderPath).c_str());
    }
    return Summary();
}

} // namespace

// The arguments as Windows keeps them, in UTF-16: a narrow argv holds only what
// the ANSI code page can spell, and a folder named otherwise would not be found.
int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc > 2 && mode == L"--first-start-ini") {
        return FirstStartIni(argv[2]);
    }
    if (mode == L"--another-build") {
        return AnotherBuild();
    }
    if (mode == L"--another-plugin") {
        return AnotherPlugin();
    }
    if (argc > 2 && (mode == L"--pictures" || mode == L"--check-pictures")) {
        return Pictures(argv[2], mode == L"--check-pictures");
    }
    const bool defaults = mode == L"--defaults";
    const std::wstring folder = CreateGameFolder(defaults ? L"scene-defaults" : L"scene");
    if (!defaults) {
        WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", kSceneIni);
    }
    std::printf("Vorlaine.Crimsel in the stand-in host, game folder %s\n", Utf8(folder).c_str());
    std::printf("%s\n", defaults ? "No INI: the plug-in's first start writes it."
                                 : "The scene's INI: every fix and all logging on, colour 200/10/40/255.");

    const std::vector<uint8_t> before = CopyHostCode();
    const LoadedPlugin plugin = LoadPlugin(folder);
    if (plugin.Module == nullptr || plugin.InitializeASI == nullptr) {
        std::fprintf(stderr, "the plug-in could not be loaded\n");
        return 1;
    }
    plugin.InitializeASI();
    const Settings settings = ReadSettings(folder + L"Vorlaine.Crimsel.ini");
    ReportPatches(before, CopyHostCode());

    size_t seenLog = LogEntries(ReadFileBytes(folder + L"Crimsel.log")).size();
    Execution(settings, folder, seenLog);
    AnimationRunsOn(settings, folder, seenLog);
    DamageMaps(settings, folder, seenLog);
    Drawing(settings);
    Clear(settings);

    Print("Vorlaine.Crimsel.ini", ReadFileBytes(folder + L"Vorlaine.Crimsel.ini"));
    Print("Crimsel.log", ReadFileBytes(folder + L"Crimsel.log"));
    return Summary();
}
