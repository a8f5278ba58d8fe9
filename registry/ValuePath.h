// How a registry value is named: a key path, a backslash and the value name. Portable: no
// Windows headers.
#pragma once

#include <string>

namespace plug {

struct ValuePath {
    std::wstring keyPath;   // relative to the root key; empty names the root key itself
    std::wstring valueName; // empty names the key's default (unnamed) value
};

// Splits at the last backslash: before it the key path, after it the value name. A path ending
// in a backslash names the key's default value; a path without one names a value of that name
// directly under the root key.
ValuePath SplitValuePath(const std::wstring& valuePath);

// "SOFTWARE\" + (baseKey + "\" when it is not empty) + key + "\" + valueName: the value path of
// the user and machine operations.
std::wstring SoftwareValuePath(const std::wstring& baseKey, const std::wstring& key, const std::wstring& valueName);

} // namespace plug
