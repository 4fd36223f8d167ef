#include "HostFunctions.h"

#include "HostRenderer.h"

#include <cstring>
#include <mutex>

HostReturnValues HostReturns = {};
void (*HostUpdateRenderMapsAction)(void* manager) = nullptr;
void (*HostAddCharacterDecalAction)(void* character, float x, float y) = nullptr;
bool HostJournalEnabled = true;

namespace {

std::vector<HostCall> journal;
std::mutex journalLock; // host functions run on many threads in the stress tests

uint32_t ToWord(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
uint32_t ToWord(int32_t value) {
    return static_cast<uint32_t>(value);
}
uint32_t ToWord(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

template <typename... Values> void Record(HostFunction function, const void* ecx, Values... args) {
    if (!HostJournalEnabled) {
        return;
    }
    HostCall call{function, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ecx)), {}};
    constexpr size_t argumentCount = sizeof...(Values);
    const uint32_t values[argumentCount + 1] = {0u, ToWord(args)...};
    std::memcpy(call.Args, values + 1, sizeof(uint32_t) * argumentCount);
    const std::lock_guard<std::mutex> hold(journalLock);
    journal.push_back(call);
}

} // namespace

const std::vector<HostCall>& HostJournal() {
    return journal;
}
void ClearHostJournal() {
    journal.clear();
}

std::vector<HostCall> HostCallsOf(HostFunction function) {
    std::vector<HostCall> calls;
    for (const HostCall& call : journal) {
        if (call.Function == function) {
            calls.push_back(call);
        }
    }
    return calls;
}

// The bodies of the host functions; HostImage.S jumps here from each host address.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
extern "C" {

void __thiscall StubUpdateWiiExecution(void* player) {
    Record(HostFunction::UpdateWiiExecution, player);
}

void* __thiscall StubGetExecutionDecalTables(void* player) {
    Record(HostFunction::GetExecutionDecalTables, player);
    return HostReturns.DecalTables;
}

void* StubGetDecalManager() {
    Record(HostFunction::GetDecalManager, nullptr);
    return HostReturns.DecalManager;
}

void* __thiscall StubGetExecutionSource(void* player) {
    Record(HostFunction::GetExecutionSource, player);
    return HostReturns.ExecutionSource;
}

int32_t __thiscall StubGetExecutionId(void* source) {
    Record(HostFunction::GetExecutionId, source);
    return HostReturns.ExecutionId;
}

int32_t __thiscall StubGetExecutionStage(void* player) {
    Record(HostFunction::GetExecutionStage, player);
    return HostReturns.ExecutionStage;
}

// A controller that holds an animation of its own (in its first field) returns
// it; otherwise the scenario's animation.
void* __thiscall StubGetCurrentAnimation(void* controller) {
    Record(HostFunction::GetCurrentAnimation, controller);
    void* own = controller != nullptr ? *static_cast<void**>(controller) : nullptr;
    return own != nullptr ? own : HostReturns.Animation;
}

void __thiscall StubAddCharacterDecal(void* manager, void* character, float x, float y, const char* texture,
                                      int32_t zero) {
    Record(HostFunction::AddCharacterDecal, manager, character, x, y, texture, zero);
    if (HostAddCharacterDecalAction != nullptr) {
        HostAddCharacterDecalAction(character, x, y);
    }
}

void StubSetRenderState(int32_t state, int32_t value) {
    Record(HostFunction::SetRenderState, nullptr, state, value);
    RendererSetRenderState(static_cast<uint32_t>(state), static_cast<uint32_t>(value));
}

void StubSetBlendFactors(int32_t source, int32_t destination) {
    Record(HostFunction::SetBlendFactors, nullptr, source, destination);
    RendererSetBlendFactors(static_cast<uint32_t>(source), static_cast<uint32_t>(destination));
}

// The decal drawing hands its colour here, red in the lowest byte, alpha in the
// highest, with the map it draws into.
void StubDrawDecalQuads(int32_t rgba, void* map) {
    Record(HostFunction::DrawDecalQuads, nullptr, rgba, map);
    RendererDrawDecals(map, static_cast<uint32_t>(rgba));
}

// The clear draws its full-map quad under the states in force.
void StubDrawClearQuad(void* map) {
    RendererClearMap(map);
}

void __thiscall StubUpdateRenderMaps(void* manager) {
    Record(HostFunction::UpdateRenderMaps, manager);
    if (HostUpdateRenderMapsAction != nullptr) {
        HostUpdateRenderMapsAction(manager);
    }
}

volatile uint32_t HostDrawingEpilogueRan = 0;
volatile float HostClearValue = 0.0f;
}
#pragma GCC diagnostic pop
