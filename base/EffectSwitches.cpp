// Reading --effects.
#include "base/EffectSwitches.h"

bool parseEffectSwitches(const std::string& digits, EffectSwitches& switches)
{
    if (digits.size() != effectCount)
        return false;
    EffectSwitches read(effectCount, false);
    for (size_t i = 0; i < effectCount; ++i) {
        if (digits[i] != '0' && digits[i] != '1')
            return false;
        read[i] = digits[i] == '1';
    }
    switches = read;
    return true;
}
