#pragma once

#include "ClientLibrary.h"

#include <string>

namespace orvelle::db {

// The status vector every client call fills, and the exception a failed call becomes.
class StatusVector {
public:
    ISC_STATUS* Data() { return status_; }
    const ISC_STATUS* Data() const { return status_; }
    bool Failed() const { return status_[0] == 1 && status_[1] != 0; }
    ISC_STATUS ErrorCode() const { return status_[1]; }

    // The texts of isc_interprete joined by CR LF, without a final full stop.
    std::string Message(const ClientApi& api) const;
    // Raises EIBInterBaseError (EIBInterBaseRoleError for SQLCODE -551).
    [[noreturn]] void Raise(const ClientApi& api) const;
    // Raises when the last call failed.
    void Check(const ClientApi& api) const {
        if (Failed()) {
            Raise(api);
        }
    }

private:
    ISC_STATUS status_[ISC_STATUS_LENGTH] = {};
};

} // namespace orvelle::db
