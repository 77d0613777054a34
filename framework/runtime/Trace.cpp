#include "Trace.h"

namespace {
struct TraceState {
    std::vector<std::string> log;
    std::function<void(std::string_view)> observer;
};

// Never destroyed: objects that outlive main, such as file types still registered when a
// library calls exit() from inside the event loop, trace their release after static destruction.
TraceState& State() {
    static TraceState* state = new TraceState;
    return *state;
}
}  // namespace

void RuntimeTrace(std::string call) {
    State().log.push_back(call);
    if (State().observer) State().observer(call);
}

const std::vector<std::string>& RuntimeTraceLog() { return State().log; }
void RuntimeClearTrace() { State().log.clear(); }
void RuntimeSetTraceObserver(std::function<void(std::string_view)> observer) {
    State().observer = std::move(observer);
}
