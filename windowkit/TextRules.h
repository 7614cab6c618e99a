// Text rules for the translated resource strings and the controls' texts.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The pattern with %1 to %9 replaced by values[0] to values[8]; "%%" is one
// "%". A placeholder without a value, and any other "%", stay as written.
// Translations put the placeholders where their grammar needs them.
std::wstring FillPlaceholders(std::wstring_view pattern, std::span<const std::wstring> values);

// A control text's access key: the unit after the first single "&" ("&&" is
// a literal "&"), as written.
std::optional<wchar_t> AccessKeyOf(const std::wstring& text);

// Bytes as text by their byte-order mark: UTF-16 of either order, else
// UTF-8 (with its mark or none). A broken or cut sequence reads as U+FFFD.
std::wstring DecodeMarkedText(std::string_view bytes);
