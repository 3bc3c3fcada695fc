// The exception family of the conduit and text formatting.
// Everything that fails inside the library throws an Exception (or a class
// derived from it); the exports turn those into return codes.
#pragma once
#include <exception>
#include <string>

namespace rtl {

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The system's text for an error code (GetLastError, an HRESULT) as a
// phrase to go inside a sentence: on one line, without its final full stop;
// empty when the system has none.
std::string SystemMessage(unsigned long code);

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// The silent abort: ends an operation without anything being shown.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
    using Exception::Exception;
};

// A settings file that could not be written.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// A failed internal check; its message names where the check stands.
class EAssertionFailed : public Exception {
public:
    EAssertionFailed(const char* unit, int line)
        : Exception(Format("%s (%s, line %d)", "Assertion failure", unit, line)) {}
};

}  // namespace rtl
