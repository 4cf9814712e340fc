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
    EXPECT_EQ(ConvertMessage(""), "'' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("14 "), "'14 ' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("Ошибка!"), "'Ошибка!' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("?!"), "'?!' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("-"), "'-' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("2147483648"), "'2147483648' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("-2147483649"), "'-2147483649' is not a valid integer value");
    EXPECT_EQ(ConvertMessage("99999999999999999999"), "'99999999999999999999' is not a valid integer value");
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
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(ENOENT)), "File not found");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EACCES)), "File access denied");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EMFILE)), "Too many open files");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(ENOSPC)), "Disk full");
    EXPECT_EQ(rt::IoMessage(rt::kIoReadBeyondEof), "Read beyond end of file");
    // EIO is 5, the number of "access denied": it must not read as one.
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EIO)), "I/O error 1005");
    EXPECT_EQ(rt::IoMessage(rt::IoCodeFromErrno(EBADF)), "I/O error 9");
}
