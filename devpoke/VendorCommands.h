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

struct ModeChangeResults {
    int first = 0;
    int second = 0;
    bool secondSent = false;
    // The result of the form sent last.
    int Last() const { return secondSent ? second : first; }
};

// The switch to modem mode through send (Devpoke's signature): the first form, and after a
// negative result the second form with secondFormLength bytes of answer (at most 1).
template <typename Send>
ModeChangeResults SendModeChange(Send send, int letter, int secondFormLength)
{
    unsigned char answer[1] = {0};
    if (secondFormLength > static_cast<int>(sizeof(answer)))
        secondFormLength = static_cast<int>(sizeof(answer)); // never more than the buffer holds
    ModeChangeResults results;
    results.first = send(letter, kModeCommand, kModeFirstForm, answer, 0);
    if (results.first < 0) {
        results.second = send(letter, kModeCommand, kModeSecondForm, answer, secondFormLength);
        results.secondSent = true;
    }
    return results;
}

} // namespace devpoke
