#pragma once
// The one exception type of the program. Its message is Shift-JIS bytes, exactly as the user
// will read it; whoever shows it converts it for display.

#include <exception>
#include <string>
#include <string_view>

namespace kompa {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A failure that belongs to one line of a file the program read (a line of a build source): the
// message as it stands, and the line, counted from 1, for whoever shows it to put before it.
class LineError : public Exception {
public:
    LineError(std::string message, long long line) : Exception(std::move(message)), line_(line) {}
    long long Line() const noexcept { return line_; }

private:
    long long line_;
};

// Fills the first "%s" of pattern with arg (bytes, unchanged).
std::string FormatMessage(std::string_view pattern, std::string_view arg);
// Fills the first "%d" of pattern with the decimal value.
std::string FormatMessage(std::string_view pattern, long long value);

[[noreturn]] void Raise(std::string message);

} // namespace kompa
