// The comma-field splitter shared by the command handlers and the scaler
// function parser.
#pragma once

// Skips leading tabs, blanks, LF and CR at *cursor (moving *cursor to the
// field). Returns 0 when the text is exhausted. Otherwise sets *next just
// behind the next ',' (nullptr when there is none) and returns the field's
// length without trailing tabs, blanks, LF and CR. The field is not
// terminated in place: compare with the returned length.
int get_param(char** cursor, char** next);
int get_param(const char** cursor, const char** next);
