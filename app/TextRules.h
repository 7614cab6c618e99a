// Text rules for the translated resource strings.
#pragma once

#include <span>
#include <string>
#include <string_view>

// The pattern with %1 to %9 replaced by values[0] to values[8]; "%%" is one
// "%". A placeholder without a value, and any other "%", stay as written.
// Translations put the placeholders where their grammar needs them.
std::wstring FillPlaceholders(std::wstring_view pattern, std::span<const std::wstring> values);
