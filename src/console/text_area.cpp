#include "console/text_area.h"

STATIC_TEXT(LINE_END_TEXT, "\r\n");
STATIC_TEXT(PROMPT_TEXT, "Press any key to continue ...");

STATIC_TEXT(BASELINE_RULE_TEXT, "----------------------");
STATIC_TEXT(BASELINE_TITLE_TEXT, "empty procedure timing");
STATIC_TEXT(EMPTY_PROCEDURE_LABEL, " empty procedure\r\n");

STATIC_TEXT(PASS_RULE_TEXT, "-------------");
STATIC_TEXT(POSITIVE_PASS_TITLE, "positive pass");
STATIC_TEXT(NEGATIVE_PASS_TITLE, "negative pass");

STATIC_TEXT(ABS0_LABEL, " abs0 tovak\r\n");
STATIC_TEXT(ABS1_LABEL, " abs1 dravispo\r\n");
STATIC_TEXT(ABS2_LABEL, " abs2 zemu 1\r\n");
STATIC_TEXT(ABS3_LABEL, " abs3 quendis 1\r\n");
STATIC_TEXT(ABS4_LABEL, " abs4 quendis 2\r\n");
STATIC_TEXT(ABS5_LABEL, " abs5 wobla\r\n");
STATIC_TEXT(ABS6_LABEL, " abs6 kebrun\r\n");
STATIC_TEXT(ABS7_LABEL, " abs7 falno 1\r\n");
STATIC_TEXT(ABS8_LABEL, " abs8 falno 2\r\n");
STATIC_TEXT(ABS9_LABEL, " abs9 Ostrabine 1\r\n");
STATIC_TEXT(ABS10_LABEL, " abs10 Ostrabine 2\r\n");
STATIC_TEXT(ABS11_LABEL, " abs11 zemu 2\r\n");

const char* const KERNEL_LABELS[KERNEL_COUNT] = {
    ABS0_LABEL, ABS1_LABEL, ABS2_LABEL, ABS3_LABEL, ABS4_LABEL,  ABS5_LABEL,
    ABS6_LABEL, ABS7_LABEL, ABS8_LABEL, ABS9_LABEL, ABS10_LABEL, ABS11_LABEL,
};

char baseline_number_text[NUMBER_TEXT_SIZE];
char kernel_number_texts[KERNEL_COUNT][NUMBER_TEXT_SIZE];
