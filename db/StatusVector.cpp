#include "StatusVector.h"

#include "Errors.h"

namespace orvelle::db {

std::string StatusVector::Message(const ClientApi& api) const {
    // isc_interprete advances the pointer, so it walks a copy of the vector.
    ISC_STATUS copy[ISC_STATUS_LENGTH];
    for (int i = 0; i < ISC_STATUS_LENGTH; ++i) {
        copy[i] = status_[i];
    }
    ISC_STATUS* cursor = copy;
    std::string message;
    char buffer[1024];
    for (int guard = 0; guard < ISC_STATUS_LENGTH; ++guard) {
        buffer[0] = '\0';
        if (api.isc_interprete(buffer, &cursor) <= 0) {
            break;
        }
        buffer[sizeof buffer - 1] = '\0';
        if (!message.empty() && message.back() != '\n') {
            message += "\r\n";
        }
        message += buffer;
    }
    if (!message.empty() && message.back() == '.') {
        message.pop_back();
    }
    return message;
}

void StatusVector::Raise(const ClientApi& api) const {
    const long sqlCode = api.isc_sqlcode(status_);
    const long errorCode = static_cast<long>(status_[1]);
    if (sqlCode == -551) {
        throw EIBInterBaseRoleError(Message(api), sqlCode, errorCode);
    }
    throw EIBInterBaseError(Message(api), sqlCode, errorCode);
}

} // namespace orvelle::db
