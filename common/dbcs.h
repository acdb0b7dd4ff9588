#pragma once

// Whether a byte starts a double-byte character of the system code page,
// so that searches for a separator step over both bytes: in code page 932
// a trail byte can be a backslash (ソ is 83 5C) or a comma (0x2C is not a
// trail byte there, but other code pages may differ).
bool IsLeadByte(unsigned char byte);

// The number of bytes of the character at text: 2 for a lead byte followed
// by a trail byte, else 1 (a lead byte before the end of the text is
// taken alone, so a search never steps past the terminating zero).
int CharacterLength(const char* text);
