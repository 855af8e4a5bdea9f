#pragma once
// Dialogs that answer from a script and remember what they were asked.

#include "midi/Ui.h"
#include "session/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace kwtest {

class ScriptedDialogs : public kw::Dialogs {
public:
    // Answers, taken front first. An empty queue answers as a user who
    // presses Return: the first button, Yes, and no file, folder or line.
    std::deque<int> asks;
    std::deque<int> chooses;  // choose(): the button pressed; unscripted, the one before the last (go on)
    std::deque<bool> confirms;
    std::vector<Default> confirmDefaults;  // the button each confirm() had as its default
    std::deque<std::optional<std::string>> files;    // open and save alike
    std::deque<std::optional<std::string>> folders;
    std::deque<std::optional<int>> userPerfs;
    // Progress windows report cancel once their value reaches this.
    int cancelAt = -1;

    // What was asked and shown, in order: "ask:TEXT|FIRST|SECOND", "confirm:CAPTION: TEXT",
    // "inform:TEXT", "notice:TEXT", "answer:TEXT",
    // "open:TITLE|FILTER|FOLDER", "save:TITLE|FILTER|FOLDER|NAME", "folder:TITLE|START",
    // "userperf:CAPTION|BUTTON|SELECTED|TOP", "progress:TITLE|TEXT|MAX".
    std::vector<std::string> log;
    std::vector<std::string> questions;  // texts of ask and confirm, confirm as "CAPTION: TEXT"
    // Texts of every box shown: inform, notices and answers, in order.
    std::vector<std::string> boxes;
    std::vector<std::string> answers;    // the texts of answer() alone
    // The one box of notify() and answer(), as the program's: it stays up
    // until the test closes it, as the user would.
    kw::BoxContent box;
    void closeBox() { box.closed(); }
    std::vector<kw::UserPerfChoice> userPerfChoices;
    std::vector<int> progressValues;
    std::vector<std::string> progressTexts;

    int ask(const std::string& text, const std::string& first, const std::string& second) override
    {
        log.push_back("ask:" + text + "|" + first + "|" + second);
        questions.push_back(text);
        return take(asks, 1);
    }
    bool confirm(const std::string& caption, const std::string& text, Default byDefault = Default::Yes) override
    {
        confirmDefaults.push_back(byDefault);
        log.push_back("confirm:" + caption + ": " + text);
        questions.push_back(caption + ": " + text);
        return take(confirms, true);
    }
    int choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons) override
    {
        std::string line = "choose:" + caption + ": " + text;
        for (const std::string& b : buttons)
            line += "|" + b;
        log.push_back(line);
        questions.push_back(caption + ": " + text);
        return take(chooses, std::max(0, int(buttons.size()) - 2));
    }
    void inform(const std::string& text) override
    {
        log.push_back("inform:" + text);
        boxes.push_back(text);
    }
    std::vector<std::string> details;  // the details of each box that had them
    void inform(const std::string& text, const std::string& more) override
    {
        inform(text);
        details.push_back(more);
    }
    void notify(const std::string& text) override
    {
        log.push_back("notice:" + text);
        boxes.push_back(text);
        box.notice(text);
    }
    bool notifying() const override { return box.up(); }
    void answer(const std::string& text, const std::string& topic) override
    {
        log.push_back("answer:" + text);
        boxes.push_back(text);
        answers.push_back(text);
        box.answer(text, topic);
    }
    void withdraw(const std::string& topic) override { box.withdraw(topic); }
    std::optional<std::string> chooseOpenFile(const std::string& title, const std::string& filter,
                                              const std::string& folder) override
    {
        log.push_back("open:" + title + "|" + filter + "|" + folder);
        return take(files, std::optional<std::string>{});
    }
    std::optional<std::string> chooseSaveFile(const std::string& title, const std::string& filter,
                                              const std::string& folder, const std::string& name) override
    {
        log.push_back("save:" + title + "|" + filter + "|" + folder + "|" + name);
        return take(files, std::optional<std::string>{});
    }
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override
    {
        log.push_back("folder:" + title + "|" + start);
        return take(folders, std::optional<std::string>{});
    }
    std::optional<int> chooseUserPerf(const kw::UserPerfChoice& c) override
    {
        log.push_back("userperf:" + c.caption + "|" + c.buttonText + "|" + std::to_string(c.selected) + "|" +
                      std::to_string(c.topIndex));
        userPerfChoices.push_back(c);
        return take(userPerfs, std::optional<int>{});
    }
    std::unique_ptr<kw::Progress> progress(const std::string& title, const std::string& text, int maximum) override
    {
        log.push_back("progress:" + title + "|" + text + "|" + std::to_string(maximum));
        return std::make_unique<ScriptedProgress>(*this);
    }

private:
    class ScriptedProgress : public kw::Progress {
    public:
        explicit ScriptedProgress(ScriptedDialogs& d) : d_(d) {}
        void setValue(int v) override
        {
            value_ = v;
            d_.progressValues.push_back(v);
        }
        void setText(const std::string& t) override { d_.progressTexts.push_back(t); }
        bool cancelled() const override { return d_.cancelAt >= 0 && value_ >= d_.cancelAt; }
        void close() override { d_.log.push_back("progress closed"); }

    private:
        ScriptedDialogs& d_;
        int value_ = 0;
    };

    template <class T>
    static T take(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T v = std::move(queue.front());
        queue.pop_front();
        return v;
    }
};

} // namespace kwtest
