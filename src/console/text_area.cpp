#include "console/text_area.h"

STATIC_TEXT(LINE_END_TEXT, "\r\n");
STATIC_TEXT(PROMPT_TEXT, "Press any key to continue ...");

STATIC_TEXT(BASELINE_RULE_TEXT, "----------------------");
STATIC_TEXT(BASELINE_TITLE_TEXT, "empty procedure timing");
STATIC_TEXT(EMPTY_PROCEDURE_LABEL, " empty procedure\r\n");

STATIC_TEXT(PASS_RULE_TEXT, "-------------");
STATIC_TEXT(POSITIVE_PASS_TITLE, "positive pass");
STATIC_TEXT(NEGATIVE_PASS_TITLE, "negative pass");

char baseline_number_text[NUMBER_TEXT_SIZE];
