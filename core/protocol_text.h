// The escaping of free texts (flight-plan remarks and route among them) for
// the protocol, so that a text cannot break its field and line structure.
#pragma once

#include <span>
#include <string>

// ':' → ';', then CR → '%', then LF → '&', in place up to the terminator.
// A null text is left alone.
void EscapeProtocolText(char* text);
void EscapeProtocolText(std::string& text);
// The same within a fixed field, never past its end.
void EscapeProtocolText(std::span<char> field);
// How the settings file gives route and remarks back: ':' → ';', '%' → CR,
// '&' → LF, up to the terminator and never past the field's end.
void UnescapeLineBreaks(std::span<char> field);
