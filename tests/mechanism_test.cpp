// The write-back and property mechanisms, driven directly against the host layer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plugin/bind.hpp"
#include "plugin/script.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

using MechanismTest = PanelTest;

TEST_F(MechanismTest, WritesChangedTagsInReverseReadOrderOnly) {
    set<uint8_t>("main.count", 3);
    Script s;
    auto& state = s.u8("main.screenState");
    auto& count = s.u8("main.count");
    auto& idle = s.u16("main.screenProtectTime");
    auto& picture = s.i16("main.pic_number");
    state = 1;
    count = 3;  // assigned its own value: not written
    idle = 20;
    picture = -1;
    s.write_back();
    EXPECT_EQ(trace(),
              "set main.pic_number = -1\n"
              "set main.screenProtectTime = 20\n"
              "set main.screenState = 1\n");
    s.write_back();  // nothing changed since
    EXPECT_EQ(trace(), "");
}

TEST_F(MechanismTest, ReadsEveryTagAtEntryInOrder) {
    Script s;
    s.u8("main.screenState");
    s.u8("system.IsMouseDown");
    s.f32("kelvor.x_Real");
    EXPECT_EQ(trace(static_cast<unsigned>(host::Topic::Read)),
              "get main.screenState\nget system.IsMouseDown\nget kelvor.x_Real\n");
}

TEST_F(MechanismTest, ChangedBackAfterAMiddlePointIsWrittenAgain) {
    set<uint8_t>("kelvor.pause", 0);
    Script s;
    auto& pause = s.u8("kelvor.pause");
    pause = 1;
    s.write_back();
    pause = 0;
    s.write_back();
    EXPECT_EQ(trace(), "set kelvor.pause = 1\nset kelvor.pause = 0\n");
}

TEST_F(MechanismTest, TheHandlerNeverSeesLaterChangesOfTheStore) {
    set<uint8_t>("main.count", 1);
    Script s;
    auto& count = s.u8("main.count");
    set<uint8_t>("main.count", 9);  // an input dialog stored a value meanwhile
    s.write_back();
    EXPECT_EQ(count, 1);
    EXPECT_EQ(get<uint8_t>("main.count"), 9);  // unchanged local: nothing written over it
    EXPECT_EQ(trace(), "");
}

TEST_F(MechanismTest, FloatsCompareByValue) {
    set<float>("kelvor.x_Real", 0.0f);
    set<float>("kelvor.y_Real", 1.0f);
    Script s;
    auto& x = s.f32("kelvor.x_Real");
    auto& y = s.f32("kelvor.y_Real");
    x = -0.0f;                       // equal to +0.0: not written
    y = std::nextafter(1.0f, 2.0f);  // the next float: written
    s.write_back();
    EXPECT_EQ(trace(), "set kelvor.y_Real = 1.0000001\n");
}

TEST_F(MechanismTest, EightBitCountersWrap) {
    set<uint8_t>("main.count", 255);
    Script s;
    auto& count = s.u8("main.count");
    count += 1;
    s.write_back();
    EXPECT_EQ(trace(), "set main.count = 0\n");
}

TEST_F(MechanismTest, TextTagsAreWrittenAtEveryPointFromTheirOwnBuffer) {
    set_text("dish.put7", "old");
    Script s;
    char* put7 = s.text("dish.put7");
    EXPECT_EQ(put7, reinterpret_cast<char*>(host.tags().find("dish.put7")->value));
    s.write_back();
    std::strcpy(put7, "new");
    s.write_back();
    EXPECT_EQ(trace(), "set dish.put7 = \"old\"\nset dish.put7 = \"new\"\n");
}

TEST_F(MechanismTest, OneTagCanBeWrittenAlone) {
    Script s;
    auto& run = s.u8("kelvor.run_flag");
    auto& temp = s.u8("kelvor.temp");
    run = 7;
    temp = 7;
    s.write_back(&run);
    EXPECT_EQ(trace(), "set kelvor.run_flag = 7\n");
}

// ---- the property contract ----

template <class Rule>
int apply(void* value) {
    static void* slots[2] = {};
    return Rule::apply(value, slots);
}

TEST_F(MechanismTest, PropertyStoresOnlyOnChange) {
    set<uint8_t>("dtmain.HV201", 0);
    uint32_t colour = 0;
    using valve = hmi::colour_by_flag<"dtmain.HV201", kWhite, 0x0467FB>;
    EXPECT_EQ(apply<valve>(&colour), 1);
    EXPECT_EQ(colour, kWhite);
    EXPECT_EQ(apply<valve>(&colour), 0);
    set<uint8_t>("dtmain.HV201", 2);  // any value but 0 is the second colour
    EXPECT_EQ(apply<valve>(&colour), 1);
    EXPECT_EQ(colour, 0x0467FBu);
}

TEST_F(MechanismTest, TextValuesAreCutAt15Bytes) {
    char value[16] = "";
    EXPECT_EQ(rule::store_text(value, "abc"), 1);
    EXPECT_STREQ(value, "abc");
    EXPECT_EQ(rule::store_text(value, "abc"), 0);
    EXPECT_EQ(rule::store_text(value, "ab"), 1);
    EXPECT_EQ(rule::store_text(value, "0123456789abcdef"), 1);  // 16 bytes: cut to 15
    EXPECT_STREQ(value, "0123456789abcde");
    EXPECT_EQ(rule::store_text(value, "0123456789abcdef"), 1);  // never equal to its cut copy
    EXPECT_EQ(rule::store_text(value, "0123456789abcde"), 0);   // exactly 15: fits
}

TEST_F(MechanismTest, UnterminatedCurrentTextIsReplacedWithinItsBytes) {
    char value[20];
    std::memset(value, 'x', sizeof value);
    EXPECT_EQ(rule::store_text(value, "xxxxxxxxxxxxxxxxxxxx"), 1);
    EXPECT_EQ(value[15], '\0');
    EXPECT_EQ(value[16], 'x');  // nothing past the 16 bytes of the value
}

}  // namespace
}  // namespace hmi::test
