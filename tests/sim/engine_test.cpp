// The simulated host on a small panel whose handlers live in this test: windows and
// their open and close events, modal dialogs, timers with their periods and enable
// properties, the clock, and the refresh of properties of every kind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

// ---- handlers of the test panel ----
bool g_busy = false;  // a handler is running
int g_overlaps = 0;   // handlers called while another ran

struct Running {
    Running() {
        if (g_busy) ++g_overlaps;
        g_busy = true;
    }
    ~Running() { g_busy = false; }
};

void set_u8(const char* tag, uint8_t v) {
    hmidb_set_data_value(tag, &v);
}
uint8_t get_u8(const char* tag) {
    return *static_cast<uint8_t*>(hmidb_get_data_value(tag));
}

void a_button1_click() {  // opens b over a, then leaves a
    Running r;
    hmi_window_show("b");
    set_u8("t.x", 1);
    hmi_window_hide("a");
}
void a_button2_click() {  // opens the dialog modally
    Running r;
    hmi_window_show_modal("dlg");
}
void a_window_close() {
    Running r;
    set_u8("t.x", 2);
}
void b_window_open() {
    Running r;
    hmi_window_show("c");  // its open runs after this one and after a's close
    set_u8("t.x", 3);
}
void c_window_open() {
    Running r;
    set_u8("t.x", 4);
}
void a_timer1_timer() {
    Running r;
    uint16_t n = *static_cast<uint16_t*>(hmidb_get_data_value("t.n")) + 1;
    hmidb_set_data_value("t.n", &n);
}
void b_timer2_timer() {
    Running r;
    set_u8("t.x", get_u8("t.x") + 1);
}
void dlg_button1_click() {  // the dialog's keys carry window name "15"
    Running r;
    hmi_window_exit_modal("dlg");
    hmi_window_hide("dlg");
}
void dlg_window_open() {
    Running r;
    set_u8("t.x", 15);
}
void dlg_window_close() {
    Running r;
    set_u8("t.x", 16);
}

template <class T>
int store(void* value, T v) {
    if (std::memcmp(value, &v, sizeof v) == 0) return 0;
    std::memcpy(value, &v, sizeof v);
    return 1;
}
int a_timer1_enable(void* v) {
    return store<uint8_t>(v, get_u8("t.en"));
}
int c_light1_visible(void* v) {
    return store<uint8_t>(v, get_u8("t.x") != 0);
}
int c_light1_fillcolor(void* v) {
    return store<uint32_t>(v, get_u8("t.x") ? 0x0467FB : 0xFFFFFF);
}
int c_pipe1_flowstate(void* v) {
    return store<int32_t>(v, -get_u8("t.x"));
}
int c_car1_xoffset(void* v) {
    return store<int16_t>(v, static_cast<int16_t>(-20 * get_u8("t.x")));
}
int c_curve1_startyear(void* v) {
    return store<uint16_t>(v, 2026);
}
int c_meter1_value(void* v) {
    return store<float>(v, 0.5f * get_u8("t.x"));
}
int c_text1_text(void* v) {
    char text[16] = "\xcc\xe1\xca\xbe";  // 提示 (notice)
    if (std::strncmp(static_cast<char*>(v), text, 16) == 0) return 0;
    std::memcpy(v, text, 16);
    return 1;
}
int c_lamp1_flash(void* v) {  // a fault: writes four bytes into a one-byte flag
    uint32_t wide = 1;
    std::memcpy(v, &wide, sizeof wide);
    return 0;
}

void ping_window_open() {  // two windows that each hide themselves and show the other
    hmi_window_hide("ping");
    hmi_window_show("pong");
}
void pong_window_open() {
    hmi_window_hide("pong");
    hmi_window_show("ping");
}

// Properties whose result is not a plain function of the tags last read.
int c_lamp2_visible(void* v) {  // reads t.n only while t.x is 4
    bool lit = get_u8("t.x") == 4 &&
               (*static_cast<uint16_t*>(hmidb_get_data_value_by_ptr("t.n", nullptr)) & 1);
    return store<uint8_t>(v, lit);
}
int c_meter2_value(void* v) {  // a new random value at every poll
    return store<float>(v, static_cast<float>(rand() % 3));
}
int c_text2_text(void* v) {  // a source text too long for the value: stored at every poll
    std::memcpy(v, "a text of twenty bytes", 15);
    static_cast<char*>(v)[15] = 0;
    return 1;
}

#define ROW(key, f) \
    { key, reinterpret_cast<void*>(&f) }
const hmi_func_row kEvents[] = {
    ROW("a_button1_click", a_button1_click),
    ROW("a_button2_click", a_button2_click),
    ROW("a_window_close", a_window_close),
    ROW("a_timer1_timer", a_timer1_timer),
    ROW("b_window_open", b_window_open),
    ROW("b_timer2_timer", b_timer2_timer),
    ROW("c_window_open", c_window_open),
    ROW("15_button1_click", dlg_button1_click),
    ROW("15_window_open", dlg_window_open),
    ROW("15_window_close", dlg_window_close),
    {nullptr, nullptr},
};
const hmi_func_row kRing[] = {
    ROW("ping_window_open", ping_window_open),
    ROW("pong_window_open", pong_window_open),
    {nullptr, nullptr},
};
const hmi_func_row kNoProps[] = {{nullptr, nullptr}};
const hmi_func_row kProps[] = {
    ROW("a_timer1_enable", a_timer1_enable),
    ROW("c_light1_visible", c_light1_visible),
    ROW("c_light1_fillcolor", c_light1_fillcolor),
    ROW("c_pipe1_flowstate", c_pipe1_flowstate),
    ROW("c_car1_xoffset", c_car1_xoffset),
    ROW("c_curve1_startyear", c_curve1_startyear),
    ROW("c_meter1_value", c_meter1_value),
    ROW("c_text1_text", c_text1_text),
    {nullptr, nullptr},
};
const hmi_func_row kTrickyProps[] = {
    ROW("a_timer1_enable", a_timer1_enable),
    ROW("c_light1_visible", c_light1_visible),
    ROW("c_lamp2_visible", c_lamp2_visible),
    ROW("c_meter2_value", c_meter2_value),
    ROW("c_text2_text", c_text2_text),
    ROW("c_text1_text", c_text1_text),
    {nullptr, nullptr},
};
const hmi_func_row kFaultyProps[] = {ROW("c_lamp1_flash", c_lamp1_flash), {nullptr, nullptr}};
#undef ROW

constexpr char kTags[] = R"(
system.IsMouseDown  u8   0
system.CurDateTime  u32  1767254400
system.Year         u16  2026
system.Month        u8   1
system.Day          u8   1
system.Hour         u8   8
system.Minute       u8   0
system.Second       u8   0
t.x                 u8   0
t.en                u8   0
t.n                 u16  0
)";
constexpr char kWindows[] = R"(
window a start
window b
window c
window dlg modal handlers=15
window 15 handlers=none
timer a timer1 100 enable
timer b timer2 250
)";

class Engine : public ::testing::Test {
  protected:
    Engine() { g_overlaps = 0; }
    Panel panel = make_panel(kTags, kWindows);
    std::shared_ptr<const Library> library = Library::from_tables(kEvents, kProps);
    Recorder out;
    Simulator sim{panel, library, Options{}, out.sink()};

    // Runs scenario lines; returns the trace without the start and the action lines.
    std::string run(const std::string& lines) {
        ScenarioResult r = run_scenario(lines, "test", sim);
        EXPECT_TRUE(r.ok()) << out.text;
        return out.take();
    }
    uint16_t ticks() { return *reinterpret_cast<uint16_t*>(sim.host().tags().find("t.n")->value); }
};

TEST_F(Engine, EventsThatAHandlerCausesRunAfterItInCallOrder) {
    sim.start();
    out.take();
    EXPECT_EQ(run("click a button1"),
              "00:00:00.000 click a button1\n"
              "00:00:00.000   set system.IsMouseDown = 1 (touch)\n"
              "00:00:00.000   show b\n"
              "00:00:00.000   set t.x = 1\n"
              "00:00:00.000   hide a\n"
              "00:00:00.000 open b\n"
              "00:00:00.000   show c\n"
              "00:00:00.000   set t.x = 3\n"
              "00:00:00.000   prop c light1 visible = 1\n"
              "00:00:00.000   prop c light1 fillcolor = 0x0467FB\n"
              "00:00:00.000   prop c pipe1 flowstate = -3\n"
              "00:00:00.000   prop c car1 xoffset = -60\n"
              "00:00:00.000   prop c curve1 startyear = 2026\n"
              "00:00:00.000   prop c meter1 value = 1.5\n"
              "00:00:00.000   prop c text1 text = \"提示\"\n"
              "00:00:00.000 close a\n"
              "00:00:00.000   set t.x = 2\n"
              "00:00:00.000   prop c pipe1 flowstate = -2\n"
              "00:00:00.000   prop c car1 xoffset = -40\n"
              "00:00:00.000   prop c meter1 value = 1\n"
              "00:00:00.000 open c\n"
              "00:00:00.000   set t.x = 4\n"
              "00:00:00.000   prop c pipe1 flowstate = -4\n"
              "00:00:00.000   prop c car1 xoffset = -80\n"
              "00:00:00.000   prop c meter1 value = 2\n");
    EXPECT_EQ(g_overlaps, 0);
    // Showing a shown window or hiding a hidden one is no event.
    EXPECT_EQ(run("show c\nhide a"), "00:00:00.000 show c\n00:00:00.000 hide a\n");
}

TEST_F(Engine, TheDialogRunsUnderItsHandlerWindowAndHoldsThePanelModally) {
    sim.start();
    out.take();
    EXPECT_EQ(run("click a button2"),
              "00:00:00.000 click a button2\n"
              "00:00:00.000   set system.IsMouseDown = 1 (touch)\n"
              "00:00:00.000   show_modal dlg\n"
              "00:00:00.000 open dlg\n"
              "00:00:00.000   set t.x = 15\n");
    ScenarioResult refused = run_scenario("click a button1", "test", sim);
    EXPECT_EQ(refused.failures, 1);
    EXPECT_EQ(out.take(),
              "00:00:00.000 ERROR test:1: dlg is open modally: only its widgets take clicks\n");
    EXPECT_EQ(run("click dlg button1\nexpect hidden dlg"),
              "00:00:00.000 click dlg button1\n"
              "00:00:00.000   set system.IsMouseDown = 1 (touch)\n"
              "00:00:00.000   exit_modal dlg\n"
              "00:00:00.000   hide dlg\n"
              "00:00:00.000 close dlg\n"
              "00:00:00.000   set t.x = 16\n"
              "00:00:00.000 ok test:2: expect hidden dlg\n");
    // Window "15" is a window of its own: showing it runs none of the dialog's handlers,
    // and the keys of "15" name the dialog.
    EXPECT_EQ(run("show 15"), "00:00:00.000 show 15\n");
    EXPECT_EQ(run_scenario("click 15_button1_click", "test", sim).failures, 1);
    EXPECT_EQ(out.take(), "00:00:00.000 ERROR test:1: window dlg is not shown\n");
}

TEST_F(Engine, ATimerTicksAtItsPeriodWhileItsWindowIsShownAndItsEnableIsOne) {
    sim.start();
    run("run 1s");
    EXPECT_EQ(ticks(), 0);  // enable 0
    run("set t.en 1\nrun 1s");
    EXPECT_EQ(ticks(), 10);
    run("set t.en 2\nrun 1s");
    EXPECT_EQ(ticks(), 10);  // only 1 enables it
    run("set t.en 1\nrun 50ms\nhide a\nrun 1s");
    EXPECT_EQ(ticks(), 10);  // 1050 ms after the last tick: none due yet, then hidden
    // Showing again starts the period afresh.
    run("show a\nrun 99ms");
    EXPECT_EQ(ticks(), 10);
    run("run 1ms");
    EXPECT_EQ(ticks(), 11);
    EXPECT_EQ(sim.now(), 4150u);
}

TEST_F(Engine, TimersOfSeveralWindowsInterleaveInTimeOrder) {
    sim.start();
    run("set t.en 1\nshow b\nset t.x 0");
    out.take();
    run_scenario("run 500ms", "test", sim);
    std::string events;
    for (const Event& e : out.events) {
        if (e.type == EventType::Timer) events += sim::trace_line(e) + "\n";
    }
    out.take();
    EXPECT_EQ(events,
              "00:00:00.100 timer a timer1\n"
              "00:00:00.200 timer a timer1\n"
              "00:00:00.250 timer b timer2\n"
              "00:00:00.300 timer a timer1\n"
              "00:00:00.400 timer a timer1\n"
              "00:00:00.500 timer a timer1\n"
              "00:00:00.500 timer b timer2\n");
    out.filter = WindowFilter({"b"});
    EXPECT_EQ(run("fire b timer2 2\nexpect tag t.x 4"),  // fire ticks now, without the clock
              "00:00:00.500 timer b timer2\n00:00:00.500   set t.x = 3\n"
              "00:00:00.500 timer b timer2\n00:00:00.500   set t.x = 4\n"
              "00:00:00.500 ok test:2: expect tag t.x 4 (t.x = 4)\n");
}

TEST_F(Engine, TheClockTagsFollowSimulatedTime) {
    sim.start();
    run("run 1h1m1s");
    auto& tags = sim.host().tags();
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(tags.find("system.CurDateTime")->value),
              1767254400u + 3661u);
    EXPECT_EQ(*tags.find("system.Hour")->value, 9);
    EXPECT_EQ(*tags.find("system.Minute")->value, 1);
    EXPECT_EQ(*tags.find("system.Second")->value, 1);
}

TEST_F(Engine, APropertyFunctionThatWritesPastItsValueIsReported) {
    Simulator faulty(panel, Library::from_tables(kEvents, kFaultyProps), Options{}, out.sink());
    faulty.start();
    out.take();
    run_scenario("show c", "test", faulty);
    EXPECT_EQ(out.take(),
              "00:00:00.000 show c\n"
              "00:00:00.000   ERROR prop c lamp1 flash wrote past its 1-byte value\n"
              "00:00:00.000 open c\n"
              "00:00:00.000   set t.x = 4\n"
              "00:00:00.000   ERROR prop c lamp1 flash wrote past its 1-byte value\n");
}

TEST_F(Engine, AWidgetHasRowsAndAPropertyValueIsItsOwnWindows) {
    for (const HandlerWindow& w : library->windows()) {
        for (const std::string& widget : w.widgets()) EXPECT_TRUE(w.has_widget(widget)) << widget;
        EXPECT_FALSE(w.has_widget("nosuch")) << w.name;
        EXPECT_FALSE(w.has_widget("")) << w.name;
    }
    sim.start();
    run("set t.x 1\nshow c");
    const PropRow* visible = sim.handlers(2)->prop("light1", "visible");
    ASSERT_NE(visible, nullptr);
    ASSERT_NE(sim.prop_value(2, visible), nullptr);
    EXPECT_EQ(sim.prop_value(2, visible)[0], 1);
    bool polled = false;
    EXPECT_EQ(sim.prop_follows(2, visible, &polled), std::vector<std::string>{"t.x"});
    EXPECT_TRUE(polled);
    // A row of another window's handlers has no value in this one.
    EXPECT_EQ(sim.prop_value(0, visible), nullptr);
    EXPECT_TRUE(sim.prop_follows(0, visible, &polled).empty());
    EXPECT_FALSE(polled);
}

TEST(Refresh, PollingOnlyWhatMayHaveChangedGivesTheTraceOfPollingEverything) {
    Panel panel = make_panel(kTags, kWindows);
    auto library = Library::from_tables(kEvents, kTrickyProps);
    const char* scenario =
        "show b\nset t.en 1\nrun 2s\nset t.x 4\nrun 1s\nset t.n 7\nfire a timer1 3\n"
        "show c\nset t.x 4\nrun 1500ms\nhide c\nset t.x 0\nshow c\nrun 1s\n";
    std::string traces[2];
    for (bool full : {false, true}) {
        Recorder out;
        Options options;
        options.full_refresh = full;
        Simulator sim(panel, library, options, out.sink());
        sim.start();
        EXPECT_TRUE(run_scenario(scenario, "s", sim).ok()) << out.text;
        traces[full] = out.text;
    }
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_NE(traces[0].find("prop c meter2 value"), std::string::npos);
    EXPECT_NE(traces[0].find("prop c lamp2 visible = 1"), std::string::npos);
}

// The script library draws its random numbers from the C library's rand(), which the
// program must export so that the simulator sees the draws.
TEST(Refresh, TheProgramsRandIsTheOneTheLibraryBindsTo) {
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "rand"), reinterpret_cast<void*>(&rand));
}

TEST(Events, AChainOfEventsWithoutEndIsStopped) {
    Panel panel = make_panel("t.x u8 0", "window ping\nwindow pong\n");
    Recorder out;
    Simulator sim(panel, Library::from_tables(kRing, kNoProps), Options{}, out.sink());
    sim.start();
    EXPECT_EQ(run_scenario("show ping", "s", sim).failures, 0);
    EXPECT_NE(out.text.find("ERROR 10000 events caused one another without end: the 1 still "
                            "queued are dropped"),
              std::string::npos);
}

TEST(Library, RowsThatTheSimulatorCannotUseAreNamed) {
    auto noop = reinterpret_cast<void*>(&a_button1_click);
    const hmi_func_row events[] = {{"a_button1_click", noop}, {"a_button1_click", noop},
                                   {"nounderscore", noop},    {"a_b_c_d", noop},
                                   {"a_b_click", nullptr},    {nullptr, nullptr}};
    const hmi_func_row props[] = {{"a_b_colour", noop}, {nullptr, nullptr}};
    auto lib = Library::from_tables(events, props);
    EXPECT_EQ(lib->event_count(), 1u);
    EXPECT_EQ(lib->prop_count(), 0u);
    ASSERT_EQ(lib->problems().size(), 5u);
    EXPECT_EQ(lib->problems()[0], "event_funcs row a_button1_click is there twice");
    EXPECT_EQ(lib->problems()[1], "event_funcs row nounderscore is not window_widget_name");
    EXPECT_EQ(lib->problems()[2], "event_funcs row a_b_c_d is not window_widget_name");
    EXPECT_EQ(lib->problems()[3], "event_funcs row a_b_click has no function");
    EXPECT_EQ(lib->problems()[4], "prop_funcs row a_b_colour: no widget has a property 'colour'");
}

TEST(Library, TheRealLibraryIsReadFromItsTablesThroughItsLookup) {
    const Library& lib = *real_library();
    EXPECT_TRUE(lib.problems().empty());
    const HandlerWindow* main = lib.window("main");
    ASSERT_NE(main, nullptr);
    EXPECT_NE(main->event("timer1", "timer"), nullptr);
    EXPECT_NE(main->event("picture3", "click"), nullptr);
    // Every handler window of the library is a window of the panel.
    for (const HandlerWindow& w : lib.windows()) {
        bool taken = false;
        for (const PanelWindow& p : real_panel().windows) taken = taken || p.handlers == w.name;
        EXPECT_TRUE(taken) << "no window of windows.txt takes the handlers of " << w.name;
    }
}

TEST(PanelFile, BadLinesAreNamedWithTheirLine) {
    auto error = [](const std::string& windows) {
        try {
            make_panel("t.x u8 0", windows);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error("window a\nwindow a"), "windows:2: window a is already defined at line 1");
    EXPECT_EQ(error("window a bold"), "windows:1: unknown window flag 'bold'");
    EXPECT_EQ(error("timer a t 100"), "windows:1: timer of window a, which is not defined above");
    EXPECT_EQ(error("window a\ntimer a t 0"),
              "windows:2: period '0' is not a whole number of ms above 0");
    EXPECT_EQ(error("window a\ntimer a t 10 on"), "windows:2: unknown timer flag 'on'");
    EXPECT_EQ(error("screen a"), "windows:1: unknown line 'screen': expected window or timer");
    EXPECT_EQ(make_panel("t.x u8 0", "window dlg handlers=15\nwindow 15 handlers=none")
                  .windows[1]
                  .handlers,
              "");
}

}  // namespace
}  // namespace hmi::sim::test
