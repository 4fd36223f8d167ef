// Start-up looks at the two host calls it takes over before it writes anything:
// another build of the game is left alone, another plug-in's hook on a call is
// handed on to, and no call may ever lead back into itself.
#include "AddressSpaceReservation.h"
#include "EverythingOnIni.h"
#include "HostWorld.h"
#include "PluginScenario.h"

namespace {

// Code of the image that another build may call instead of the host functions.
constexpr uint32_t kElsewhere = 0x0059A1B0;
constexpr uint32_t kElsewhereToo = 0x005BA000;

const char kEverythingSettings[] = "Settings: FixExecutionBloodDecals=1 PatchBloodDecalColorAndAlpha=1 "
                                   "FixStaleDamageMapDecals=1 EnableLogging=1 LogDamageMapDiagnostics=1 "
                                   "LogExecutionDecals=0 RGB/A=224,224,224,255";

// The start-up lines with every feature on, up to the colour patch, then the given ones.
std::vector<std::string> StartLinesAnd(std::initializer_list<std::string> more) {
    std::vector<std::string> lines = {
        "Logger initialized", "InitializeASI", kEverythingSettings,
        "Applying blood decal color/alpha patch with contained Wii-style source "
        "blend: red=224 green=224 blue=224 alpha=255",
        "Installing CharacterDamageMap blend restore hook at 0x005BB512"};
    lines.insert(lines.end(), more);
    return lines;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// Another plug-in that hooks the same calls: tests/peer/PeerHooks.cpp.
struct PeerPlugin {
    void (*TakeCall)(int which);
    void (*TakeWithJump)(int which);
    uint32_t (*HookAddress)(int which);
    uint32_t (*JumpAddress)(int which);
    uint32_t (*Calls)(int which);
    uint32_t (*Loops)(int which);
};

template <typename Function> void Bind(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ASSERT_NE(reinterpret_cast<void*>(function), nullptr) << name;
}

class CallSiteTest : public PluginScenario {
  protected:
    ExecutionWorld execution;
    DamageManagerWorld damage;
    PeerPlugin peer{};

    void Start(const std::string& ini = kEverythingIni) {
        WriteIni(ini);
        StartPlugin();
        ClearHostJournal();
    }

    HMODULE peerModule = nullptr;

    // From the folder from, when given, in its "\\?\" form.
    void LoadPeer(const std::wstring& from = std::wstring()) {
        std::wstring path = ExecutableDirectory() + L"PeerHooks.dll";
        if (!from.empty()) {
            ASSERT_TRUE(CopyFileW(path.c_str(), (from + L"PeerHooks.dll").c_str(), FALSE));
            path = from + L"PeerHooks.dll";
        }
        HMODULE module = LoadLibraryW(path.c_str());
        ASSERT_NE(module, nullptr);
        peerModule = module;
        Bind(module, "PeerTakeCall", peer.TakeCall);
        Bind(module, "PeerTakeWithJump", peer.TakeWithJump);
        Bind(module, "PeerHookAddress", peer.HookAddress);
        Bind(module, "PeerJumpAddress", peer.JumpAddress);
        Bind(module, "PeerCallCount", peer.Calls);
        Bind(module, "PeerLoopCount", peer.Loops);
    }

    // The start-up lines up to the settings, then the one line that says why nothing was patched.
    void ExpectNothingPatched(const std::string& settings, const std::string& why) {
        EXPECT_TRUE(changes.empty()) << changes.size() << " host bytes changed, the first at "
                                     << Hex(changes.empty() ? 0 : changes.front().Address);
        EXPECT_EQ(Entries(),
                  (std::vector<std::string>{"Logger initialized", "InitializeASI", settings, why}));
    }

    // One interactive execution update and one damage-manager frame, through the host's own code:
    // each must reach its host function exactly once, with its object.
    void ExpectBothCallsReachTheHost() {
        execution.SetInteractive(1);
        ClearHostJournal();
        RunHost(kHostExecutionUpdate, execution.player);
        RunHost(kHostDamageManagerFrame, damage.Manager());
        const std::vector<HostCall> updates = HostCallsOf(HostFunction::UpdateWiiExecution);
        const std::vector<HostCall> renders = HostCallsOf(HostFunction::UpdateRenderMaps);
        ASSERT_EQ(updates.size(), 1u);
        ASSERT_EQ(renders.size(), 1u);
        EXPECT_EQ(updates[0].Ecx, AddressOf(execution.player));
        EXPECT_EQ(renders[0].Ecx, AddressOf(damage.Manager()));
    }

    bool LeadsTo(uint32_t site, uint8_t opcode, uint32_t target) const {
        return std::memcmp(reinterpret_cast<const void*>(site), Branch(opcode, site, target).data(), 5) == 0;
    }
};

} // namespace

TEST_F(CallSiteTest, AnotherBuildWhoseExecutionCallLeadsElsewhereGetsNoByte) {
    WriteHostCode(kExecutionUpdateCall, Branch(kNearCall, kExecutionUpdateCall, kElsewhere));
    Start();
    ExpectNothingPatched(
        kEverythingSettings,
        "Host not recognised: call at 0x005AD857 leads to 0x0059A1B0, not 0x005A9640; nothing "
        "patched");
}

TEST_F(CallSiteTest, AnotherBuildWhoseRenderMapsCallLeadsElsewhereGetsNoByte) {
    WriteHostCode(kRenderMapsCall, Branch(kNearCall, kRenderMapsCall, kElsewhereToo));
    Start();
    ExpectNothingPatched(
        kEverythingSettings,
        "Host not recognised: call at 0x005BB163 leads to 0x005BA000, not 0x005BAD70; nothing "
        "patched");
}

TEST_F(CallSiteTest, AnotherBuildWithNoCallThereGetsNoByte) {
    WriteHostCode(kExecutionUpdateCall, {0x8B, 0x4D, 0x08, 0x90, 0x90});
    Start();
    ExpectNothingPatched(kEverythingSettings,
                         "Host not recognised: 0x005AD857 holds 8B 4D 08 90 90, not a call "
                         "of 0x005A9640; nothing patched");
}

TEST_F(CallSiteTest, AJumpToTheHostFunctionIsNotTheHostsCall) {
    WriteHostCode(kRenderMapsCall, Branch(kNearJump, kRenderMapsCall, kUpdateRenderMaps));
    Start();
    ExpectNothingPatched(kEverythingSettings,
                         "Host not recognised: 0x005BB163 holds a jump to 0x005BAD70, not a "
                         "call of 0x005BAD70; nothing patched");
}

// Out of the image, but no code there: neither the host's call nor another plug-in's hook.
TEST_F(CallSiteTest, ACallIntoDataOrUnmappedMemoryIsNotAHook) {
    void* data = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    void* freed = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READ);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(freed, nullptr);
    VirtualFree(freed, 0, MEM_RELEASE);
    WriteHostCode(kExecutionUpdateCall, Branch(kNearCall, kExecutionUpdateCall, AddressOf(data)));
    WriteHostCode(kRenderMapsCall, Branch(kNearCall, kRenderMapsCall, AddressOf(freed)));
    Start();
    ExpectNothingPatched(kEverythingSettings, "Host not recognised: call at 0x005AD857 leads to " +
                                                  Hex(AddressOf(data)) + ", not 0x005A9640; nothing patched");

    // The host's own execution call back: the other call still stops everything.
    WriteHostCode(kExecutionUpdateCall, Branch(kNearCall, kExecutionUpdateCall, kUpdateWiiExecution));
    const std::vector<uint8_t> before = CopyHostCode();
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    again();
    EXPECT_EQ(Entries().back(), "Host not recognised: call at 0x005BB163 leads to " + Hex(AddressOf(freed)) +
                                    ", not 0x005BAD70; nothing patched");
    EXPECT_TRUE(CompareHostCode(before, CopyHostCode()).empty());
}

// A guard page is a trap set by the process, not another plug-in's code.
TEST_F(CallSiteTest, ACallIntoAGuardPageIsNotAHook) {
    void* guard = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READ | PAGE_GUARD);
    ASSERT_NE(guard, nullptr);
    WriteHostCode(kExecutionUpdateCall, Branch(kNearCall, kExecutionUpdateCall, AddressOf(guard)));
    Start();
    ExpectNothingPatched(kEverythingSettings, "Host not recognised: call at 0x005AD857 leads to " +
                                                  Hex(AddressOf(guard)) +
                                                  ", not 0x005A9640; nothing patched");
}

TEST_F(CallSiteTest, AnotherBuildGetsNoByteWithLoggingOffOrEveryFeatureOff) {
    WriteHostCode(kExecutionUpdateCall, {0x90, 0x90, 0x90, 0x90, 0x90});
    Start("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=0\r\n[Logging]\r\nEnableLogging="
          "1\r\n");
    // In place of the "disabled" lines.
    ExpectNothingPatched("Settings: FixExecutionBloodDecals=0 PatchBloodDecalColorAndAlpha=0 "
                         "FixStaleDamageMapDecals=0 EnableLogging=1 LogDamageMapDiagnostics=0 "
                         "LogExecutionDecals=0 RGB/A=224,224,224,255",
                         "Host not recognised: 0x005AD857 holds 90 90 90 90 90, not a call of 0x005A9640; "
                         "nothing patched");
}

TEST_F(CallSiteTest, AnotherBuildGetsNoByteWithLoggingOff) {
    WriteHostCode(kRenderMapsCall, {0xCC, 0xCC, 0xCC, 0xCC, 0xCC});
    Start("[General]\r\nFixExecutionBloodDecals=1\r\nPatchBloodDecalColorAndAlpha=1\r\n"
          "FixStaleDamageMapDecals=1\r\n[Logging]\r\nEnableLogging=0\r\nLogDamageMapDiagnostics=1\r\n");
    EXPECT_TRUE(changes.empty());
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));
}

TEST_F(CallSiteTest, AnotherPluginsHooksOnBothCallsAreHandedOnTo) {
    LoadPeer();
    peer.TakeCall(0);
    peer.TakeCall(1);
    Start();
    const std::string module = " (PeerHooks.dll), another plug-in's hook: calls are handed on to it";
    EXPECT_EQ(Entries(), StartLinesAnd({
                             "Installing execution blood decal hook at 0x005AD857",
                             "The call at 0x005AD857 led to " + Hex(peer.HookAddress(0)) + module,
                             "Installing CharacterDamageManager diagnostics hook at call 0x005BB163",
                             "The call at 0x005BB163 led to " + Hex(peer.HookAddress(1)) + module,
                             "Installing stale damage-map clear blend hook: setup=0x005BB33B",
                         }));
    EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));
    EXPECT_TRUE(CallsIntoPlugin(kRenderMapsCall));

    ExpectBothCallsReachTheHost();
    EXPECT_EQ(peer.Calls(0), 1u);
    EXPECT_EQ(peer.Calls(1), 1u);
    EXPECT_EQ(Entries().back().rfind("DamageMapState before_UpdateRenderMaps ", 0), 0u)
        << "the diagnostics still log around it";

    // A non-interactive execution is the plug-in's own work: the host's update, and so the peer, stay out.
    execution.SetInteractive(0);
    RunHost(kHostExecutionUpdate, execution.player);
    EXPECT_EQ(peer.Calls(0), 1u);
    EXPECT_EQ(peer.Loops(0) + peer.Loops(1), 0u);
}

TEST_F(CallSiteTest, AnotherPluginsJumpsKeepTheirFeaturesOffAndTheRestInstalls) {
    LoadPeer();
    peer.TakeWithJump(0);
    peer.TakeWithJump(1);
    Start();
    const std::string module = " (PeerHooks.dll), another plug-in's hook; left as it is";
    EXPECT_EQ(Entries(),
              StartLinesAnd({
                  "Execution blood decal hook not installed: 0x005AD857 holds a jump to " +
                      Hex(peer.JumpAddress(0)) + module,
                  "CharacterDamageManager diagnostics hook not installed: 0x005BB163 holds a jump to " +
                      Hex(peer.JumpAddress(1)) + module,
                  "Installing stale damage-map clear blend hook: setup=0x005BB33B",
              }));
    EXPECT_TRUE(LeadsTo(kExecutionUpdateCall, kNearJump, peer.JumpAddress(0)));
    EXPECT_TRUE(LeadsTo(kRenderMapsCall, kNearJump, peer.JumpAddress(1)));
    EXPECT_TRUE(JumpsIntoPlugin(kClearSetup));
    EXPECT_TRUE(JumpsIntoPlugin(kDrawingEnd));

    ExpectBothCallsReachTheHost();
    EXPECT_EQ(peer.Calls(0), 1u);
    EXPECT_EQ(peer.Calls(1), 1u);
}

// Named from a folder deeper than MAX_PATH, and named without a reference: the
// other plug-in can still be unloaded.
TEST_F(CallSiteTest, AnotherPluginIsNamedWholeAndKeepsItsReferenceCount) {
    LoadPeer(NestedFolder({std::wstring(200, L'p'), std::wstring(100, L'q')}));
    peer.TakeCall(0);
    Start();
    EXPECT_EQ(Entries()[6], "The call at 0x005AD857 led to " + Hex(peer.HookAddress(0)) +
                                " (PeerHooks.dll), another plug-in's hook: calls are handed on to it");
    const uint32_t hook = peer.HookAddress(0);
    FreeLibrary(peerModule);
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<void*>(hook), &info, sizeof info);
    EXPECT_NE(info.AllocationBase, peerModule) << "still loaded after its one FreeLibrary";
}

namespace {

// A call that the peer hooked (as it numbers them) and the name of our hook there.
struct StarvedCall {
    int which;
    uint32_t site;
    const char* hookName;
};

const StarvedCall kStarvedCalls[] = {{0, kExecutionUpdateCall, "Execution blood decal hook"},
                                     {1, kRenderMapsCall, "CharacterDamageManager diagnostics hook"}};

class StarvedCallTest : public CallSiteTest, public ::testing::WithParamInterface<StarvedCall> {};

} // namespace

// Naming the peer whole, from a folder deeper than MAX_PATH, takes a buffer that
// a full address space cannot give: start-up stops between the hook's install
// line and its bytes, and the log says that it was not installed.
TEST_P(StarvedCallTest, StopsStartUpWithALineThatTheHookIsNotInstalled) {
    const StarvedCall starved = GetParam();
    LoadPeer(NestedFolder({std::wstring(200, L'p'), std::wstring(100, L'q')}));
    peer.TakeCall(starved.which);
    WriteIni(kEverythingIni);
    plugin = LoadPlugin(folder);
    ASSERT_NE(plugin.InitializeASI, nullptr);
    volatile InitializeAsiFunction initialize = plugin.InitializeASI;
    LargeHeapBlocks taken;
    {
        const AddressSpaceReservation reservation;
        taken.Take();
        initialize();
    }
    std::vector<std::string> lines = StartLinesAnd({"Installing execution blood decal hook at 0x005AD857"});
    if (starved.site == kRenderMapsCall) {
        lines.push_back("Installing CharacterDamageManager diagnostics hook at call 0x005BB163");
    }
    lines.push_back(std::string(starved.hookName) +
                    " not installed: start-up stopped before its bytes were written");
    lines.push_back("InitializeASI stopped by an error: std::bad_alloc");
    EXPECT_EQ(Entries(), lines);
    EXPECT_TRUE(LeadsTo(starved.site, kNearCall, peer.HookAddress(starved.which)));
}

INSTANTIATE_TEST_SUITE_P(BothCalls, StarvedCallTest, ::testing::ValuesIn(kStarvedCalls),
                         [](const ::testing::TestParamInfo<StarvedCall>& param) {
                             return std::string(param.param.which == 0 ? "ExecutionUpdate" : "RenderMaps");
                         });

// With logging off the diagnostics hook still stands in front of the peer's.
TEST_F(CallSiteTest, AnotherPluginsRenderMapsHookGetsEveryCallWithLoggingOff) {
    LoadPeer();
    peer.TakeCall(1);
    Start("[General]\r\nFixExecutionBloodDecals=0\r\n[Logging]\r\nEnableLogging=0\r\n"
          "LogDamageMapDiagnostics=1\r\n");
    EXPECT_TRUE(CallsIntoPlugin(kRenderMapsCall));
    for (int frame = 0; frame < 3; ++frame) {
        RunHost(kHostDamageManagerFrame, damage.Manager());
    }
    EXPECT_EQ(peer.Calls(1), 3u);
    EXPECT_EQ(HostCallsOf(HostFunction::UpdateRenderMaps).size(), 3u);
}

// A hook that another plug-in built at run time lies in no module: a jump on to the host function.
TEST_F(CallSiteTest, AHookInATrampolineIsHandedOnToAndNamedAsNoModule) {
    uint8_t* trampoline =
        static_cast<uint8_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    ASSERT_NE(trampoline, nullptr);
    const std::vector<uint8_t> jump = Branch(kNearJump, AddressOf(trampoline), kUpdateWiiExecution);
    std::memcpy(trampoline, jump.data(), jump.size());
    WriteHostCode(kExecutionUpdateCall, Branch(kNearCall, kExecutionUpdateCall, AddressOf(trampoline)));
    Start();
    const std::vector<std::string> entries = Entries();
    ASSERT_GE(entries.size(), 7u);
    EXPECT_EQ(entries[5], "Installing execution blood decal hook at 0x005AD857");
    EXPECT_EQ(entries[6], "The call at 0x005AD857 led to " + Hex(AddressOf(trampoline)) +
                              " (no module), another plug-in's hook: calls are handed on to it");
    EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));
    ExpectBothCallsReachTheHost();
}

// The peer saved our hooks as where it hands on; saving the peer in turn would make a loop.
TEST_F(CallSiteTest, AHookPutOverOursAfterTheFirstStartIsLeftAsItIs) {
    LoadPeer();
    Start();
    peer.TakeCall(0);
    peer.TakeCall(1);
    const std::vector<uint8_t> before = CopyHostCode();
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    again();
    EXPECT_TRUE(CompareHostCode(before, CopyHostCode()).empty());
    const std::vector<std::string> entries = Entries();
    const std::string put = " (PeerHooks.dll), put over this plug-in's hook";
    EXPECT_NE(std::find(entries.begin(), entries.end(),
                        "Execution blood decal hook left as it is: the call at 0x005AD857 now leads to " +
                            Hex(peer.HookAddress(0)) + put),
              entries.end());
    EXPECT_NE(
        std::find(entries.begin(), entries.end(),
                  "CharacterDamageManager diagnostics hook left as it is: the call at 0x005BB163 now leads "
                  "to " +
                      Hex(peer.HookAddress(1)) + put),
        entries.end());
    EXPECT_TRUE(LeadsTo(kExecutionUpdateCall, kNearCall, peer.HookAddress(0)));

    ExpectBothCallsReachTheHost();
    EXPECT_EQ(peer.Calls(0), 1u);
    EXPECT_EQ(peer.Calls(1), 1u);
    EXPECT_EQ(peer.Loops(0), 0u);
    EXPECT_EQ(peer.Loops(1), 0u);
}

TEST_F(CallSiteTest, TheGameStartedTwiceHandsOnToTheHostAlone) {
    Start();
    const std::vector<std::string> first = Entries();
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    again();
    EXPECT_EQ(Entries(), first);
    EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));
    EXPECT_TRUE(CallsIntoPlugin(kRenderMapsCall));
    ExpectBothCallsReachTheHost();
}

namespace {

// Another plug-in's call or jump on a window that a bare hook's jump would
// overwrite (place 2: the clear set-up, 3: the drawing's end, as the peer numbers them).
struct TakenWindow {
    int place;
    bool call;
};

const TakenWindow kTakenWindows[] = {{2, false}, {2, true}, {3, false}, {3, true}};

class TakenWindowTest : public CallSiteTest, public ::testing::WithParamInterface<TakenWindow> {};

} // namespace

// That feature stays off with one line in place of its install lines, its
// windows are left as the peer wrote them, the others install, and the host's
// code runs through the peer's code where it branches.
TEST_P(TakenWindowTest, LeavesThatFeatureOffAndInstallsTheRest) {
    const TakenWindow taken = GetParam();
    const bool clear = taken.place == 2;
    LoadPeer();
    (taken.call ? peer.TakeCall : peer.TakeWithJump)(taken.place);
    const uint32_t target = taken.call ? peer.HookAddress(taken.place) : peer.JumpAddress(taken.place);
    Start();
    const std::string leftAlone = std::string(clear ? "Stale damage-map clear blend hook"
                                                    : "Blood decal "
                                                      "color/alpha "
                                                      "patch") +
                                  " not installed: " + Hex(clear ? kClearSetup : kDrawingEnd) + " holds " +
                                  (taken.call ? "a call to " : "a jump to ") + Hex(target) +
                                  " (PeerHooks.dll), another plug-in's hook; left as it is";
    const std::string calls[] = {"Installing execution blood decal hook at 0x005AD857",
                                 "Installing CharacterDamageManager diagnostics hook at call 0x005BB163"};
    if (clear) {
        EXPECT_EQ(Entries(), StartLinesAnd({calls[0], calls[1], leftAlone}));
        EXPECT_TRUE(ChangedOnlyWithin({{kExecutionUpdateCall + 1, 4},
                                       {kRenderMapsCall + 1, 4},
                                       {kDecalSourceBlend, 1},
                                       {kDecalRed, kDrawingEnd + 7 - kDecalRed}}));
        EXPECT_TRUE(JumpsIntoPlugin(kDrawingEnd));
    } else {
        EXPECT_EQ(Entries(), (std::vector<std::string>{"Logger initialized", "InitializeASI",
                                                       kEverythingSettings, leftAlone, calls[0], calls[1],
                                                       "Installing stale damage-map clear blend hook: "
                                                       "setup=0x005BB33B"}));
        EXPECT_TRUE(
            ChangedOnlyWithin({{kExecutionUpdateCall + 1, 4}, {kRenderMapsCall + 1, 4}, {kClearSetup, 9}}));
        EXPECT_TRUE(JumpsIntoPlugin(kClearSetup));
    }
    EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));
    EXPECT_TRUE(CallsIntoPlugin(kRenderMapsCall));

    // The clear and the drawing, through the host's own code.
    HostClearValue = 0.0f;
    ClearHostJournal();
    RunHost(kHostClearDamageMap, nullptr);
    const std::vector<HostCall> states = HostCallsOf(HostFunction::SetRenderState);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].Args[1], clear ? 1u : 0u) << "depth writes as the owner of the set-up leaves them";
    EXPECT_EQ(HostClearValue, 1.0f);
    EXPECT_EQ(HostClearAtResume.Esp, HostClearBeforeSetup.Esp);

    alignas(16) uint8_t map[kMapStride] = {};
    map[kMapFlags] = 0x07;
    HostDrawingEpilogueRan = 0;
    ClearHostJournal();
    RunHost(kHostDrawDamageMapDecals, map);
    EXPECT_EQ(map[kMapFlags], 0x06);
    EXPECT_EQ(HostDrawingEpilogueRan, clear ? 0u : 1u)
        << "the host's own end runs only where the peer has it";
    const std::vector<HostCall> blends = HostCallsOf(HostFunction::SetBlendFactors);
    ASSERT_EQ(blends.size(), clear ? 2u : 1u) << "no source blend 'one' without its restore";
    EXPECT_EQ(blends.back().Args[0], 5u);

    EXPECT_EQ(peer.Calls(taken.place), 1u);
}

INSTANTIATE_TEST_SUITE_P(CallAndJump, TakenWindowTest, ::testing::ValuesIn(kTakenWindows),
                         [](const ::testing::TestParamInfo<TakenWindow>& param) {
                             return std::string(param.param.call ? "CallAt" : "JumpAt") +
                                    (param.param.place == 2 ? "ClearSetup" : "DrawingEnd");
                         });

// A patched executable may branch into a code cave of its own at the drawing's
// end, where the game never branches; the clear set-up's own code may call
// inside the image, and a branch into this plug-in is an earlier start's.
// Memory that does not run holds no other plug-in's code: the stale-map fix
// installs over a call or jump at the clear set-up that leads there.
TEST_F(CallSiteTest, ABranchAtTheClearSetUpIntoMemoryThatDoesNotRunIsNoHook) {
    void* data = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(data, nullptr);
    for (const uint8_t opcode : {kNearCall, kNearJump}) {
        WriteHostCode(kClearSetup, Branch(opcode, kClearSetup, AddressOf(data) + 16));
        if (plugin.InitializeASI == nullptr) {
            Start();
        } else {
            volatile InitializeAsiFunction again = plugin.InitializeASI;
            again();
        }
        EXPECT_EQ(Entries().back(), "Installing stale damage-map clear blend hook: setup=0x005BB33B")
            << +opcode;
        EXPECT_TRUE(JumpsIntoPlugin(kClearSetup)) << +opcode;
    }
}

TEST_F(CallSiteTest, BranchesInsideTheImageAtTheTwoWindows) {
    WriteHostCode(kDrawingEnd, Branch(kNearJump, kDrawingEnd, kElsewhere));
    WriteHostCode(kClearSetup, Branch(kNearCall, kClearSetup, kElsewhereToo));
    Start();
    const std::vector<std::string> entries = Entries();
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[3],
              "Blood decal color/alpha patch not installed: 0x005BB512 holds a jump to 0x0059A1B0 "
              "(host_tests.exe), another plug-in's hook; left as it is");
    EXPECT_EQ(entries.back(), "Installing stale damage-map clear blend hook: setup=0x005BB33B");
    EXPECT_TRUE(LeadsTo(kDrawingEnd, kNearJump, kElsewhere));
    EXPECT_TRUE(JumpsIntoPlugin(kClearSetup));

    WriteHostCode(kClearSetup, Branch(kNearCall, kClearSetup, BranchTarget(kRenderMapsCall)));
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    again();
    EXPECT_EQ(Entries().back(), "Installing stale damage-map clear blend hook: setup=0x005BB33B");
    EXPECT_TRUE(JumpsIntoPlugin(kClearSetup));
}
