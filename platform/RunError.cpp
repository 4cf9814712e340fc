#include "platform/RunError.h"

#include <cerrno>
#include <cstdio>

namespace rt {

std::string IoMessage(int code)
{
    switch (code) {
    case kIoFileNotFound: return "нет такого файла или папки";
    case kIoPathNotFound: return "часть пути не папка";
    case kIoTooManyOpenFiles: return "открыто слишком много файлов";
    case kIoAccessDenied: return "нет прав доступа";
    case kIoReadOnly: return "файловая система только для чтения";
    case kIoReadBeyondEof: return "чтение за концом файла";
    case kIoDiskFull: return "нет места на диске";
    default: {
        char buf[48];
        std::snprintf(buf, sizeof buf, "ошибка ввода-вывода %d", code);
        return buf;
    }
    }
}

int IoCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return kIoFileNotFound;
    case ENOTDIR: return kIoPathNotFound;
    case EMFILE:
    case ENFILE: return kIoTooManyOpenFiles;
    case EACCES:
    case EPERM: return kIoAccessDenied;
    case EROFS: return kIoReadOnly;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kIoDiskFull;
    default:
        // Other errno values keep their number unless it is one of the codes
        // above, which would name the wrong failure: those are moved past 1000.
        switch (err) {
        case kIoFileNotFound:
        case kIoPathNotFound:
        case kIoTooManyOpenFiles:
        case kIoAccessDenied:
        case kIoReadBeyondEof:
        case kIoDiskFull:
        case kIoReadOnly: return 1000 + err;
        default: return err;
        }
    }
}

void RaiseIo(int code) { throw EInOutError(code, IoMessage(code)); }

void RaiseIoErrno(int err) { RaiseIo(IoCodeFromErrno(err)); }

void RaiseIo(int code, const std::string& path) { throw EInOutError(code, path + ": " + IoMessage(code)); }

void RaiseIoErrno(int err, const std::string& path) { RaiseIo(IoCodeFromErrno(err), path); }

void RaiseNotRegular(const std::string& path)
{
    throw EInOutError(kIoNotRegularFile, path + ": не обычный файл (папка, канал или устройство)");
}

namespace {
[[noreturn]] void RaiseConvert(const QString& text)
{
    throw EConvertError(QStringLiteral("«%1» не целое число").arg(text).toStdString());
}
} // namespace

int32_t StrToInt(const QString& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        RaiseConvert(text);
    long long value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            RaiseConvert(text);
        value = value * base + digit;
        if (value > 0x80000000LL)
            RaiseConvert(text);
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        RaiseConvert(text);
    return static_cast<int32_t>(value);
}

QString Trim(const QString& text)
{
    int b = 0, e = text.size();
    while (b < e && text[b].unicode() <= u' ')
        ++b;
    while (e > b && text[e - 1].unicode() <= u' ')
        --e;
    return text.mid(b, e - b);
}

} // namespace rt
