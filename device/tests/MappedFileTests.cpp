// A file mapped by a writer and a reader, as SpringBoard and the web server share the screen.

#include "MappedFile.h"
#include "TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

TEST(MappedFileTest, WhatTheWriterPutsTheReaderSeesWithoutAnotherWrite)
{
    TempDeviceRoot folder;
    std::string path = folder.path() + "/screen.bgra";
    std::string error;
    MappedFile writer, reader;
    uint8_t* written = writer.map(path, 4096, MappedFile::Access::ReadWrite, error);
    ASSERT_TRUE(written) << error;
    std::memset(written, 7, 4096);
    const uint8_t* read = reader.map(path, 4096, MappedFile::Access::Read, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read[0], 7);
    EXPECT_EQ(read[4095], 7);

    // The next picture, drawn into the same mapping, shows through the reader's.
    EXPECT_EQ(writer.map(path, 4096, MappedFile::Access::ReadWrite, error), written);
    written[100] = 42;
    EXPECT_EQ(reader.map(path, 4096, MappedFile::Access::Read, error), read);
    EXPECT_EQ(read[100], 42);
}

TEST(MappedFileTest, AReaderRefusesAFileShorterThanAskedAndAWriterSizesIt)
{
    TempDeviceRoot folder;
    std::string path = folder.path() + "/screen.bgra";
    std::ofstream(path) << "short";
    std::string error;
    MappedFile reader;
    EXPECT_FALSE(reader.map(path, 4096, MappedFile::Access::Read, error));
    EXPECT_NE(error.find("holds 5 bytes, not the 4096"), std::string::npos) << error;
    EXPECT_FALSE(reader.map(folder.path() + "/none", 16, MappedFile::Access::Read, error));
    EXPECT_NE(error.find("/none"), std::string::npos) << error;

    MappedFile writer;
    ASSERT_TRUE(writer.map(path, 4096, MappedFile::Access::ReadWrite, error)) << error;
    EXPECT_TRUE(reader.map(path, 4096, MappedFile::Access::Read, error)) << error;
    // A smaller picture (another device) sizes the file down for the next reader.
    ASSERT_TRUE(writer.map(path, 1024, MappedFile::Access::ReadWrite, error)) << error;
    MappedFile nextReader;
    EXPECT_FALSE(nextReader.map(path, 4096, MappedFile::Access::Read, error));
}

} // namespace
