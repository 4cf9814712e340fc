#pragma once
// Run-time errors of file operations and number conversions, and the guard
// every event handler runs through.
//
// A failing file step raises EInOutError carrying the program's message
// ("x.fon: нет такого файла или папки", "нет места на диске", ...); a text
// that is not a whole number raises EConvertError ("«%s» не целое число").
// Handlers do not
// catch them: the guard abandons the handler at the failing step and reports
// the message through the application's error report (ErrorReport.h).
#include <QString>
#include <stdexcept>
#include <string>

namespace rt {

/// Base of the run-time errors; what() is the UTF-8 message shown.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Input/output error with its numeric code.
class EInOutError : public RunError {
public:
    EInOutError(int code, const std::string& message) : RunError(message), Code(code) {}
    int Code;
};

/// A text that is not a whole number.
class EConvertError : public RunError {
public:
    using RunError::RunError;
};

/// I/O error codes with messages of their own.
inline constexpr int kIoFileNotFound = 2;
inline constexpr int kIoPathNotFound = 3;
inline constexpr int kIoTooManyOpenFiles = 4;
inline constexpr int kIoAccessDenied = 5;
inline constexpr int kIoReadBeyondEof = 100;
inline constexpr int kIoDiskFull = 101;
/// A file system mounted read-only (EROFS), apart from a denied permission.
inline constexpr int kIoReadOnly = 150;
/// A name that is not a regular file (a pipe, a device, a directory).
inline constexpr int kIoNotRegularFile = 2001;

/// The message of an I/O error code: the fixed texts above, else "ошибка
/// ввода-вывода %d".
std::string IoMessage(int code);
/// Maps an errno value onto an I/O error code (an errno that would collide
/// with one of the codes above becomes 1000 + errno).
int IoCodeFromErrno(int err);
/// Raises EInOutError for `code`.
[[noreturn]] void RaiseIo(int code);
/// Raises EInOutError for the errno value `err`.
[[noreturn]] void RaiseIoErrno(int err);
/// The same, with the message "<path>: <text>" naming the file.
[[noreturn]] void RaiseIo(int code, const std::string& path);
[[noreturn]] void RaiseIoErrno(int err, const std::string& path);
/// Raises EInOutError "<path>: не обычный файл (…)".
[[noreturn]] void RaiseNotRegular(const std::string& path);

/// Converts a whole number: leading blanks are skipped, an optional sign,
/// decimal digits (or "$"/"0x" and hex digits); anything else, trailing
/// blanks included, or a value outside 32 bits raises EConvertError.
int32_t StrToInt(const QString& text);
/// Removes leading and trailing blanks and control characters.
QString Trim(const QString& text);

} // namespace rt
