#pragma once

#include <exception>
#include <string>

namespace orvelle::db {

// Root of every failure the components raise. Messages are single-byte text
// (Windows-1251 where they carry names or server text).
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const { return message_; }
    // The kind of the failure, as the start-up error box names it.
    virtual const char* ClassName() const { return "Exception"; }

private:
    std::string message_;
};

// A failed lookup of an entry point in the client library.
class EOSError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EOSError"; }
};

// Failures of the query object itself ("Field '%s' not found", ...).
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EDatabaseError"; }
};

class EIBError : public EDatabaseError {
public:
    EIBError(std::string message, long sqlCode = 0, long ibErrorCode = 0)
        : EDatabaseError(std::move(message)), sqlCode_(sqlCode), ibErrorCode_(ibErrorCode) {}
    long SQLCode() const { return sqlCode_; }
    long IBErrorCode() const { return ibErrorCode_; }
    const char* ClassName() const override { return "EIBError"; }

private:
    long sqlCode_;
    long ibErrorCode_;
};

// A call into the client library that reported failure.
class EIBInterBaseError : public EIBError {
public:
    using EIBError::EIBError;
    const char* ClassName() const override { return "EIBInterBaseError"; }
};

// The same, for SQLCODE -551 (no permission).
class EIBInterBaseRoleError : public EIBError {
public:
    using EIBError::EIBError;
    const char* ClassName() const override { return "EIBInterBaseRoleError"; }
};

// Misuse caught before any call, and a missing client library.
class EIBClientError : public EIBError {
public:
    explicit EIBClientError(std::string message) : EIBError(std::move(message)) {}
    const char* ClassName() const override { return "EIBClientError"; }
};

} // namespace orvelle::db
