#pragma once

// A scenario with the real plug-in: a fresh game folder named after the test,
// an INI of the test's own, the plug-in loaded and started as an ASI loader does,
// and the host bytes it changed.

#include "HostFunctions.h"
#include "HostLayout.h"
#include "LogEntries.h"
#include "StandInHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

class PluginScenario : public ::testing::Test {
  protected:
    std::wstring folder;
    LoadedPlugin plugin{};
    std::vector<HostByteChange> changes;

    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        // Parameterised tests have "/" in their names.
        std::replace(name.begin(), name.end(), '/', '-');
        folder = CreateGameFolder(std::wstring(name.begin(), name.end()));
    }

    void WriteIni(const std::string& text) {
        ASSERT_TRUE(WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", text));
    }

    void StartPlugin() { StartPluginFrom(folder); }

    // Loads and starts the plug-in from another folder than the scenario's own.
    void StartPluginFrom(const std::wstring& from) {
        const std::vector<uint8_t> before = CopyHostCode();
        plugin = LoadPlugin(from);
        ASSERT_NE(plugin.Module, nullptr);
        ASSERT_NE(plugin.InitializeASI, nullptr);
        volatile InitializeAsiFunction initialize = plugin.InitializeASI;
        initialize();
        changes = CompareHostCode(before, CopyHostCode());
    }

    // Folders nested below the game folder, made through the "\\?\" form that a
    // path longer than MAX_PATH needs; the deepest, in that form.
    std::wstring NestedFolder(const std::vector<std::wstring>& levels) {
        std::wstring path = L"\\\\?\\" + folder;
        for (const std::wstring& level : levels) {
            path += level + L"\\";
            EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        }
        return path;
    }

    std::string Log() { return ReadFileBytes(folder + L"Crimsel.log"); }

    // Runs host code with ECX = ecx; the callee-saved registers and the stack must come back as they were.
    void RunHost(uint32_t function, const void* ecx) {
        volatile uint32_t entry = function;
        CallWithSentinels(entry, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ecx)));
        EXPECT_TRUE(CalleeSavedRegistersKept())
            << std::hex << "EBX " << LastRegisterCheck.Ebx << " ESI " << LastRegisterCheck.Esi << " EDI "
            << LastRegisterCheck.Edi << " EBP " << LastRegisterCheck.Ebp << " ESP moved by "
            << LastRegisterCheck.EspAfter - LastRegisterCheck.EspBefore;
    }

    // The log's entries without their time stamps; each line must be a whole entry.
    std::vector<std::string> Entries() { return WholeEntries(Log()); }

    // True when the near call or jump at site (opcode given) now leads into the plug-in.
    bool BranchesIntoPlugin(uint32_t site, uint8_t opcode) const {
        return *reinterpret_cast<const uint8_t*>(site) == opcode && InPlugin(BranchTarget(site));
    }
    bool CallsIntoPlugin(uint32_t site) const { return BranchesIntoPlugin(site, kNearCall); }
    bool JumpsIntoPlugin(uint32_t site) const { return BranchesIntoPlugin(site, kNearJump); }

    // True when every changed host byte lies in one of the windows [first, first + size).
    bool ChangedOnlyWithin(std::initializer_list<std::pair<uint32_t, uint32_t>> windows) const {
        for (const HostByteChange& change : changes) {
            bool inside = false;
            for (const auto& window : windows) {
                inside = inside ||
                         (change.Address >= window.first && change.Address < window.first + window.second);
            }
            if (!inside) {
                return false;
            }
        }
        return true;
    }

    // The fixes that the defaults switch on, and nothing else: the execution
    // call's displacement, the jump and its fill at the clear set-up.
    void ExpectOnlyTheDefaultFixes() const {
        EXPECT_TRUE(ChangedOnlyWithin({{kExecutionUpdateCall + 1, 4}, {kClearSetup, 9}}));
        EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));
        EXPECT_TRUE(JumpsIntoPlugin(kClearSetup));
    }

    // True when address lies inside the loaded plug-in's image.
    bool InPlugin(uint32_t address) const {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info);
        return info.AllocationBase == plugin.Module;
    }
};
