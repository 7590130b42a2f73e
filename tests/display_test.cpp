// The display library's own logic against a fake platform: key tables, the pump,
// ShowFrame's order, the frame-rate meter, start-up frames, the mouse, opening
// and closing, and pixel layouts for other visuals. No X server is involved.

#include <gtest/gtest.h>

#include <X11/keysym.h> // only the keysym numbers, to check the spelled-out table
#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "pelto/base/Log.hpp"
#include "pelto/display/Display.hpp"
#include "pelto/display/PixelLayout.hpp"
#include "pelto/display/VirtualKeys.hpp"
#include "tests/support/Process.hpp"
#include "tests/support/Scratch.hpp"

// Counts every allocation of the test binary, to show that ShowFrame makes none.
// GCC pairs the malloc inside operator new with the free inside operator delete
// and warns; the pairing is the replacement's own and correct.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<long> allocations{0};
}
void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

enum class Call : std::uint8_t {
    connect, createWindow, setUp, setTitle, detachContext, present, nextEvent,
    readMap, queryKeyboard, tick, destroyWindow, releasePresentation, disconnect,
};

// Xvfb's default keycodes for the keys the tests press.
constexpr int keycodeEscape = 9;
constexpr int keycodeA = 38;
constexpr int keycodeUp = 111;
constexpr int keycodeInsert = 118;
constexpr int keycodeUnmapped = 200;

class FakePlatform final : public peltoPlatform {
public:
    FakePlatform()
    {
        calls.reserve(1 << 16);
        map[keycodeEscape] = {XK_Escape, 0};
        map[keycodeA] = {XK_a, XK_A};
        map[keycodeUp] = {XK_Up, 0};
        map[keycodeInsert] = {XK_Insert, XK_KP_0};
        map[keycodeUnmapped] = {XK_Super_L, 0};
    }
    peltoScreenSize connect() override { log(Call::connect); return screenSize; }
    void createWindow(const peltoWindowRequest& request) override { log(Call::createWindow); window = request; }
    void setUpPresentation(const peltoPresentRequest& request) override { log(Call::setUp); presentRequest = request; }
    void setTitle(const char* text) override { log(Call::setTitle); title = text; }
    void releaseContextFromThread() override { log(Call::detachContext); }
    void present(const peltoImage& frame) override { log(Call::present); presented = frame.pixels; }
    bool nextEvent(peltoEvent& event) override
    {
        log(Call::nextEvent);
        if (head == tail)
            return false;
        event = queue[head++ % queue.size()];
        return true;
    }
    void readKeyboardMap(peltoKeyboardMap& out) override { log(Call::readMap); out = map; }
    void queryKeyboard(peltoKeycodeBits& out) override { log(Call::queryKeyboard); out = down; }
    std::uint64_t tickMilliseconds() override { log(Call::tick); return now; }
    void destroyWindow() override { log(Call::destroyWindow); }
    void releasePresentation() override { log(Call::releasePresentation); }
    void disconnect() override { log(Call::disconnect); }

    void push(peltoEvent event) { queue[tail++ % queue.size()] = event; }
    void press(int keycode, bool isDown)
    {
        down[keycode / 8] = static_cast<std::uint8_t>(isDown ? down[keycode / 8] | (1 << (keycode % 8))
                                                             : down[keycode / 8] & ~(1 << (keycode % 8)));
    }
    std::vector<Call> callsFrom(std::size_t first) const { return {calls.begin() + first, calls.end()}; }

    std::vector<Call> calls;
    std::array<peltoEvent, 64> queue{};
    std::size_t head = 0;
    std::size_t tail = 0;
    peltoKeyboardMap map{};
    peltoKeycodeBits down{};
    std::uint64_t now = 1000;
    peltoScreenSize screenSize{1920, 1080};
    peltoWindowRequest window;
    peltoPresentRequest presentRequest;
    std::string title;
    const std::uint32_t* presented = nullptr;

private:
    void log(Call call) { calls.push_back(call); }
};

[[noreturn]] void throwMessage(const std::string& message)
{
    throw std::runtime_error(message);
}

// Every test starts from the state a program has before OpenDisplay.
class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys.fill(0);
        quitRequested = false;
        mouseX = mouseY = -1;
        mouseScaleX = mouseScaleY = 1.0f;
        mouseLeft = mouseMiddle = mouseRight = false;
        mouseWheel = mouseWheelNotches = 0;
        mouseDragX = mouseDragY = 0;
        keysPressed.fill(0);
        startupFrames = 0;
        fps = 0.0f;
        screen = {};
        videoMode = 0;
        centerWindow = true;
        windowX = windowY = 0;
        fullScreenBits = 32;
        peltoSetPlatform(&platform);
        peltoSetFatalErrorHook(throwMessage);
    }
    void TearDown() override
    {
        FreeImage(screen);
        peltoSetPlatform(nullptr);
        peltoSetFatalErrorHook(nullptr);
    }
    // The message OpenDisplay stops with, or "" when it opens.
    std::string openFails(std::uint32_t width, std::uint32_t height, bool full = false)
    {
        try {
            OpenDisplay(width, height, full, false);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }
    void openDefault()
    {
        OpenDisplay(1280, 720, false, false);
        platform.calls.clear();
    }
    FakePlatform platform;
};

// ---- key tables -----------------------------------------------------------

struct KeyRow {
    std::uint8_t firstVirtualKey;
    std::vector<std::uint8_t> codes; // for consecutive virtual keys
};

TEST(MapKey, EveryListedKeyHasItsLibraryCodeAndNoOtherKeyHasOne)
{
    const std::vector<KeyRow> rows = {
        {'A', {200, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6}},
        {'0', {29, 18, 19, 20, 21, 23, 22, 26, 28, 25}},
        {0xBD, {27}}, {0xBB, {130}}, {0xDB, {33}}, {0xDD, {30}}, {0xDC, {42}},
        {0xBA, {41}}, {0xDE, {140}}, {0xC0, {141}}, {0xBC, {43}}, {0xBE, {47}}, {0xBF, {44}}, {0xE2, {150}},
        {0x0D, {36}}, {0x09, {48}}, {0x20, {49}}, {0x08, {51}}, {0x1B, {53}},
        {0xA0, {56}}, {0x14, {57}}, {0xA4, {58}}, {0xA2, {59}}, {0xA1, {60}}, {0xA5, {61}}, {0xA3, {62}},
        {0x25, {123}}, {0x27, {124}}, {0x28, {125}}, {0x26, {126}},
        {0x2D, {114}}, {0x24, {115}}, {0x21, {116}}, {0x2E, {117}}, {0x23, {119}}, {0x22, {121}},
        {0x13, {113}}, {0x91, {107}}, {0x90, {71}},
        {0x70, {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111}},
        {0x60, {82, 83, 84, 85, 86, 87, 88, 89, 91, 92}},
        {0x6A, {67, 69, 81, 78, 95, 75}},
    };
    std::array<int, 256> expected{};
    for (const KeyRow& row : rows)
        for (std::size_t i = 0; i < row.codes.size(); ++i)
            expected[row.firstVirtualKey + i] = row.codes[i];
    std::array<int, 256> owners{};
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(MapKey(static_cast<std::uint8_t>(v)), expected[v]) << "virtual key " << v;
        const int code = MapKey(static_cast<std::uint8_t>(v));
        if (code != 0) {
            EXPECT_EQ(owners[code]++, 0) << "code " << code << " given twice";
        }
    }
    EXPECT_EQ(MapKey('A'), peltoKeyA);
}

TEST(MapKey, GenericModifiersAndMouseButtonsGiveZero)
{
    for (const std::uint8_t v : {peltoVkShift, peltoVkControl, peltoVkMenu, std::uint8_t{1}, std::uint8_t{2},
                                 std::uint8_t{4}, std::uint8_t{0}, std::uint8_t{255}})
        EXPECT_EQ(MapKey(v), 0) << int{v};
}

TEST(Keysyms, EveryListedKeysymReachesItsVirtualKey)
{
    const std::vector<std::pair<std::uint32_t, std::uint8_t>> cases = {
        {XK_a, 'A'}, {XK_m, 'M'}, {XK_z, 'Z'}, {XK_0, '0'}, {XK_9, '9'},
        {XK_minus, peltoVkOemMinus}, {XK_equal, peltoVkOemPlus}, {XK_bracketleft, peltoVkOem4},
        {XK_bracketright, peltoVkOem6}, {XK_backslash, peltoVkOem5}, {XK_semicolon, peltoVkOem1},
        {XK_apostrophe, peltoVkOem7}, {XK_grave, peltoVkOem3}, {XK_comma, peltoVkOemComma},
        {XK_period, peltoVkOemPeriod}, {XK_slash, peltoVkOem2}, {XK_less, peltoVkOem102},
        {XK_Return, peltoVkReturn}, {XK_Tab, peltoVkTab}, {XK_space, peltoVkSpace}, {XK_BackSpace, peltoVkBack},
        {XK_Escape, peltoVkEscape}, {XK_Shift_L, peltoVkLShift}, {XK_Shift_R, peltoVkRShift},
        {XK_Control_L, peltoVkLControl}, {XK_Control_R, peltoVkRControl}, {XK_Alt_L, peltoVkLMenu},
        {XK_Alt_R, peltoVkRMenu}, {XK_Caps_Lock, peltoVkCapital}, {XK_Left, peltoVkLeft}, {XK_Up, peltoVkUp},
        {XK_Right, peltoVkRight}, {XK_Down, peltoVkDown}, {XK_Insert, peltoVkInsert}, {XK_Home, peltoVkHome},
        {XK_Prior, peltoVkPrior}, {XK_Delete, peltoVkDelete}, {XK_End, peltoVkEnd}, {XK_Next, peltoVkNext},
        {XK_Pause, peltoVkPause}, {XK_Scroll_Lock, peltoVkScroll}, {XK_Num_Lock, peltoVkNumLock},
        {XK_F1, peltoVkF1}, {XK_F12, peltoVkF1 + 11}, {XK_KP_0, peltoVkNumpad0}, {XK_KP_9, peltoVkNumpad0 + 9},
        {XK_KP_Multiply, peltoVkMultiply}, {XK_KP_Add, peltoVkAdd}, {XK_KP_Separator, peltoVkSeparator},
        {XK_KP_Subtract, peltoVkSubtract}, {XK_KP_Decimal, peltoVkDecimal}, {XK_KP_Divide, peltoVkDivide},
        // Not listed: upper-case letters (level 2), other modifiers and keys.
        {XK_A, 0}, {XK_Super_L, 0}, {XK_KP_Enter, 0}, {XK_F13, 0}, {XK_exclam, 0}, {XK_Print, 0}, {0, 0},
    };
    for (const auto& [keysym, virtualKey] : cases)
        EXPECT_EQ(peltoVirtualKeyOfKeysym(keysym), virtualKey) << std::hex << keysym;
}

TEST(Keysyms, KeycodesGoByLevelOneAndKeypadNavigationByItsDigit)
{
    peltoKeyboardMap map{};
    map[38] = {XK_a, XK_A};
    map[79] = {XK_KP_Home, XK_KP_7};
    map[91] = {XK_KP_Delete, XK_KP_Decimal};
    map[110] = {XK_Home, 0};
    map[94] = {XK_less, XK_greater};
    map[133] = {XK_Super_L, 0};
    const std::array<std::uint8_t, 256> table = peltoBuildKeycodeTable(map);
    EXPECT_EQ(table[38], 'A');
    EXPECT_EQ(table[79], peltoVkNumpad0 + 7);
    EXPECT_EQ(table[91], peltoVkDecimal);
    EXPECT_EQ(table[110], peltoVkHome);
    EXPECT_EQ(table[94], peltoVkOem102);
    EXPECT_EQ(table[133], 0);
    EXPECT_EQ(table[0], 0);
}

// ---- keyboard through the pump ------------------------------------------

TEST_F(Display, HeldKeysShowAfterTheNextPumpAndGoAfterRelease)
{
    openDefault();
    const std::vector<std::pair<int, std::uint8_t>> held = {
        {keycodeEscape, 53}, {keycodeUp, 126}, {keycodeInsert, 114}, {keycodeA, 200}};
    for (const auto& [keycode, code] : held) {
        platform.press(keycode, true);
        platform.push({peltoEventKind::other});
        ShowFrame();
        EXPECT_EQ(keys[code], 1) << "code " << int{code};
        platform.press(keycode, false);
        platform.push({peltoEventKind::other});
        ShowFrame();
        EXPECT_EQ(keys[code], 0) << "code " << int{code};
    }
}

TEST_F(Display, KeysAreRebuiltOnlyWhenThePumpHandledAnEvent)
{
    openDefault();
    platform.press(keycodeUp, true);
    ShowFrame();
    EXPECT_EQ(keys[126], 0) << "no event, no rebuild";
    platform.push({peltoEventKind::motion, 3, 4});
    ShowFrame();
    EXPECT_EQ(keys[126], 1);
}

TEST_F(Display, UnmappedKeysLeaveCodeZeroAlone)
{
    openDefault();
    platform.press(keycodeUnmapped, true);
    platform.press(keycodeA, true);
    platform.push({peltoEventKind::other});
    ShowFrame();
    EXPECT_EQ(keys[0], 0);
    EXPECT_EQ(keys[200], 1);
}

TEST_F(Display, AChangedKeymapIsReadAgain)
{
    openDefault();
    platform.map[keycodeUnmapped] = {XK_Delete, 0};
    platform.press(keycodeUnmapped, true);
    platform.push({peltoEventKind::keymapChanged});
    ShowFrame();
    EXPECT_EQ(keys[117], 1);
}

// ---- mouse, wheel, quit -------------------------------------------------

TEST_F(Display, MousePositionIsScaledAndRoundedTiesToEven)
{
    struct Case {
        std::int32_t x, y;
        float scaleX, scaleY;
        std::int32_t wantX, wantY;
    };
    const std::vector<Case> cases = {
        {5, 7, 1.0f, 1.0f, 5, 7},        // exactly 1.0: untouched
        {5, 7, 0.5f, 0.5f, 2, 4},        // 2.5 -> 2, 3.5 -> 4
        {3, 9, 1.5f, 0.5f, 4, 4},        // 4.5 -> 4, 4.5 -> 4
        {1279, 719, 2.0f, 0.25f, 2558, 180},
        {-1, 70000, 1.0f, 1.0f, 65535, 4464}, // positions travel as unsigned 16 bits
    };
    openDefault();
    for (const Case& c : cases) {
        mouseScaleX = c.scaleX;
        mouseScaleY = c.scaleY;
        platform.push({peltoEventKind::motion, c.x, c.y});
        ShowFrame();
        EXPECT_EQ(mouseX, c.wantX) << c.x << " x " << c.scaleX;
        EXPECT_EQ(mouseY, c.wantY) << c.y << " x " << c.scaleY;
    }
}

TEST_F(Display, WheelAwayIsMinusOneTowardsPlusOneAndLastsOnePump)
{
    openDefault();
    ShowFrame();
    ShowFrame();
    platform.push({peltoEventKind::buttonDown, 0, 0, 4});
    ShowFrame();
    EXPECT_EQ(mouseWheel, -1);
    ShowFrame();
    EXPECT_EQ(mouseWheel, 0);
    platform.push({peltoEventKind::buttonDown, 0, 0, 5});
    platform.push({peltoEventKind::buttonUp, 0, 0, 5});
    ShowFrame();
    EXPECT_EQ(mouseWheel, 1);
    EXPECT_FALSE(mouseLeft || mouseMiddle || mouseRight);
}

TEST_F(Display, ButtonsFollowPressAndReleaseAfterTheStartUpFrames)
{
    openDefault();
    ShowFrame();
    ShowFrame();
    const std::vector<std::pair<int, bool*>> buttons = {{1, &mouseLeft}, {2, &mouseMiddle}, {3, &mouseRight}};
    for (const auto& [button, state] : buttons) {
        platform.push({peltoEventKind::buttonDown, 0, 0, button});
        ShowFrame();
        EXPECT_TRUE(*state) << "button " << button;
        platform.push({peltoEventKind::buttonUp, 0, 0, button});
        ShowFrame();
        EXPECT_FALSE(*state) << "button " << button;
    }
}

TEST_F(Display, PressesOfTheFirstTwoFramesAreDroppedTheThirdCounts)
{
    openDefault();
    for (int frame = 1; frame <= 3; ++frame) {
        platform.push({peltoEventKind::buttonDown, 0, 0, 1});
        ShowFrame();
        EXPECT_EQ(mouseLeft, frame == 3) << "frame " << frame;
        EXPECT_EQ(startupFrames, std::min(frame, 2));
    }
}

TEST_F(Display, CloseButtonAndWindowEndSetQuitWithoutAScan)
{
    for (const peltoEventKind kind : {peltoEventKind::closeRequest, peltoEventKind::destroyed}) {
        quitRequested = false;
        openDefault();
        platform.push({kind});
        ShowFrame();
        EXPECT_TRUE(quitRequested);
        EXPECT_EQ(platform.calls, (std::vector<Call>{Call::present, Call::tick, Call::nextEvent, Call::nextEvent}));
        FreeImage(screen);
    }
}

// ---- what happens between two frames -------------------------------------

TEST_F(Display, AKeyTappedBetweenTwoFramesActsInOneFrame)
{
    openDefault();
    // Pressed and released again before the pump: the key state shows it up.
    platform.push({peltoEventKind::keyDown, 0, 0, 0, keycodeEscape});
    platform.push({peltoEventKind::other});
    ShowFrame();
    EXPECT_EQ(keys[peltoKeyEscape], 0);
    EXPECT_EQ(keysPressed[peltoKeyEscape], 1);
    EXPECT_EQ(peltoFrameKeys()[peltoKeyEscape], 1);
    ShowFrame();
    EXPECT_EQ(keysPressed[peltoKeyEscape], 0) << "one frame only";
    EXPECT_EQ(peltoFrameKeys()[peltoKeyEscape], 0);

    // Held over frames, with the window system repeating it: every frame, once.
    platform.press(keycodeUp, true);
    for (int frame = 0; frame < 3; ++frame) {
        platform.push({peltoEventKind::keyDown, 0, 0, 0, keycodeUp});
        platform.push({peltoEventKind::keyDown, 0, 0, 0, keycodeUp});
        ShowFrame();
        EXPECT_EQ(peltoFrameKeys()[peltoKeyUp], 1);
    }
    // A key without a code of its own marks nothing, not even code 0.
    platform.push({peltoEventKind::keyDown, 0, 0, 0, keycodeUnmapped});
    ShowFrame();
    EXPECT_EQ(keysPressed, peltoKeyState{});
}

TEST_F(Display, DragIsTheMotionWithTheLeftButtonDownDuringThePump)
{
    struct Case {
        const char* name;
        std::vector<peltoEvent> events;
        std::int32_t dragX, dragY;
    };
    const std::vector<Case> cases = {
        {"press, two moves, release",
         {{peltoEventKind::buttonDown, 100, 50, 1}, {peltoEventKind::motion, 110, 50}, {peltoEventKind::motion, 130, 40},
          {peltoEventKind::buttonUp, 130, 40, 1}},
         30, -10},
        {"moves without a button", {{peltoEventKind::motion, 10, 10}, {peltoEventKind::motion, 90, 70}}, 0, 0},
        {"right button", {{peltoEventKind::buttonDown, 0, 0, 3}, {peltoEventKind::motion, 50, 5}}, 0, 0},
        {"release, then moves", {{peltoEventKind::buttonDown, 5, 5, 1}, {peltoEventKind::buttonUp, 5, 5, 1},
                                 {peltoEventKind::motion, 80, 80}}, 0, 0},
    };
    for (const Case& c : cases) {
        openDefault();
        ShowFrame();
        ShowFrame();
        for (const peltoEvent& event : c.events)
            platform.push(event);
        ShowFrame();
        EXPECT_EQ(mouseDragX, c.dragX) << c.name;
        EXPECT_EQ(mouseDragY, c.dragY) << c.name;
        platform.push({peltoEventKind::buttonUp, 0, 0, 1});
        platform.push({peltoEventKind::buttonUp, 0, 0, 3});
        ShowFrame();
        EXPECT_EQ(mouseDragX, 0) << c.name << ": one pump only";
        FreeImage(screen);
    }
}

TEST_F(Display, DragGoesOnAcrossPumpsAndIsScaledLikeThePosition)
{
    openDefault();
    ShowFrame();
    ShowFrame();
    mouseScaleX = 2.0f;
    platform.push({peltoEventKind::buttonDown, 10, 10, 1});
    platform.push({peltoEventKind::motion, 15, 10});
    ShowFrame();
    EXPECT_EQ(mouseDragX, 10);
    platform.push({peltoEventKind::motion, 12, 13});
    ShowFrame();
    EXPECT_EQ(mouseDragX, -6);
    EXPECT_EQ(mouseDragY, 3);
}

TEST_F(Display, DragsOfTheStartUpFramesAreDropped)
{
    openDefault();
    platform.push({peltoEventKind::buttonDown, 0, 0, 1});
    platform.push({peltoEventKind::motion, 40, 40});
    ShowFrame();
    EXPECT_EQ(mouseDragX, 0);
    platform.push({peltoEventKind::motion, 80, 80});
    ShowFrame();
    ShowFrame();
    platform.push({peltoEventKind::motion, 90, 90});
    ShowFrame();
    EXPECT_EQ(mouseDragX, 0) << "the press was dropped, so the button is up";
}

TEST_F(Display, WheelNotchesOfOnePumpAddUp)
{
    openDefault();
    for (const int button : {4, 4, 4, 5})
        platform.push({peltoEventKind::buttonDown, 0, 0, button});
    ShowFrame();
    EXPECT_EQ(mouseWheelNotches, -2);
    EXPECT_EQ(mouseWheel, 1) << "the last notch, as before";
    ShowFrame();
    EXPECT_EQ(mouseWheelNotches, 0);
}

// ---- ShowFrame order and the meter ---------------------------------------

TEST_F(Display, ShowFramePresentsThenCountsThenPumps)
{
    openDefault();
    platform.push({peltoEventKind::other});
    ShowFrame();
    EXPECT_EQ(platform.calls, (std::vector<Call>{Call::present, Call::tick, Call::nextEvent, Call::nextEvent,
                                                 Call::queryKeyboard}));
    EXPECT_EQ(platform.presented, screen.pixels);
}

TEST_F(Display, OnceQuitIsRequestedNothingIsPresentedOrCountedButEventsArePumped)
{
    openDefault();
    quitRequested = true;
    platform.push({peltoEventKind::motion, 10, 20});
    ShowFrame();
    EXPECT_EQ(platform.calls, (std::vector<Call>{Call::nextEvent, Call::nextEvent, Call::queryKeyboard}));
    EXPECT_EQ(mouseX, 10);
}

TEST_F(Display, SixtyEvenFramesASecondMeasureSixty)
{
    platform.now = 5000;
    openDefault();
    for (int frame = 1; frame <= 60; ++frame) {
        platform.now = 5000 + static_cast<std::uint64_t>(frame * 1000 / 60);
        ShowFrame();
        if (frame == 29) {
            EXPECT_EQ(fps, 0.0f) << "below 500 ms nothing is measured";
        }
        if (frame == 30) {
            EXPECT_EQ(fps, 60.0f);
        }
    }
    EXPECT_EQ(fps, 60.0f);
    const ProcessResult r = runInChild([] { ReportFps(); return 0; });
    EXPECT_EQ(r.out, "ya get 60.00 FPS!\n");
}

TEST_F(Display, MeterDividesFramesTimesThousandByElapsedInSinglePrecision)
{
    platform.now = 0;
    openDefault();
    for (int frame = 1; frame <= 7; ++frame) {
        platform.now = frame == 7 ? 501 : static_cast<std::uint64_t>(frame);
        ShowFrame();
    }
    EXPECT_EQ(fps, 7000.0f / 501.0f);
    const ProcessResult r = runInChild([] { ReportFps(); return 0; });
    EXPECT_EQ(r.out, "ya get 13.97 FPS!\n");
}

TEST_F(Display, ReportFpsIsSilentWithoutAMeasurement)
{
    openDefault();
    platform.now += 499;
    ShowFrame();
    const ProcessResult r = runInChild([] { ReportFps(); return 0; });
    EXPECT_EQ(r.out, "");
}

TEST_F(Display, ShowFrameAllocatesNothing)
{
    openDefault();
    ShowFrame();
    ShowFrame();
    const long before = allocations.load();
    for (int frame = 0; frame < 100; ++frame) {
        platform.push({peltoEventKind::motion, frame, frame});
        platform.push({peltoEventKind::buttonDown, 0, 0, 1 + frame % 5});
        platform.push({peltoEventKind::other});
        platform.now += 7;
        ShowFrame();
    }
    EXPECT_EQ(allocations.load(), before);
}

// ---- opening and closing --------------------------------------------------

TEST_F(Display, OpenDisplayRunsItsStepsInOrder)
{
    OpenDisplay(1280, 720, false, false);
    EXPECT_EQ(platform.calls, (std::vector<Call>{Call::connect, Call::createWindow, Call::readMap, Call::setUp,
                                                 Call::tick, Call::setTitle, Call::tick}));
    EXPECT_EQ(videoMode, 1);
    EXPECT_EQ(platform.presentRequest.videoMode, 1);
    EXPECT_EQ(platform.title, "Pelto 4.0.6a output window");
    EXPECT_STREQ(platform.window.className, "PELTO");
    EXPECT_STREQ(platform.window.title, "Pelto 4.0.6a output window");
    EXPECT_EQ(platform.window.width, 1280u);
    EXPECT_EQ(platform.window.height, 720u);
    EXPECT_EQ(startupFrames, 0);
}

TEST_F(Display, FrameBufferIsAllocatedAndZero)
{
    OpenDisplay(1280, 720, false, false);
    ASSERT_NE(screen.pixels, nullptr);
    EXPECT_EQ(screen.width, 1280u);
    EXPECT_EQ(screen.height, 720u);
    for (std::size_t i = 0; i < 1280u * 720u; ++i)
        ASSERT_EQ(screen.pixels[i], 0u) << i;
}

TEST_F(Display, DetachedGlContextIsReleasedBetweenTheTwoMeterResets)
{
    videoMode = 3;
    OpenDisplay(640, 480, false, true);
    EXPECT_EQ(platform.calls, (std::vector<Call>{Call::connect, Call::createWindow, Call::readMap, Call::setUp,
                                                 Call::tick, Call::setTitle, Call::detachContext, Call::tick}));
    EXPECT_TRUE(detachContext);
}

TEST_F(Display, WindowPlacement)
{
    struct Case {
        std::uint32_t screenW, screenH, width, height;
        bool centre;
        std::int32_t x, y, wantX, wantY;
    };
    const std::vector<Case> cases = {
        {1920, 1080, 1280, 720, true, 0, 0, 320, 180},
        {1921, 1081, 1279, 719, true, 0, 0, 321, 181}, // each half truncated: 960 - 639, 540 - 359
        {1024, 600, 1280, 720, true, 0, 0, 0, 0},      // too large: kept on screen at 0
        {1920, 1080, 1280, 720, false, 17, -5, 17, -5},
    };
    for (const Case& c : cases) {
        platform.screenSize = {c.screenW, c.screenH};
        centerWindow = c.centre;
        windowX = c.x;
        windowY = c.y;
        OpenDisplay(c.width, c.height, false, false);
        EXPECT_EQ(platform.window.x, c.wantX) << c.screenW << " " << c.width;
        EXPECT_EQ(platform.window.y, c.wantY) << c.screenH << " " << c.height;
        FreeImage(screen);
    }
}

TEST_F(Display, FullScreenNeedsAScreenAtLeastThatLarge)
{
    platform.screenSize = {1280, 720};
    EXPECT_EQ(openFails(1280, 720, true), "");
    EXPECT_TRUE(platform.window.fullScreen);
    EXPECT_EQ(platform.window.x, 0);
    EXPECT_EQ(platform.window.y, 0);
    FreeImage(screen);
    EXPECT_EQ(openFails(1280, 721, true), "VideMode not supported!");
}

TEST_F(Display, OpenDisplayFailures)
{
    struct Case {
        std::int32_t mode;
        std::uint32_t width, height;
        const char* message;
    };
    const std::vector<Case> cases = {
        {4, 1280, 720, "Unsupported Device"},
        {-1, 1280, 720, "Unsupported Device"},
        {1, 0, 720, "WinCreate failed"},
        {1, 65536, 1, "WinCreate failed"},
        {2, 1280, 0, "WinCreate failed"},
    };
    for (const Case& c : cases) {
        videoMode = c.mode;
        platform.calls.clear();
        EXPECT_EQ(openFails(c.width, c.height), c.message) << c.mode << " " << c.width << "x" << c.height;
        EXPECT_TRUE(platform.calls.empty()) << "no window for " << c.message;
        FreeImage(screen);
    }
}

TEST_F(Display, NoPlatformIsNoWindow)
{
    peltoSetPlatform(nullptr);
    EXPECT_EQ(openFails(1280, 720), "WinCreate failed");
}

TEST_F(Display, CloseDisplayDestroysReleasesFreesAndKeepsTheSize)
{
    openDefault();
    CloseDisplay();
    EXPECT_EQ(platform.calls, (std::vector<Call>{Call::destroyWindow, Call::releasePresentation, Call::disconnect}));
    EXPECT_EQ(screen.pixels, nullptr);
    EXPECT_EQ(screen.width, 1280u);
    EXPECT_EQ(screen.height, 720u);
}

// ---- pixel layouts of other visuals --------------------------------------

TEST(PixelLayout, OnlyTheLittleEndianBgrxLayoutTakesFrameBytesAsTheyAre)
{
    EXPECT_TRUE(peltoIsFrameLayout({0xFF0000, 0xFF00, 0xFF, 32, false}));
    EXPECT_FALSE(peltoIsFrameLayout({0xFF0000, 0xFF00, 0xFF, 32, true}));
    EXPECT_FALSE(peltoIsFrameLayout({0xFF, 0xFF00, 0xFF0000, 32, false}));
    EXPECT_FALSE(peltoIsFrameLayout({0xFF0000, 0xFF00, 0xFF, 24, false}));
    EXPECT_FALSE(peltoIsFrameLayout({0xF800, 0x7E0, 0x1F, 16, false}));
}

TEST(PixelLayout, ConvertedBytesOfKnownPixels)
{
    struct Case {
        peltoPixelLayout layout;
        std::uint32_t pixel;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {{0xF800, 0x7E0, 0x1F, 16, false}, 0xFFFF0000, {0x00, 0xF8}},         // 5-6-5 red
        {{0xF800, 0x7E0, 0x1F, 16, false}, 0xFF08FC07, {0xE0, 0x0F}},         // 1, 63, 0
        {{0xF800, 0x7E0, 0x1F, 16, true}, 0xFF00FF00, {0x07, 0xE0}},          // green, big-endian
        {{0xFF0000, 0xFF00, 0xFF, 24, false}, 0x80123456, {0x56, 0x34, 0x12}}, // packed, alpha dropped
        {{0xFF0000, 0xFF00, 0xFF, 24, true}, 0x80123456, {0x12, 0x34, 0x56}},
        {{0xFF, 0xFF00, 0xFF0000, 32, false}, 0xFF123456, {0x12, 0x34, 0x56, 0x00}}, // RGB order swapped
        {{0x3FF00000, 0xFFC00, 0x3FF, 32, false}, 0xFFFF0080, {0x02, 0x02, 0xF0, 0x3F}}, // 10 bits: 0x80 -> 0x202
    };
    for (const Case& c : cases) {
        std::uint32_t source = c.pixel;
        const peltoImage frame{&source, 1, 1};
        std::vector<std::uint8_t> out(c.bytes.size() + 1, 0xEE);
        peltoConvertFrame(frame, c.layout, out.data(), c.bytes.size());
        EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end() - 1), c.bytes) << std::hex << c.pixel;
        EXPECT_EQ(out.back(), 0xEE) << "wrote past the pixel";
    }
}

TEST(PixelLayout, RowsLandAtTheirStride)
{
    std::uint32_t source[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    const peltoImage frame{source, 3, 2};
    std::vector<std::uint8_t> out(2 * 8, 0xEE);
    peltoConvertFrame(frame, {0xF800, 0x7E0, 0x1F, 16, false}, out.data(), 8);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xEE, 0xEE,
                                              0xFF, 0xFF, 0x00, 0x00, 0x10, 0x84, 0xEE, 0xEE}));
}

} // namespace

// ---- the X11 platform without a server -----------------------------------

namespace {

const std::string probe = std::string(KZO_BINARY_DIR) + "/tests/x11/kzo_videomode_probe";

// Both stop before any window: exit code 1, the message on standard error and
// the two log lines.
TEST(DisplayProgram, StopsWithoutAWindow)
{
    struct Case {
        const char* mode;
        const char* display; // nullptr: DISPLAY unset
        const char* message;
    };
    const std::vector<Case> cases = {
        {"1", nullptr, "WinCreate failed"},
        {"1", ":unreachable", "WinCreate failed"},
        {"4", ":unreachable", "Unsupported Device"}, // refused before any connection
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        ProcessOptions options = inDirectory(dir.path());
        if (c.display)
            options.setEnv.push_back(std::string("DISPLAY=") + c.display);
        else
            options.unsetEnv.push_back("DISPLAY");
        const ProcessResult r = runProcess(probe, {c.mode, "pattern"}, options);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(r.err, std::string(c.message) + "\n");
        EXPECT_EQ(readText(dir.file("logger.log")),
                  std::string("MESSAGE: ") + c.message + "\r\n" + c.message + "\r\n");
    }
}

} // namespace
