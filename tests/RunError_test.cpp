// Conversion and I/O error messages the operator sees.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/RunError.h"

namespace {

std::string ConvertMessage(const QString& text)
{
    try {
        rt::StrToInt(text);
    } catch (const rt::EConvertError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(StrToInt, AcceptsWholeNumbersWithLeadingBlanksAndSign)
{
    EXPECT_EQ(rt::StrToInt("14"), 14);
    EXPECT_EQ(rt::StrToInt("   7"), 7);
    EXPECT_EQ(rt::StrToInt("-128"), -128);
    EXPECT_EQ(rt::StrToInt("+5"), 5);
    EXPECT_EQ(rt::StrToInt("$1F"), 31);
    EXPECT_EQ(rt::StrToInt("2147483647"), INT32_MAX);
    EXPECT_EQ(rt::StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RejectsEverythingElseWithTheRunTimeMessage)
{
    EXPECT_EQ(ConvertMessage(""), "«» не целое число");
    EXPECT_EQ(ConvertMessage("14 "), "«14 » не целое число");
    EXPECT_EQ(ConvertMessage("Ошибка!"), "«Ошибка!» не целое число");
    EXPECT_EQ(ConvertMessage("?!"), "«?!» не целое число");
    EXPECT_EQ(ConvertMessage("-"), "«-» не целое число");
    EXPECT_EQ(ConvertMessage("2147483648"), "«2147483648» не целое число");
    EXPECT_EQ(ConvertMessage("-2147483649"), "«-2147483649» не целое число");
    EXPECT_EQ(ConvertMessage("99999999999999999999"), "«99999999999999999999» не целое число");
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds)
{
    EXPECT_EQ(rt::Trim("  1      "), "1");
    EXPECT_EQ(rt::Trim("\t 12\r\n"), "12");
    EXPECT_EQ(rt::Trim("1 2"), "1 2");
    EXPECT_EQ(rt::Trim("   "), "");
}

TEST(IoMessage, FixedTextsAndNumberedOthers)
{
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(ENOENT)), "нет такого файла или папки");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EACCES)), "нет прав доступа");
    // A read-only disk is no missing permission: it says so.
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EROFS)), "файловая система только для чтения");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EMFILE)), "открыто слишком много файлов");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(ENOSPC)), "нет места на диске");
    EXPECT_EQ(rt::IoMessage(rt::kIoReadBeyondEof), "чтение за концом файла");
    // EIO is 5, the number of "access denied": it must not read as one.
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EIO)), "ошибка ввода-вывода 1005");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EBADF)), "ошибка ввода-вывода 9");
}
