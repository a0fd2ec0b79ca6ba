// Every text the program writes and every number buffer it formats into. Each text keeps
// TEXT_SLACK readable bytes after its terminator (see STATIC_TEXT).
#pragma once

#include "console/text.h"

constexpr int KERNEL_COUNT = 12;

extern const char LINE_END_TEXT[];
extern const char PROMPT_TEXT[];

extern const char BASELINE_RULE_TEXT[];
extern const char BASELINE_TITLE_TEXT[];
extern const char EMPTY_PROCEDURE_LABEL[];

extern const char PASS_RULE_TEXT[];
extern const char POSITIVE_PASS_TITLE[];
extern const char NEGATIVE_PASS_TITLE[];

extern const char ABS0_LABEL[];
extern const char ABS1_LABEL[];
extern const char ABS2_LABEL[];
extern const char ABS3_LABEL[];
extern const char ABS4_LABEL[];
extern const char ABS5_LABEL[];
extern const char ABS6_LABEL[];
extern const char ABS7_LABEL[];
extern const char ABS8_LABEL[];
extern const char ABS9_LABEL[];
extern const char ABS10_LABEL[];
extern const char ABS11_LABEL[];

// The labels in table order, for readers of the report.
extern const char* const KERNEL_LABELS[KERNEL_COUNT];

extern char baseline_number_text[NUMBER_TEXT_SIZE];
extern char kernel_number_texts[KERNEL_COUNT][NUMBER_TEXT_SIZE];
