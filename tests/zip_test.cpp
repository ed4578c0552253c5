// The zip writer: its CRC-32 against published check values, and a whole
// archive against bytes packed by hand from PKWARE's field tables (checked
// with python3's zipfile and unzip -t), the same on every system. A kit's
// comment, by which it is replaced, is checked by kit_check.py.
#include "hex.hpp"
#include "support.hpp"
#include "zip.hpp"

namespace {

Bytes unhex(std::string_view hex)
{
    Bytes b;
    EXPECT_TRUE(read_hex(hex, b));
    return b;
}

TEST(Zip, Crc32GivesTheCheckValues)
{
    const struct {
        std::string text;
        std::uint32_t crc;
    } cases[] = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(1000, '\0'), 0x060B1780u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crc32(bytes_of(c.text)), c.crc) << '"' << c.text.substr(0, 20) << '"';
}

TEST(Zip, AnArchiveIsTheSameBytesOnEverySystem)
{
    // A plain file, and a program in a folder whose name is UTF-8 (the
    // flag says so); every time 1980-01-01 00:00; made by Unix 3.0, with
    // the modes 100644 and 100755; the comment "c".
    const std::string a = "hi\n";
    const std::string b = "x";
    const ZipEntry entries[] = {{"a.txt", bytes_of(a), ZipMode::file},
                                {"d/\xC3\xA9.sh", bytes_of(b), ZipMode::program}};
    const std::optional<ZipFrame> frame = zip_frame(entries, "c");
    ASSERT_TRUE(frame);
    EXPECT_EQ(zip_archive(*frame, entries),
              unhex("504b03040a0000000000000021007a7a6fed030000000300000005000000612e74787468690a"
                    "504b03040a0000080000000021008316dc8c010000000100000007000000642fc3a92e736878"
                    "504b01021e030a0000000000000021007a7a6fed0300000003000000050000000000000000000000a481000000"
                    "00612e747874"
                    "504b01021e030a0000080000000021008316dc8c0100000001000000070000000000000000000000ed81260000"
                    "00642fc3a92e7368"
                    "504b05060000000002000200680000004c000000010063"));
}

}  // namespace
