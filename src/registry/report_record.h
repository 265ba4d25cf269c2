// The record format of the report file, shared by its link and advisory sections: fields joined by
// single commas, each record ended by CR LF, text fields in double quotation marks.
#pragma once

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

namespace quill {

// The value between double quotation marks; a quotation mark inside is doubled, so a value can
// neither end its field early nor forge a record of its own.
std::string ReportTextField(std::string_view value);

// Writes one record of fields already formatted (text fields quoted, numbers as digits).
void WriteReportRecord(std::ostream& file, std::initializer_list<std::string> fields);

}  // namespace quill
