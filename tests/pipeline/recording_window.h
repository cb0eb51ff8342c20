#pragma once
// The window the flow tests hand to the pipeline: it keeps every request of the flows in order as
// a line of text ("page Checking", "error 103", "percent 45", "pos 0", "target 600", "creep on",
// "close", ...) and holds the bar's position and the user's flags as a window would. The flags
// may be set by the test from another thread while a flow runs.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "pipeline/installer_window.h"

inline const char* PageName(PageState state) {
    switch (state) {
        case PageState::Checking: return "Checking";
        case PageState::NoInternet: return "NoInternet";
        case PageState::UpdatingInstaller: return "UpdatingInstaller";
        case PageState::Blank: return "Blank";
        case PageState::Ready: return "Ready";
        case PageState::Downloading: return "Downloading";
        case PageState::Installing: return "Installing";
        case PageState::Complete: return "Complete";
        case PageState::Error: return "Error";
    }
    return "?";
}

class RecordingWindow : public InstallerWindow {
public:
    void SetPageState(PageState state) override {
        Record(std::string("page ") + PageName(state));
        if (onPage) onPage(state);
    }
    void SetErrorTextId(int id) override { errorTextId = id; Record("error " + std::to_string(id)); }
    void SetProgressPos(int position) override {
        position_ = position;
        Record("pos " + std::to_string(position));
    }
    int GetProgressPos() override { return position_; }
    void ReportPercent(int percent) override {
        // As the window does: frozen while the cancel confirmation is open.
        if (exitPromptOpen) return;
        position_ = percent * 10;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            percents.push_back(percent);
        }
        if (onPercent) onPercent(percent);
    }
    void SetProgressTarget(int target) override {
        progressTarget = target;
        Record("target " + std::to_string(target));
    }
    void StartProgressCreep() override { creepRunning = true; Record("creep on"); }
    void StopProgressCreep() override { creepRunning = false; Record("creep off"); }
    bool IsExitPromptOpen() override { return exitPromptOpen; }
    bool IsExitConfirmed() override { return exitConfirmed; }
    std::wstring GetInstallPath() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return installPath;
    }
    RECT GetWindowRectangle() override { return rect; }
    void Close() override { closed = true; Record("close"); }

    // Every request but the percent reports, in order.
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls;
    }
    // Only the page changes, in order ("Checking", "Ready", ...).
    std::vector<std::string> Pages() {
        std::vector<std::string> pages;
        for (const auto& call : Calls())
            if (call.rfind("page ", 0) == 0) pages.push_back(call.substr(5));
        return pages;
    }
    std::vector<int> Percents() {
        std::lock_guard<std::mutex> lock(mutex_);
        return percents;
    }
    void SetInstallPath(const std::wstring& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        installPath = path;
    }

    std::atomic<bool> exitPromptOpen{false};
    std::atomic<bool> exitConfirmed{false};
    std::atomic<bool> closed{false};
    std::atomic<bool> creepRunning{false};
    std::atomic<int> errorTextId{0};
    std::atomic<int> progressTarget{0};
    RECT rect{120, 80, 1080, 680};  // left, top, right, bottom
    // Called on the flow's thread after each page change (for example to open the prompt).
    std::function<void(PageState)> onPage;
    // Called on the flow's thread after each percent report the window took.
    std::function<void(int)> onPercent;

private:
    void Record(std::string call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls.push_back(std::move(call));
    }

    std::mutex mutex_;
    std::vector<std::string> calls;
    std::vector<int> percents;
    std::wstring installPath;
    std::atomic<int> position_{0};
};
