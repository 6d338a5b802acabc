// The option store against the prefix's real registry.
#include <gtest/gtest.h>

#include "columns/option_store.h"
#include "columns/options.h"
#include "support.h"

#include <string>

namespace {

const char* const kKey = "Software\\Werkhaus\\Rubrikator\\Optionen";

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetRaw(const char* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

using OptionStore = rbtest::CleanOptions;

TEST_F(OptionStore, ReadCreatesTheKeyAndGivesTheDefault) {
    ASSERT_FALSE(KeyExists());
    EXPECT_EQ(rb::ReadIntOption("ListFilter", 3), 3);
    EXPECT_TRUE(KeyExists());
    EXPECT_EQ(rb::ReadIntOption("tab_id", -7), -7);
}

TEST_F(OptionStore, LoadWithoutKeyGivesBuiltInDefaults) {
    rb::LoadOptions();
    const rb::OptionSet& o = rb::Options();
    EXPECT_EQ(o.groesseTyp, 1);
    EXPECT_EQ(o.dateiGroesse, 0);
    EXPECT_EQ(o.tausenderGroesse, 1);
    EXPECT_EQ(o.tausenderOrdner, 1);
    EXPECT_EQ(o.tausenderDateien, 1);
    EXPECT_EQ(o.nachkommanteil, 1);
    EXPECT_TRUE(KeyExists());
}

TEST_F(OptionStore, TextsAreReadLikeAtoi) {
    SetRaw("nachkommanteil", REG_SZ, std::string("0", 2));
    SetRaw("tausender_groesse", REG_SZ, std::string("abc", 4));
    SetRaw("groesse_typ", REG_SZ, std::string(" 2", 3));
    SetRaw("tausender_ordner", REG_SZ, std::string("12abc", 6));
    rb::LoadOptions();
    EXPECT_EQ(rb::Options().nachkommanteil, 0);
    EXPECT_EQ(rb::Options().tausenderGroesse, 0);
    EXPECT_EQ(rb::Options().groesseTyp, 2);
    EXPECT_EQ(rb::Options().tausenderOrdner, 12);
}

TEST_F(OptionStore, MissingValueKeepsTheInMemorySetting) {
    rb::Options().groesseTyp = 0;
    rb::Options().dateiGroesse = 5;
    SetRaw("tausender_dateien", REG_SZ, std::string("0", 2));
    rb::LoadOptions();
    EXPECT_EQ(rb::Options().groesseTyp, 0);
    EXPECT_EQ(rb::Options().dateiGroesse, 5);
    EXPECT_EQ(rb::Options().tausenderDateien, 0);
}

TEST_F(OptionStore, WriteStoresTheDecimalTextWithItsTerminator) {
    rb::WriteIntOption("groesse_typ", 2);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    char data[16] = {};
    DWORD type = 0, size = sizeof data;
    EXPECT_EQ(
        RegQueryValueExA(key, "groesse_typ", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(std::string(data, size), std::string("2", 2));
    rb::WriteIntOption("ListFilter", -123);
    EXPECT_EQ(rb::ReadIntOption("ListFilter", 3), -123);
}

TEST_F(OptionStore, AValueWithoutTerminatorShorterThanTheDefaultReadsAsItself) {
    // The default's text must not show through behind the stored bytes. (Wine's registry
    // ends a REG_SZ it hands out where there is room; binary data it hands out as it is.)
    SetRaw("tab_id", REG_BINARY, "7");
    EXPECT_EQ(rb::ReadIntOption("tab_id", 1234), 7);
    SetRaw("tab_id", REG_SZ, "7");
    EXPECT_EQ(rb::ReadIntOption("tab_id", 1234), 7);
    SetRaw("groesse_typ", REG_SZ, std::string("2\0", 2));
    EXPECT_EQ(rb::ReadIntOption("groesse_typ", 98765), 2);
}

TEST_F(OptionStore, ValueWithoutTerminatorOrTooLongStaysBounded) {
    SetRaw("tab_id", REG_BINARY, std::string(1024, '7'));
    // 1024 digits overflow: the reading saturates instead of running past the buffer.
    EXPECT_EQ(rb::ReadIntOption("tab_id", 0), 2147483647);
    SetRaw("tab_id", REG_SZ, std::string(3000, '1'));
    EXPECT_EQ(rb::ReadIntOption("tab_id", 4), 4);
}

} // namespace
