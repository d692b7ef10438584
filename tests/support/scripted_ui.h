#pragma once

#include <memory>

#include "platform/interaction/interaction.h"
#include "platform/interaction/scripted_interaction.h"

// Puts a fresh ScriptedInteraction in place and returns it. The one it replaces goes to *previous, when
// given, for the test to put back; otherwise it is dropped.
inline ScriptedInteraction* InstallScriptedInteraction(std::unique_ptr<Interaction>* previous = nullptr) {
    auto scripted = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* installed = scripted.get();
    std::unique_ptr<Interaction> replaced = SetInteraction(std::move(scripted));
    if (previous) *previous = std::move(replaced);
    return installed;
}
