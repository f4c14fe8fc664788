#include "ParameterBlock.h"

#include "ClientLibrary.h"
#include "Errors.h"

#include <algorithm>
#include <cctype>

namespace orvelle::db {

namespace {

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c <= ' '; });
}

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

int itemFor(const std::string& name) {
    if (name == "user_name") {
        return isc_dpb_user_name;
    }
    if (name == "password") {
        return isc_dpb_password;
    }
    return 0;
}

} // namespace

std::string BuildDatabaseParameterBlock(const std::vector<std::string>& lines, bool utf8FileName) {
    std::string block(1, static_cast<char>(isc_dpb_version1));
    for (const std::string& line : lines) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue; // a line without "=" names nothing
        }
        const std::string rawName = line.substr(0, equals);
        if (isBlank(rawName)) {
            continue;
        }
        std::string name = lowered(rawName);
        static const std::string prefix = "isc_dpb_";
        if (name.compare(0, prefix.size(), prefix) == 0) {
            name.erase(0, prefix.size());
        }
        const int item = itemFor(name);
        if (item == 0) {
            throw EIBClientError("DPB Constant (" + rawName + ") is unknown");
        }
        const std::string value = line.substr(equals + 1);
        if (value.size() > 255) {
            // The item's length is one byte; a longer value would corrupt the block.
            throw EIBClientError("DPB value of (" + rawName + ") is longer than 255 bytes");
        }
        block += static_cast<char>(item);
        block += static_cast<char>(value.size());
        block += value;
    }
    if (utf8FileName) {
        block += static_cast<char>(isc_dpb_utf8_filename);
        block += '\0';
    }
    return block;
}

} // namespace orvelle::db
