#include "registry/report_record.h"

namespace quill {

std::string ReportTextField(std::string_view value) {
    std::string field = "\"";
    for (char c : value) {
        field += c;
        if (c == '"') {
            field += '"';
        }
    }
    field += '"';
    return field;
}

void WriteReportRecord(std::ostream& file, std::initializer_list<std::string> fields) {
    const char* separator = "";
    for (const std::string& field : fields) {
        file << separator << field;
        separator = ",";
    }
    file << "\r\n";
}

}  // namespace quill
