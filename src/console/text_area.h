// The fixed texts of the report and the baseline's number buffer. Each text keeps TEXT_SLACK
// readable bytes after its terminator (see STATIC_TEXT).
#pragma once

#include "console/text.h"

extern const char LINE_END_TEXT[];
extern const char PROMPT_TEXT[];

extern const char BASELINE_RULE_TEXT[];
extern const char BASELINE_TITLE_TEXT[];
extern const char EMPTY_PROCEDURE_LABEL[];

extern const char PASS_RULE_TEXT[];
extern const char POSITIVE_PASS_TITLE[];
extern const char NEGATIVE_PASS_TITLE[];

extern char baseline_number_text[NUMBER_TEXT_SIZE];
