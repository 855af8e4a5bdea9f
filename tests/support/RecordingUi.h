#pragma once
#include "midi/Ui.h"

#include <string>
#include <utility>
#include <vector>

namespace kwtest {

// Stands in for the main window: remembers what the core asked of it, in
// order, and behaves like the window where the core relies on it (the full
// refresh gives the window back).
class RecordingUi : public kw::Ui {
public:
    std::string statusLine = "OK";
    std::vector<std::string> statuses;       // every text shown, "OK" included
    std::vector<std::string> boxes;          // every box text shown, notices and answers
    std::vector<std::string> log;            // "status:..", "box:..", "answer:..", "busy:1", "refreshAll", ...
    bool inLamp = false, outLamp = false;
    int inLampOn = 0, outLampOn = 0;         // times a lamp was turned bright
    bool busy = false;
    // The window's one box: it stays up until closeBox(), as the user
    // closes it.
    kw::BoxContent box;
    // A dialog of the user's is up.
    bool dialog = false;
    int refreshAllCount = 0;
    int refreshLayerCount = 0;
    int showImageCount = 0;
    int selectedLine = -1;
    std::vector<std::pair<std::string, int>> knobs;
    std::vector<std::pair<int, std::string>> entries;

    void showStatus(const std::string& text) override
    {
        statusLine = text;
        statuses.push_back(text);
        log.push_back("status:" + text);
    }
    void setLamp(kw::Lamp lamp, bool bright) override
    {
        bool& l = lamp == kw::Lamp::In ? inLamp : outLamp;
        if (bright && !l)
            ++(lamp == kw::Lamp::In ? inLampOn : outLampOn);
        l = bright;
    }
    void messageBox(const std::string& text) override
    {
        boxes.push_back(text);
        log.push_back("box:" + text);
        box.notice(text);
    }
    void answerBox(const std::string& text, const std::string& topic) override
    {
        boxes.push_back(text);
        log.push_back("answer:" + text);
        box.answer(text, topic);
    }
    void withdrawBox(const std::string& topic) override { box.withdraw(topic); }
    bool messageBoxShown() const override { return box.up(); }
    void closeBox() { box.closed(); }
    bool dialogOpen() const override { return dialog; }
    void setBusy(bool b) override
    {
        busy = b;
        log.push_back(b ? "busy:1" : "busy:0");
    }
    void refreshAll() override
    {
        ++refreshAllCount;
        busy = false;
        log.push_back("refreshAll");
    }
    void refreshLayerPage() override { ++refreshLayerCount; }
    void showImage() override { ++showImageCount; }
    void selectUserPerf(int index) override
    {
        selectedLine = index;
        log.push_back("select:" + std::to_string(index));
    }
    void setUserPerfEntry(int index, const std::string& text) override { entries.emplace_back(index, text); }
    void followKnob(const std::string& control, int position) override { knobs.emplace_back(control, position); }
};

} // namespace kwtest
