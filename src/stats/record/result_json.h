// The result record as JSON, and back: a file that does not hold one whole, of a schema this
// program reads, is refused with one short reason.
#pragma once

#include <string>
#include <variant>

#include "stats/record/result_record.h"

namespace stats {

std::string ResultToJson(const ResultRecord& record);

// The record, or what is wrong with the text (without the file's name).
std::variant<ResultRecord, std::string> ResultFromJson(const std::string& text);

// The record in the file at `path`, read up to RESULT_FILE_BOUND; or "PATH: what is wrong".
std::variant<ResultRecord, std::string> ReadResultFile(const std::string& path);

}  // namespace stats
