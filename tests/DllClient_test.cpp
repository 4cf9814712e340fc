// Finding and loading the driver library through the hive.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "driver/ADC_Errors.h"
#include "driver/DllClient.h"
#include "driver/VT_Drivers.h"
#include "platform/Hive.h"

namespace {

class DllClientTest : public ::testing::Test {
protected:
    void SetUp() override { hive::SetHivePath(HiveFile()); }
    void TearDown() override { hive::SetHivePath({}); }
    std::string HiveFile() const { return dir_.filePath("registry.ini").toStdString(); }
    void WriteHive(const std::string& text) const { std::ofstream(HiveFile()) << text; }
    void* Load(TDllClient& c) const
    {
        return c.LoadDllFromRegistry(vt::Company, vt::Product, vt::Version, vt::Device, nullptr);
    }
    static std::string Key() { return "[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\n"; }

    QTemporaryDir dir_;
};

TEST_F(DllClientTest, NoHiveFileNoKeyOrNoValueYieldNothing)
{
    TDllClient c;
    EXPECT_EQ(Load(c), nullptr); // no hive file at all
    WriteHive("[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Other]\npath=" SIMDRIVER_PATH "\n");
    EXPECT_EQ(Load(c), nullptr);
    WriteHive(Key() + "file=" SIMDRIVER_PATH "\n");
    EXPECT_EQ(Load(c), nullptr);
    EXPECT_EQ(c.DllHandle, nullptr);
    EXPECT_EQ(c.EntryPoint, nullptr);
}

TEST_F(DllClientTest, PathMustFitThe255ByteBuffer)
{
    TDllClient c;
    // 255 characters need 256 bytes with the terminating zero: refused.
    WriteHive(Key() + "path=" + std::string(255, 'a') + "\n");
    EXPECT_EQ(Load(c), nullptr);
    EXPECT_EQ(c.DllHandle, nullptr);
    // The real library's path padded to 254 characters with slashes fits.
    std::string padded = SIMDRIVER_PATH;
    padded.insert(0, 254 - padded.size(), '/');
    WriteHive(Key() + "path=" + padded + "\n");
    EXPECT_NE(Load(c), nullptr);
}

TEST_F(DllClientTest, LibraryThatDoesNotLoadYieldsNothing)
{
    TDllClient c;
    WriteHive(Key() + "path=" + dir_.filePath("missing.so").toStdString() + "\n");
    EXPECT_EQ(Load(c), nullptr);
    EXPECT_EQ(c.DllHandle, nullptr);
}

TEST_F(DllClientTest, LibraryWithoutTheEntryStaysLoaded)
{
    TDllClient c;
    EXPECT_EQ(c.LoadDll("libm.so.6", "StaticFactory"), nullptr);
    EXPECT_NE(c.DllHandle, nullptr);
    EXPECT_EQ(c.EntryPoint, nullptr);
    c.FreeDll();
    EXPECT_EQ(c.DllHandle, nullptr);
}

TEST_F(DllClientTest, MissingNamesYieldNothing)
{
    TDllClient c;
    EXPECT_EQ(c.LoadDll(nullptr, "StaticFactory"), nullptr);
    EXPECT_EQ(c.LoadDll(SIMDRIVER_PATH, nullptr), nullptr);
    EXPECT_EQ(c.DllHandle, nullptr);
}

TEST_F(DllClientTest, RegisteredLibraryGivesItsFactory)
{
    TDllClient c;
    WriteHive("; comment\n" + Key() + "PATH = " SIMDRIVER_PATH "  \n");
    void* entry = Load(c);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry, c.EntryPoint);
    // The named entry is resolved, not just the default.
    TDllClient d;
    EXPECT_EQ(d.LoadDllFromRegistry(vt::Company, vt::Product, vt::Version, vt::Device, "NoSuchEntry"), nullptr);
    EXPECT_NE(d.DllHandle, nullptr);
}

TEST(AdcErrorText, EveryRowAndUnknownCodes)
{
    const std::pair<int, const char*> rows[] = {
        {0, "Функция не поддерживается"},
        {-1, "Драйвер не инициализирован (не указан базовый адрес)"},
        {-2, "Недопустимые значения параметров"},
        {-3, "Недопустимый базовый адрес"},
        {-4, "Недопустимый номер IRQ"},
        {-5, "Недопустимый номер DRQ"},
        {-6, "Запрашиваемый DRQ занят"},
        {-7, "Запрашиваемый IRQ занят"},
        {-10, "Нет необходимого драйвера IntDMA32.VxD"},
        {-11, "Драйвер IntDMA32.VxD есть, но неправильной версии"},
        {-12, "XILINX не загружен"},
        {-13, "Драйвер не сконфигурирован"},
        {-14, "Не удалось загрузить логику в XILINX"},
        {-15, "Не удалось загрузить программу в ADSP процессор"},
        {-16, "Плохой или отсутствует файл с программой для ADSP процессора"},
        {-20, "Не заданы параметры измерения"},
    };
    for (const auto& [code, text] : rows)
        EXPECT_STREQ(AdcErrorText(code), text) << code;
    for (int code : {-8, -9, -17, -19, -21, 1, 100})
        EXPECT_STREQ(AdcErrorText(code), "Неизвестная ошибка") << code;
    EXPECT_EQ(AdcErrors.size(), 16u);
    EXPECT_EQ(AdcErrors[11].Code, -20); // out of numeric order, still found
    EXPECT_EQ(AdcErrors[12].Code, -13);
}

} // namespace
