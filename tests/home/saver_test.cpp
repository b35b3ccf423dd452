// The screen saver tick, the slideshow and the idle-time setting window.
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

class ScreenSaver : public PanelTest {
  protected:
    ScreenSaver() {
        set<uint8_t>("main.screenState", 0);
        set<uint8_t>("system.IsMouseDown", 0);
        set<uint8_t>("main.count", 0);
        set<uint16_t>("main.screenProtectTime", 2);
        set<int16_t>("main.pic_number", 0);
    }
    std::string tick() {
        fire("main_timer1_timer");
        return trace();
    }
};

TEST_F(ScreenSaver, SlideshowStartsAtTheIdleTimeAndCyclesThePictures) {
    EXPECT_EQ(tick(), "set main.count = 1\n");
    EXPECT_EQ(tick(), "set main.count = 0\nset main.screenState = 1\n");  // pic_number was 0
    for (int cycle = 0; cycle < 3; ++cycle) {
        EXPECT_EQ(tick(), "show pic1\nset main.pic_number = 1\n");
        EXPECT_EQ(tick(), "show pic2\nset main.pic_number = 2\n");
        EXPECT_EQ(tick(), "show pic3\nset main.pic_number = 0\n");
    }
}

TEST_F(ScreenSaver, OnlyATouchFlagOfOneCountsAsATouch) {
    set<uint8_t>("main.count", 1);
    set<uint8_t>("system.IsMouseDown", 1);
    EXPECT_EQ(tick(), "set main.count = 0\nset system.IsMouseDown = 0\n");
    set<uint8_t>("system.IsMouseDown", 2);
    EXPECT_EQ(tick(), "set main.count = 1\n");
}

TEST_F(ScreenSaver, ATouchDuringTheSlideshowKeepsThePicture) {
    set<uint8_t>("main.screenState", 1);
    set<int16_t>("main.pic_number", 1);
    set<uint8_t>("main.count", 0);
    set<uint8_t>("system.IsMouseDown", 1);
    EXPECT_EQ(tick(), "set system.IsMouseDown = 0\n");
    EXPECT_EQ(tick(), "show pic2\nset main.pic_number = 2\n");
}

TEST_F(ScreenSaver, IdleTimeZeroStartsOnlyWhenTheCountWraps) {
    set<uint16_t>("main.screenProtectTime", 0);
    for (int i = 1; i < 256; ++i) fire("main_timer1_timer");
    EXPECT_EQ(get<uint8_t>("main.count"), 255);
    EXPECT_EQ(get<uint8_t>("main.screenState"), 0);
    trace();
    EXPECT_EQ(tick(), "set main.count = 0\nset main.screenState = 1\n");
}

TEST_F(ScreenSaver, IdleTimeAbove255NeverStarts) {
    set<uint16_t>("main.screenProtectTime", 256);
    for (int i = 0; i < 600; ++i) fire("main_timer1_timer");
    EXPECT_EQ(get<uint8_t>("main.screenState"), 0);
}

TEST_F(ScreenSaver, PictureNumbersOutsideTheCycleShowNothing) {
    set<uint8_t>("main.screenState", 1);
    set<int16_t>("main.pic_number", 3);
    EXPECT_EQ(tick(), "");
    set<int16_t>("main.pic_number", -1);
    EXPECT_EQ(tick(), "");
}

TEST_F(ScreenSaver, EachPictureClickEndsTheSlideshow) {
    for (const char* key : {"pic1_picture1_click", "pic2_picture1_click", "pic3_picture1_click"}) {
        set<uint8_t>("main.screenState", 1);
        fire(key);
        EXPECT_EQ(trace(), "hide pic1\nhide pic2\nhide pic3\nset main.screenState = 0\n") << key;
    }
    fire("pic1_picture1_click");  // already ended: hides, writes nothing
    EXPECT_EQ(trace(), "hide pic1\nhide pic2\nhide pic3\n");
}

TEST_F(ScreenSaver, IdleTimeButtonsStoreBeforeHidingTheWindow) {
    const std::pair<const char*, int> buttons[] = {{"TimeSetting_rectangle1_click", 2},
                                                   {"TimeSetting_rectangle3_click", 5},
                                                   {"TimeSetting_rectangle4_click", 10},
                                                   {"TimeSetting_rectangle5_click", 20}};
    for (auto [key, ticks] : buttons) {
        set<uint8_t>("main.count", 7);
        set<uint16_t>("main.screenProtectTime", 99);
        fire(key);
        EXPECT_EQ(trace(), "set main.count = 0\nset main.screenProtectTime = " +
                               std::to_string(ticks) + "\nhide TimeSetting\n")
            << key;
    }
    fire("TimeSetting_rectangle5_click");  // already 0 and 20: only the window goes
    EXPECT_EQ(trace(), "hide TimeSetting\n");
}

TEST_F(ScreenSaver, SettingWindowOpensCentredAndClosesWithoutChange) {
    fire("main_picture3_click");
    EXPECT_EQ(trace(), "center TimeSetting\nshow TimeSetting\n");
    fire("TimeSetting_rectangle26_click");
    EXPECT_EQ(trace(), "hide TimeSetting\n");
}

}  // namespace
}  // namespace hmi::test
