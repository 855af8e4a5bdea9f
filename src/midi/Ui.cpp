#include "midi/Ui.h"

#include <algorithm>

namespace kw {

void BoxContent::notice(std::string text)
{
    answers_.clear();
    text_ = std::move(text);
    up_ = true;
}

void BoxContent::answer(std::string text, const std::string& topic)
{
    if (!showsAnswers())
        answers_.clear();
    if (!topic.empty())
        std::erase_if(answers_, [&](const auto& a) { return a.first == topic; });
    answers_.emplace_back(topic, std::move(text));
    up_ = true;
    compose();
}

bool BoxContent::withdraw(const std::string& topic)
{
    if (!showsAnswers() || topic.empty())
        return false;
    const size_t before = answers_.size();
    std::erase_if(answers_, [&](const auto& a) { return a.first == topic; });
    if (answers_.size() == before)
        return false;
    if (answers_.empty())
        closed();
    else
        compose();
    return true;
}

void BoxContent::closed()
{
    up_ = false;
    answers_.clear();
    text_.clear();
}

void BoxContent::compose()
{
    text_.clear();
    for (const auto& a : answers_)
        text_ += (text_.empty() ? "" : "\n\n") + a.second;
}

} // namespace kw
