// The menu buttons of the home window: flags, then the window calls, in order.
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

class Menu : public PanelTest {
  protected:
    Menu() {
        set<uint8_t>("main.disable_HomePage", 1);
        for (const char* flag :
             {"main.open0", "main.open1", "main.open2", "main.open3", "main.open4", "main.open5"}) {
            set<uint8_t>(flag, 1);
        }
        set<uint8_t>("main.page_open", 0);
    }
};

struct PlainButton {
    const char* key;
    const char* screen;
};

TEST_F(Menu, PlainButtonsShowTheirScreenAndHideHome) {
    for (auto [key, screen] :
         {PlainButton{"main_bmptext20_click", "12"}, PlainButton{"main_bmptext19_click", "11"},
          PlainButton{"main_bmptext18_click", "17"}, PlainButton{"main_bmptext16_click", "16"}}) {
        set<uint8_t>("main.disable_HomePage", 1);
        fire(key);
        EXPECT_EQ(trace(),
                  std::string("show ") + screen + "\nhide main\nset main.disable_HomePage = 0\n")
            << key;
    }
}

TEST_F(Menu, WaterPictureButtonAlsoHidesTheSlideshow) {
    fire("main_picture13_click");
    EXPECT_EQ(trace(),
              "show 20\nhide main\nhide pic1\nhide pic2\nhide pic3\n"
              "set main.disable_HomePage = 0\n");
    EXPECT_EQ(get<uint8_t>("main.open3"), 1);  // the open flags are left alone
}

TEST_F(Menu, PictureButtonsRecordWhichWasUsedLast) {
    fire("main_picture12_click");
    EXPECT_EQ(trace(),
              "show 8\nhide main\n"
              "set main.open4 = 0\nset main.open3 = 0\nset main.open2 = 0\nset main.open1 = 0\n"
              "set main.open0 = 0\nset main.disable_HomePage = 0\n");
    fire("main_picture12_click");  // twice in a row: same windows, no tag
    EXPECT_EQ(trace(), "show 8\nhide main\n");

    fire("main_picture9_click");
    EXPECT_EQ(
        trace(),
        "show 9\nhide main\nset main.page_open = 1\nset main.open5 = 0\nset main.open4 = 1\n");
    fire("main_picture2_click");
    EXPECT_EQ(trace(), "show 21\nhide main\nset main.open4 = 0\nset main.open1 = 1\n");
    EXPECT_EQ(get<uint8_t>("main.page_open"), 1);  // only window "9" clears it

    fire("main_picture11_click");
    EXPECT_EQ(trace(), "show 6\nhide main\nset main.open3 = 1\nset main.open1 = 0\n");
    fire("main_picture6_click");
    EXPECT_EQ(trace(), "show Equipment\nhide main\nset main.open3 = 0\nset main.open2 = 1\n");
}

TEST_F(Menu, MotionButtonStoresItsFlagsBeforeOpeningAndHidesEveryOtherScreen) {
    set<uint8_t>("kelvor.save_flag", 3);
    const char* hides =
        "hide water\nhide 3\nhide 6\nhide 8\nhide 9\nhide 11\nhide 12\nhide 13\nhide 14\n"
        "hide 15\nhide 16\nhide 17\nhide 19\nhide 20\nhide Equipment\n";
    fire("main_bmptext21_click");
    EXPECT_EQ(trace(), std::string("set kelvor.save_flag = 0\nset main.disable_HomePage = 0\n") +
                           "show 18\n" + hides);
    fire("main_bmptext21_click");
    EXPECT_EQ(trace(), std::string("show 18\n") + hides);
}

}  // namespace
}  // namespace hmi::test
