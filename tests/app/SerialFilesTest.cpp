#include "app/SerialFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(SerialFilesTest, NumbersAreWholeNames)
{
    EXPECT_EQ(SerialFileTable::NumberOf("007.plt"), 7);
    EXPECT_EQ(SerialFileTable::NumberOf("12a.plt"), -1) << "not part of the series";
    EXPECT_EQ(SerialFileTable::NumberOf("9999.PLT"), 9999);
    EXPECT_EQ(SerialFileTable::NumberOf("0000000000042.plt"), 42) << "leading zeros never overflow";
    EXPECT_EQ(SerialFileTable::NumberOf("10000.plt"), -1);
    EXPECT_EQ(SerialFileTable::NumberOf("99999999999999999999.plt"), -1);
    EXPECT_EQ(SerialFileTable::NumberOf("notes.plt"), -1);
    EXPECT_EQ(SerialFileTable::NumberOf(".plt"), -1);
}

TEST(SerialFilesTest, FolderFillsTheTableByNumber)
{
    TempProgramDir dir(false);
    for (const char* name : {"1.plt", "2.PLT", "10.plt", "notes.plt", "3.dxf", "7_old.plt", "7.plt", "08.plt", "8.plt"})
        dir.Write(name, "IN;");
    SerialFileTable table;
    table.Place("5.plt");  // an entry of an earlier folder ...
    table.Clear();
    table.Fill(dir.Path(), ".plt");
    EXPECT_EQ(table.At(5), "") << "... is gone after Clear";
    EXPECT_EQ(table.At(1), "1.plt");
    EXPECT_EQ(table.At(2), "2.PLT") << "the extension's case doesn't matter";
    EXPECT_EQ(table.At(10), "10.plt");
    EXPECT_EQ(table.At(3), "") << "only the chosen file's extension";
    EXPECT_EQ(table.At(7), "7.plt") << "7_old.plt is no number";
    EXPECT_EQ(table.At(8), "8.plt") << "of two names for one number, the later in sorted order";
    int filled = 0;
    for (int i = 0; i < SerialFileTable::kSize; ++i)
        filled += table.At(i).isEmpty() ? 0 : 1;
    EXPECT_EQ(filled, 5);
}
