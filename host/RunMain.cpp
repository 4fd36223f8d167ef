// The stand-in host as a program: loads the real plug-in into a fresh game
// folder the way an ASI loader does and shows what it did.
#include "StandInHost.h"

#include <cstdio>
#include <cstring>

namespace {

// The scene's own INI: every feature and all logging on.
const char kSceneIni[] = "[General]\r\n"
                         "FixExecutionBloodDecals=1\r\n"
                         "PatchBloodDecalColorAndAlpha=1\r\n"
                         "FixStaleDamageMapDecals=1\r\n"
                         "\r\n"
                         "[BloodDecal]\r\n"
                         "Red=200\r\n"
                         "Green=10\r\n"
                         "Blue=10\r\n"
                         "Alpha=255\r\n"
                         "\r\n"
                         "[Logging]\r\n"
                         "EnableLogging=1\r\n"
                         "LogDamageMapDiagnostics=1\r\n"
                         "LogExecutionDecals=1\r\n";

void PrintSection(const char* title, const std::string& text) {
    std::printf("== %s ==\n", title);
    std::string shown;
    for (char c : text) {
        if (c != '\r') {
            shown += c;
        }
    }
    std::fputs(shown.empty() ? "(none)\n" : shown.c_str(), stdout);
    if (!shown.empty() && shown.back() != '\n') {
        std::fputs("\n", stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool defaults = argc > 1 && std::strcmp(argv[1], "--defaults") == 0;
    const std::wstring folder = CreateGameFolder(L"run");
    if (!defaults) {
        WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", kSceneIni);
    }

    const std::vector<uint8_t> before = CopyHostCode();
    const LoadedPlugin plugin = LoadPlugin(folder);
    if (plugin.Module == nullptr || plugin.InitializeASI == nullptr) {
        std::fprintf(stderr, "the plug-in could not be loaded\n");
        return 1;
    }
    plugin.InitializeASI();
    const std::vector<HostByteChange> changes = CompareHostCode(before, CopyHostCode());

    std::printf("Game folder: %ls\n", folder.c_str());
    PrintSection("Vorlaine.Crimsel.ini", ReadFileBytes(folder + L"Vorlaine.Crimsel.ini"));
    PrintSection("Crimsel.log", ReadFileBytes(folder + L"Crimsel.log"));
    std::printf("== host bytes changed: %u ==\n", static_cast<unsigned>(changes.size()));
    for (const HostByteChange& change : changes) {
        std::printf("0x%08X: %02X -> %02X\n", static_cast<unsigned>(change.Address), change.Before,
                    change.After);
    }
    return 0;
}
