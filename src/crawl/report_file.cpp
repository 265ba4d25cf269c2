#include "crawl/report_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "advisories/syntax_checker.h"
#include "registry/link_statistics.h"

namespace quill {

void WriteReport(std::ostream& file) {
    LinkStatistics::WriteLinkReport(file);
    SyntaxChecker::WriteAdvisoryReport(file);
}

std::string SaveReport(const std::string& path) {
    // Binary mode: the records carry their own CR LF line ends.
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return std::strerror(errno);
    }
    WriteReport(file);
    file.flush();
    if (!file) {
        return std::strerror(errno != 0 ? errno : EIO);
    }
    file.close();
    if (file.fail()) {
        return std::strerror(errno != 0 ? errno : EIO);
    }
    return "";
}

}  // namespace quill
