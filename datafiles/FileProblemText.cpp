#include "datafiles/FileProblemText.h"

#include <cerrno>
#include <cstring>

namespace datafiles {

std::string ErrnoText(int err)
{
    switch (err) {
    case ENOENT: return "нет такого файла или папки";
    case ENOTDIR: return "часть пути не папка";
    case EACCES:
    case EPERM: return "нет доступа";
    case EROFS: return "файловая система только для чтения";
    case ENOSPC:
    case EDQUOT: return "нет места на диске";
    case EFBIG: return "файл слишком велик";
    case EISDIR: return "это папка";
    case EEXIST: return "файл уже есть";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case ENAMETOOLONG: return "слишком длинное имя";
    case ELOOP: return "слишком много символических ссылок";
    case EIO: return "ошибка ввода-вывода";
    default: return "ошибка " + std::to_string(err) + " (" + std::strerror(err) + ")";
    }
}

std::string ReadFaultText(const ReadState& s)
{
    switch (s.Fault) {
    case ReadFault::None: return {};
    case ReadFault::OpenFailed: return "не открывается: " + ErrnoText(s.Errno);
    case ReadFault::NotRegular: return "не обычный файл (папка, канал или устройство), не читается";
    case ReadFault::ReadFailed:
        return "ошибка чтения после записи " + std::to_string(s.Done) + " (" + ErrnoText(s.Errno) +
               "), записи до неё прочитаны";
    case ReadFault::Shrunk:
        return "файл укоротился во время чтения, прочитано записей: " + std::to_string(s.Done);
    }
    return {};
}

std::string TornTailText(const ReadState& s)
{
    if (s.TailBytes <= 0)
        return {};
    return "неполная последняя запись (" + std::to_string(s.TailBytes) + " байт) после " +
           std::to_string(s.Records) + " целых записей, прочитаны только целые";
}

std::string NotDataFileText() { return "не файл данных (имя оканчивается не на .fon и не на .Rad)"; }

std::string About(const std::string& path, const std::string& text) { return path + ": " + text; }

} // namespace datafiles
