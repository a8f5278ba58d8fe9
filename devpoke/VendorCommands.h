// The device's two vendor commands as Plugstart and its command service send them through
// Devpoke: the phone-setting query F1 02 20 and the switch to modem mode F1 01 01 / F1 01 81.
#pragma once

namespace devpoke {

constexpr int kPhoneSettingCommand = 0x02;
constexpr int kPhoneSettingParameter = 0x20;
constexpr int kPhoneSettingLength = 3; // bytes of answer

constexpr int kModeCommand = 0x01;
constexpr int kModeFirstForm = 0x01;  // no answer
constexpr int kModeSecondForm = 0x81; // sent only after the first form failed

// What the device said to the switch to modem mode: the first form's result, and the second
// form's when the first was refused (negative) and the second was sent.
class ModeChangeResults {
public:
    explicit ModeChangeResults(int first) : m_first(first), m_last(first) {}
    ModeChangeResults(int first, int second) : m_first(first), m_last(second) {}

    // The first form's result.
    int First() const { return m_first; }
    // The result of the form sent last: the second form's when it was sent, else the first's.
    int Last() const { return m_last; }

private:
    int m_first;
    int m_last;
};

// The answer the second form of the switch asks for: one byte when it goes to the device's own
// drive, none when it goes to another device's.
enum class SecondFormAnswer { None = 0, OneByte = 1 };

// The switch to modem mode through send (Devpoke's signature): the first form, and after a
// negative result the second form with the answer secondFormAnswer says.
template <typename Send>
ModeChangeResults SendModeChange(Send send, int letter, SecondFormAnswer secondFormAnswer)
{
    unsigned char answer[1] = {0};
    const int first = send(letter, kModeCommand, kModeFirstForm, answer, 0);
    if (first >= 0)
        return ModeChangeResults(first);
    const int answerLength = static_cast<int>(secondFormAnswer); // at most the one byte of answer
    return ModeChangeResults(first, send(letter, kModeCommand, kModeSecondForm, answer, answerLength));
}

} // namespace devpoke
