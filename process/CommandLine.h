// What the program makes of its command line. It needs none: the one
// argument it knows comes from the start at sign-in, and anything else is
// ignored.
#pragma once

#include <string_view>

// The argument of the start at sign-in (the system's Run entry): the
// settings window stays hidden until the hot key or a second start asks for it.
inline constexpr wchar_t kSignInArgument[] = L"/signin";

// Whether the command line's arguments (the program's name already taken
// off, as wWinMain gets them) hold kSignInArgument, in any letter case, in
// double quotes or not.
bool IsSignInStart(std::wstring_view arguments);
