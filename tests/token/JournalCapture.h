// Attaches an in-memory list to the operation log for the lifetime of the object.
#pragma once

#include "support/Logger.h"
#include "MemoryListControl.h"

#include <memory>
#include <string>
#include <vector>

class JournalCapture {
public:
    JournalCapture() : list_(std::make_shared<MemoryListControl>()) {
        getLogger().setListBox(list_);
    }
    ~JournalCapture() { getLogger().setListBox(nullptr); }
    JournalCapture(const JournalCapture&) = delete;
    JournalCapture& operator=(const JournalCapture&) = delete;

    std::vector<std::string> lines() const { return list_->lines(); }
    void clear() { list_->clear(); }
    MemoryListControl& list() { return *list_; }

private:
    std::shared_ptr<MemoryListControl> list_;
};
