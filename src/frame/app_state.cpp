#include "frame/app_state.h"

AppState& App() {
    static AppState state;
    return state;
}

void ResetAppState() { App() = AppState(); }
