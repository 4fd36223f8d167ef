#pragma once

#include "core/CallSite.h"

// Takes the place of the host's call of UpdateWiiExecution on the player (player
// in ECX, no stack arguments): spawns the execution's blood decals as the
// animation reaches them when executions are non-interactive.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
void __thiscall ExecutionBloodDecalHook(void* player);
#pragma GCC diagnostic pop

// What the host's execution update call holds now.
CallSite InspectExecutionCallSite();

// Retargets the host's execution update call to the hook, unless another
// plug-in holds it in a way the hook must leave alone.
void InstallExecutionBloodDecalHook(const CallSite& site);
