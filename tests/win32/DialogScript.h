// Answers the dialogs and message boxes that the code under test opens on this thread: a CBT
// hook notes each new owned dialog as it is activated, and a thread timer, which every
// message loop of the thread dispatches (the program's, a modal dialog's, a message box's),
// reads its texts and hands it to the test's answer. The same timer is the watchdog: when the
// time is up it posts the quit message, which ends every modal loop and then the outer one.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

inline std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

class DialogScript {
public:
    static constexpr int kMessageBoxText = 0xFFFF;
    static constexpr int kFileNameCombo = 0x47c;
    static constexpr WPARAM kTimedOut = 77; // exit code of the watchdog's quit message
    static constexpr UINT kSettled = WM_APP + 77;

    struct Seen {
        std::wstring caption;
        std::wstring text; // a message box's text; empty for other dialogs
    };
    using Answer = std::function<void(HWND dialog)>;

    explicit DialogScript(std::chrono::seconds limit)
        : deadline_(std::chrono::steady_clock::now() + limit) {
        current_ = this;
        hook_ = SetWindowsHookExW(WH_CBT, hookProcedure, nullptr, GetCurrentThreadId());
        timer_ = SetTimer(nullptr, 0, 20, timerProcedure);
    }
    ~DialogScript() {
        KillTimer(nullptr, timer_);
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    void setAnswer(Answer answer) { answer_ = std::move(answer); }
    const std::vector<Seen>& seen() const { return seen_; }
    bool timedOut() const { return timedOut_; }

    // Dispatches this thread's messages until `done` holds (checked between messages of the
    // outer loop, so never while a modal dialog runs), the quit message arrives or the time is
    // up; whether `done` held.
    bool pumpUntil(const std::function<bool()>& done) {
        MSG message{};
        while (!done()) {
            if (timedOut_) {
                return false;
            }
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) == FALSE) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
                continue;
            }
            if (message.message == kSettled && message.hwnd == nullptr) {
                settled_ = true;
                continue;
            }
            if (message.message == WM_QUIT) {
                quitSeen_ = true;
                return done();
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return true;
    }
    bool quitSeen() const { return quitSeen_; }

    // Dispatches what is queued now, and what that posts in turn before the marker; whether
    // the loop goes on (no quit message).
    bool settle() {
        settled_ = false;
        PostThreadMessageW(GetCurrentThreadId(), kSettled, 0, 0);
        pumpUntil([this] { return settled_; });
        return !quitSeen_;
    }

    // Answers a common file dialog: the name typed into its name field, then OK; no name
    // cancels.
    static void typeFileName(HWND dialog, const std::wstring& name) {
        if (name.empty()) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        HWND combo = GetDlgItem(dialog, kFileNameCombo);
        auto edit = reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0));
        SetWindowTextW(edit != nullptr ? edit : combo, name.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    static bool isFileDialog(HWND dialog) { return GetDlgItem(dialog, kFileNameCombo) != nullptr; }

private:
    static LRESULT CALLBACK hookProcedure(int code, WPARAM wParam, LPARAM lParam) {
        if (current_ != nullptr && code >= 0) {
            auto window = reinterpret_cast<HWND>(wParam);
            auto& known = current_->known_;
            if (code == HCBT_ACTIVATE && GetWindow(window, GW_OWNER) != nullptr &&
                std::find(known.begin(), known.end(), window) == known.end()) {
                known.push_back(window);
                current_->pending_.push_back(window);
            } else if (code == HCBT_DESTROYWND) {
                // Handles come back; a later window with this one's handle is new.
                std::erase(known, window);
                std::erase(current_->pending_, window);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static void CALLBACK timerProcedure(HWND, UINT, UINT_PTR, DWORD) {
        DialogScript* script = current_;
        if (script == nullptr || script->answering_) {
            return;
        }
        if (!script->timedOut_ && std::chrono::steady_clock::now() > script->deadline_) {
            script->timedOut_ = true;
            PostQuitMessage(static_cast<int>(kTimedOut));
            return;
        }
        script->answering_ = true;
        while (!script->pending_.empty()) {
            HWND dialog = script->pending_.front();
            script->pending_.erase(script->pending_.begin());
            HWND text = GetDlgItem(dialog, kMessageBoxText);
            script->seen_.push_back(
                {windowText(dialog), text != nullptr ? windowText(text) : std::wstring()});
            if (script->answer_) {
                script->answer_(dialog);
            }
        }
        script->answering_ = false;
    }

    static inline DialogScript* current_ = nullptr;
    std::chrono::steady_clock::time_point deadline_;
    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    Answer answer_;
    std::vector<HWND> known_;
    std::vector<HWND> pending_;
    std::vector<Seen> seen_;
    bool answering_ = false;
    bool timedOut_ = false;
    bool quitSeen_ = false;
    bool settled_ = false;
};
