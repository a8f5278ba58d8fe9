// Which button the robot presses: the first rule whose text occurs in a box's caption or text
// (ignoring case) decides; else the default answer.
#pragma once

#include <string>
#include <vector>

namespace robot {

enum class Answer { Ok, Cancel };

struct AnswerRule {
    std::wstring text; // a part of the caption or of the text
    Answer answer = Answer::Ok;
};

struct AnswerPolicy {
    Answer defaultAnswer = Answer::Ok;
    std::vector<AnswerRule> rules;
};

struct AnswerChoice {
    Answer answer = Answer::Ok;
    std::wstring reason; // "rule: <text>" or "default"
};

AnswerChoice ChooseAnswer(const AnswerPolicy& policy, const std::wstring& caption, const std::wstring& text);

// "ok" or "cancel" (any case) into *answer; false for anything else.
bool ParseAnswer(const std::wstring& word, Answer* answer);
const wchar_t* AnswerName(Answer answer);

} // namespace robot
