#pragma once

#include <memory>

// The shared wait window of long operations, reached from core code. The program installs the real
// window; until then (and in tests) shows and hides are only counted.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsShown() const = 0;
};

ProgressSink& Progress();
// Installs a sink and returns the previous one; nullptr restores the counting sink.
std::unique_ptr<ProgressSink> SetProgressSink(std::unique_ptr<ProgressSink> sink);

// The counting sink used when no window is installed.
class CountingProgress : public ProgressSink {
public:
    void Show() override {
        ++shows;
        shown = true;
    }
    void Hide() override {
        ++hides;
        shown = false;
    }
    bool IsShown() const override { return shown; }
    int shows = 0;
    int hides = 0;
    bool shown = false;
};

// Shows the wait window for one operation and hides it however the operation ends. An operation run
// inside another leaves the window to the outer one.
class ProgressScope {
public:
    ProgressScope() {
        if (depth()++ == 0) Progress().Show();
    }
    ~ProgressScope() {
        if (--depth() == 0) Progress().Hide();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    static int& depth() {
        static int open = 0;
        return open;
    }
};

// Takes the wait window away while the user is told or asked something inside an operation, so that it
// does not stand over the message box's buttons; back when the answer is in.
class ProgressPause {
public:
    ProgressPause() : shown_(Progress().IsShown()) {
        if (shown_) Progress().Hide();
    }
    ~ProgressPause() {
        if (shown_) Progress().Show();
    }
    ProgressPause(const ProgressPause&) = delete;
    ProgressPause& operator=(const ProgressPause&) = delete;

private:
    bool shown_;
};
