#include "frame/progress.h"

namespace {
std::unique_ptr<ProgressSink>& Slot() {
    static std::unique_ptr<ProgressSink> sink = std::make_unique<CountingProgress>();
    return sink;
}
}  // namespace

ProgressSink& Progress() { return *Slot(); }

std::unique_ptr<ProgressSink> SetProgressSink(std::unique_ptr<ProgressSink> sink) {
    std::unique_ptr<ProgressSink> previous = std::move(Slot());
    Slot() = sink ? std::move(sink) : std::make_unique<CountingProgress>();
    return previous;
}
