// A dialog held in memory: its controls' texts and states, a string table, scripted answers
// to file dialogs, and a record of the message boxes and the dialog's end.
#pragma once

#include "ui/DialogView.h"
#include "ui/FileDialogRequest.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

class MemoryDialogView : public DialogView {
public:
    struct Control {
        std::u16string text;
        bool enabled = true;
        bool visible = true;
        int check = 0;
        std::vector<std::u16string> items;
        int selection = -1;
    };
    struct MessageBox {
        std::u16string text;
        std::u16string caption;
        bool dialogEnded = false; // the dialog had already ended when the box was shown
    };

    // The workstation's string table.
    MemoryDialogView();

    Control& control(int id) { return controls_[id]; }
    std::map<unsigned, std::u16string>& strings() { return strings_; }

    // The next file dialog answers with the path as given, or is cancelled (nullopt). A path
    // that does not fit the request's file buffer fails the dialog, as the real one does.
    void answerFileDialog(std::optional<std::u16string> path) {
        answers_.push_back(std::move(path));
    }
    const std::vector<FileDialogRequest>& fileDialogs() const { return requests_; }
    const std::vector<MessageBox>& messageBoxes() const { return boxes_; }
    std::optional<int> dialogResult() const { return result_; }
    int waitDepth() const { return waitDepth_; }
    int waitCursorsShown() const { return waitCursorsShown_; }
    // In order: "disable ID", "enable ID", "paint", "discard" and "box CAPTION" (UTF-8).
    std::vector<std::string>& events() { return events_; }

    std::size_t textLength(int id) override { return controls_[id].text.size(); }
    void readText(int id, WindowTextBuffer& buffer) override;
    void setText(int id, std::u16string_view text) override { controls_[id].text = text; }
    void enable(int id, bool enabled) override;
    void checkRadio(int id) override { controls_[id].check = 1; }
    bool isRadioChecked(int id) override { return controls_[id].check != 0; }
    int checkState(int id) override { return controls_[id].check; }
    bool isVisible(int id) override { return controls_[id].visible; }
    void show(int id, bool shown) override { controls_[id].visible = shown; }
    void addComboItem(int id, std::u16string_view text) override {
        controls_[id].items.emplace_back(text);
    }
    void setComboSelection(int id, int index) override;
    int comboSelection(int id) override { return controls_[id].selection; }
    // Widths need a font: the Win32 tests check them through the real control.
    void fitDropDownWidth(int) override {}
    std::u16string loadString(unsigned id) override;
    FileDialogResult runFileDialog(FileDialogRequest& request) override;
    void messageBox(std::u16string_view text, std::u16string_view caption) override;
    void endDialog(int result) override { result_ = result; }
    void setWaitCursor(bool on) override;
    void paintNow() override { events_.emplace_back("paint"); }
    void discardInput() override { events_.emplace_back("discard"); }

private:
    std::map<int, Control> controls_;
    std::map<unsigned, std::u16string> strings_;
    std::deque<std::optional<std::u16string>> answers_;
    std::vector<FileDialogRequest> requests_;
    std::vector<MessageBox> boxes_;
    std::optional<int> result_;
    int waitDepth_ = 0;
    int waitCursorsShown_ = 0;
    std::vector<std::string> events_;
};
