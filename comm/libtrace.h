// Load and unload lines of the project's shared libraries ("<name>.DLL
// Initializing!" and "<name>.DLL Terminating!"). They are developer
// diagnostics: written to stderr only when the environment variable
// VANTREL_DEBUG is set (to anything but "" or "0"), so normal runs stay quiet.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vantrel {

inline bool DebugOutputEnabled() {
    const char* value = std::getenv("VANTREL_DEBUG");
    return value && *value && !(value[0] == '0' && value[1] == '\0');
}

inline void DebugOutput(const char* text) {
    if (DebugOutputEnabled())
        std::fputs(text, stderr);
}

} // namespace vantrel

#define VANTREL_LIBRARY_TRACE(name)                                                                \
    __attribute__((constructor)) static void VantrelLibraryLoaded() {                              \
        vantrel::DebugOutput(name ".DLL Initializing!\n");                                         \
    }                                                                                              \
    __attribute__((destructor)) static void VantrelLibraryUnloaded() {                             \
        vantrel::DebugOutput(name ".DLL Terminating!\n");                                          \
    }
