// The shell's window operations in memory: the events in order and the texts set.
#pragma once

#include "ui/Shell.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class MemoryShellView : public ShellView {
public:
    void attachLogList() override { events.push_back("attach"); }
    void setControlText(int id, std::u16string_view text) override { texts[id] = text; }
    void reportError(const std::exception& error) override {
        events.push_back(std::string("error: ") + error.what());
    }
    int runPinDialog() override {
        events.push_back("pin");
        return pinDialog ? pinDialog() : 1;
    }
    void postClose() override { events.push_back("close"); }
    void destroyPagesAndQuit() override { events.push_back("quit"); }
    void setWaitCursor(bool on) override { waitDepth += on ? 1 : -1; }
    void paintNow() override { events.push_back("paint"); }
    void discardInput() override {
        events.push_back("discard");
        if (whileDiscarding) {
            whileDiscarding(); // a message the system sends meanwhile
        }
    }

    std::map<int, std::u16string> texts;
    std::vector<std::string> events;
    std::function<int()> pinDialog;
    std::function<void()> whileDiscarding;
    int waitDepth = 0;
};
