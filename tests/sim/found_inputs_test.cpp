// Inputs that the fuzz targets found (fuzz/params_fuzz.cpp, fuzz/scenario_fuzz.cpp),
// kept here as they were found or cut down to what matters: each is now refused, or
// read as it is meant.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/engine/params_file.hpp"
#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

// The file with its trailer: the right count and checksum, so that only the entry lines
// decide.
std::string with_trailer(const std::string& body) {
    size_t lines = 0;
    for (char c : body) lines += c == '\n';
    char trailer[64];
    std::snprintf(trailer, sizeof trailer, "end %zu crc32 0x%08x\n", lines - 1,
                  crc32(body.data(), body.size()));
    return body + trailer;
}

struct BadLine {
    const char* line;
    const char* error;
};

struct Refused {
    const char* what;
    std::string line;
    const char* error;
};

// The rest of a line after a NUL went unread: the line was taken as "x.flag u8 255".
constexpr char kAfterNul[] =
    "x.flag u8 255\0\0\x07\0\0\0\x80J[\0\0"
    "2TIME  9u32 ";

TEST(FoundParamsFiles, ALineNotExactlyAsASaveWritesItIsRefusedDespiteItsChecksum) {
    const Refused cases[] = {
        {"NUL", std::string(kAfterNul, sizeof kAfterNul - 1), "line 3: expected: NAME KIND VALUE"},
        {"tab", "x.flag\tu8 255", "line 3: expected: NAME KIND VALUE"},
        {"two spaces", "x.flag u8  255", "line 3: expected: NAME KIND VALUE"},
        {"space at the end", "x.flag u8 255 ", "line 3: expected: NAME KIND VALUE"},
        // Text bytes after the text's end were taken, though no save writes them.
        {"bytes after a text's end",
         "x.note text xcce00000000000000000000000000011589927634795087643cabe2022",
         "line 3: x.note: 'xcce00000000000000000000000000011589927634795087643cabe2022' is "
         "not written as a save writes it"},
        {"leading zero", "x.flag u8 0255",
         "line 3: x.flag: '0255' is not written as a save writes it"},
        {"hex number", "x.flag u8 0xff",
         "line 3: x.flag: '0xff' is not written as a save writes it"},
    };
    for (const Refused& c : cases) {
        std::string file = with_trailer("hmisim-params 1\nx.count u16 7\n" + c.line + "\n");
        std::vector<ParamEntry> entries;
        EXPECT_EQ(parse_params(file, &entries), c.error) << c.what;
    }
}

TEST(FoundParamsFiles, LongTextParametersComeBackAsSaved) {
    // A text of 250 bytes made a line too long to be read: the whole file was refused at
    // the next start. A text that fills its tag without an end is kept as the 255 bytes
    // a text tag holds.
    ParamEntry long_text{"dish.put7", host::Kind::Text, std::vector<unsigned char>(256, 0)};
    std::memset(long_text.value.data(), 'a', 250);
    ParamEntry full_text{"dish.put8", host::Kind::Text, std::vector<unsigned char>(256, 'b')};
    std::vector<ParamEntry> entries;
    ASSERT_EQ(parse_params(format_params({long_text, full_text}), &entries), "");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].value, long_text.value);
    std::vector<unsigned char> kept(256, 'b');
    kept[255] = '\0';
    EXPECT_EQ(entries[1].value, kept);
}

// A second sign was taken as part of the number ("--5" was 5), and the smallest long
// long was negated past its range.
TEST(FoundScenarioLines, ANumberWithTwoSignsIsNoNumber) {
    Simulator sim(real_panel(), real_library(), Options{}, nullptr);
    const BadLine cases[] = {
        {"set dtmain.HV205_TIME --9223372036854775808",
         "dtmain.HV205_TIME (u32): '--9223372036854775808' is not a whole number"},
        {"set main.count --5", "main.count (u8): '--5' is not a whole number"},
        {"set main.count -0x-5", "main.count (u8): '-0x-5' is not a whole number"},
        {"expect prop 8_text278_visible --1", "8_text278_visible: '--1' is not a whole number"},
    };
    for (const BadLine& c : cases) {
        std::string error;
        EXPECT_FALSE(parse_command(c.line, sim, &error)) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
    }
}

// A negative hour, minute or second was taken and counted back from the next one:
// "01:-1:00" was 00:59:00.
TEST(FoundScenarioLines, AClockTimeWithANegativeFieldIsNoTime) {
    uint32_t seconds = 0;
    for (const char* text : {"2025-01-02 01:-1:00", "2025-01-02 01:00:-1", "2025-01-02 -1:00:00"}) {
        EXPECT_FALSE(parse_clock(text, &seconds)) << text;
    }
    ASSERT_TRUE(parse_clock("2025-01-02 00:59:00", &seconds));
    EXPECT_EQ(seconds, 1735779540u);
}

// Stray signs and blanks were read as parts of numbers; the first and the last second
// of the panel's clock were refused or wrapped.
TEST(FoundScenarioLines, AClockTimeIsDigitsAndSeparatorsWithinTheClocksRange) {
    const std::pair<const char*, uint32_t> good[] = {
        {"1970-01-01 00:00:00", 0u},
        {"2106-02-07 06:28:15", 4294967295u},
        {"2026-01-01T08:00:00", 1767254400u},
        {"2026-1-1 8:0:0", 1767254400u},
    };
    for (auto [text, want] : good) {
        uint32_t seconds = 1;
        EXPECT_TRUE(parse_clock(text, &seconds)) << text;
        EXPECT_EQ(seconds, want) << text;
    }
    for (const char* text : {"+2025-+1-+1 +0:+0:+0", "2025-01-01 +8:00:00", "2025- 1-01 08:00:00",
                             "2025-01-01  08:00:00", "2106-02-07 06:28:16", "1969-12-31 23:59:59",
                             "2025-01-01 08:00:00 ", "2025-01-01 08:00", "02025-01-01 08:00:00",
                             "2025-001-01 8:0:0"}) {
        uint32_t seconds = 0;
        EXPECT_FALSE(parse_clock(text, &seconds)) << text;
    }
}

}  // namespace
}  // namespace hmi::sim::test
