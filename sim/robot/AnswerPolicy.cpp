#include "AnswerPolicy.h"

#include "framework/StringFormat.h"

namespace robot {

AnswerChoice ChooseAnswer(const AnswerPolicy& policy, const std::wstring& caption, const std::wstring& text)
{
    std::wstring lowerCaption = plug::ToLower(caption);
    std::wstring lowerText = plug::ToLower(text);
    for (const AnswerRule& rule : policy.rules) {
        std::wstring part = plug::ToLower(rule.text);
        if (part.empty())
            continue;
        if (lowerCaption.find(part) != std::wstring::npos || lowerText.find(part) != std::wstring::npos)
            return {rule.answer, L"rule: " + rule.text};
    }
    return {policy.defaultAnswer, L"default"};
}

bool ParseAnswer(const std::wstring& word, Answer* answer)
{
    std::wstring lower = plug::ToLower(word);
    if (lower == L"ok")
        *answer = Answer::Ok;
    else if (lower == L"cancel")
        *answer = Answer::Cancel;
    else
        return false;
    return true;
}

const wchar_t* AnswerName(Answer answer) { return answer == Answer::Ok ? L"ok" : L"cancel"; }

} // namespace robot
