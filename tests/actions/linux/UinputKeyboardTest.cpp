#include "actions/linux/KeyCodeTable.h"
#include "actions/linux/UinputKeyboard.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <tuple>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

namespace {

using KernelEvent = std::tuple<int, int, int>;  // type, code, value

// A virtual keyboard writing into a pipe, and the reading end to check what it wrote.
class PipeKeyboard {
public:
    PipeKeyboard() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            readEnd_ = ends[0];
            keyboard = UinputKeyboard::onDescriptor(ends[1]);
        }
    }
    ~PipeKeyboard() { ::close(readEnd_); }

    // Closes the keyboard, which closes the writing end, and reads everything it wrote.
    std::vector<KernelEvent> written() {
        keyboard.reset();
        std::vector<KernelEvent> events;
        input_event event;
        while (::read(readEnd_, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
            EXPECT_EQ(event.time.tv_sec, 0);
            events.emplace_back(event.type, event.code, event.value);
        }
        return events;
    }

    std::unique_ptr<UinputKeyboard> keyboard;

private:
    int readEnd_ = -1;
};

std::vector<KernelEvent> press(int key, int value) {
    return {{EV_KEY, key, value}, {EV_SYN, SYN_REPORT, 0}};
}

std::vector<KernelEvent> concat(std::initializer_list<std::vector<KernelEvent>> parts) {
    std::vector<KernelEvent> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

QString postError(InputPoster& poster, const QList<SyntheticKeyEvent>& events) {
    return actionErrorOf([&] { poster.post(events); });
}

}  // namespace

TEST(UinputKeyboard, EventsBecomeKernelKeyPressesWithModifiersAroundTheKey) {
    using Event = SyntheticKeyEvent;
    const quint64 all =
        Event::shiftFlag | Event::commandFlag | Event::controlFlag | Event::optionFlag;
    // Flag bits other than the four modifiers are ignored.
    const quint64 odd = Event::shiftFlag | 0x800000 | 0x100 | (1ull << 63);
    const struct {
        const char* name;
        QList<Event> posted;
        std::vector<KernelEvent> expected;
    } cases[] = {
        {"all four modifiers",
         {Event::key(0x28, all, true), Event::key(0x28, all, false)},
         concat({press(KEY_LEFTCTRL, 1), press(KEY_LEFTALT, 1), press(KEY_LEFTSHIFT, 1),
                 press(KEY_LEFTMETA, 1), press(KEY_K, 1), press(KEY_K, 0), press(KEY_LEFTMETA, 0),
                 press(KEY_LEFTSHIFT, 0), press(KEY_LEFTALT, 0), press(KEY_LEFTCTRL, 0)})},
        {"key code zero is A",
         {Event::key(0, 0, true), Event::key(0, 0, false)},
         concat({press(KEY_A, 1), press(KEY_A, 0)})},
        {"other flag bits",
         {Event::key(0x31, odd, true)},
         concat({press(KEY_LEFTSHIFT, 1), press(KEY_SPACE, 1)})},
        {"modifier key not pressed twice",
         {Event::key(0x38, Event::shiftFlag, true), Event::key(0x38, Event::shiftFlag, false)},
         concat({press(KEY_LEFTSHIFT, 1), press(KEY_LEFTSHIFT, 0)})},
        {"media keys",
         {Event::mediaKey(Event::nextMediaKey, true), Event::mediaKey(Event::nextMediaKey, false),
          Event::mediaKey(Event::playMediaKey, true),
          Event::mediaKey(Event::previousMediaKey, true)},
         concat({press(KEY_NEXTSONG, 1), press(KEY_NEXTSONG, 0), press(KEY_PLAYPAUSE, 1),
                 press(KEY_PREVIOUSSONG, 1)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PipeKeyboard pipe;
        pipe.keyboard->post(c.posted);
        EXPECT_EQ(pipe.written(), c.expected);
    }
}

TEST(UinputKeyboard, KeyWithoutEquivalentPostsNothingAndSaysSo) {
    PipeKeyboard pipe;
    const auto unknown = SyntheticKeyEvent::key(0x34, 0, true);
    EXPECT_FALSE(pipe.keyboard->canPost(unknown));
    EXPECT_TRUE(pipe.keyboard->canPost(SyntheticKeyEvent::key(0x7E, 0, true)));
    EXPECT_EQ(postError(*pipe.keyboard, {SyntheticKeyEvent::key(0x00, 0, true), unknown}),
              "Could not create keystroke events");
    EXPECT_EQ(postError(*pipe.keyboard, {SyntheticKeyEvent::mediaKey(99, true)}),
              "Could not create a media-key event");
    // Nothing of the refused posts reached the device: the next write is the first one read.
    pipe.keyboard->post({SyntheticKeyEvent::key(0x7E, 0, true)});
    EXPECT_EQ(pipe.written(), press(KEY_UP, 1));
}

TEST(UinputKeyboard, DeviceThatCannotTakeKeysIsExplainedAndNeverWritten) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("uinput"), plain = dir.filePath("plain");
    QFile(plain).open(QIODevice::WriteOnly);
    const std::pair<QString, QString> cases[] = {
        {missing, missing + " is missing (load the uinput kernel module)"},
        {plain, plain + " is not a uinput device"},
        {dir.path(), dir.path() + ": Is a directory"}};
    for (const auto& [path, problem] : cases) {
        UinputKeyboard keyboard(path);
        EXPECT_EQ(keyboard.postingProblem(), "Cannot post key events: " + problem);
        EXPECT_EQ(postError(keyboard, {SyntheticKeyEvent::key(0, 0, true)}),
                  "Cannot post key events: " + problem);
    }
    EXPECT_EQ(QFileInfo(plain).size(), 0) << "events were written to something that is no keyboard";
}

TEST(KeyCodeTable, EveryStoredKeyCodeRoundTrips) {
    int mapped = 0;
    for (int code = 0; code < 0x80; ++code) {
        if (const auto key = KeyCodeTable::linuxKey(static_cast<quint16>(code))) {
            ++mapped;
            EXPECT_EQ(KeyCodeTable::virtualKeyCode(*key), code) << "key code " << code;
        }
    }
    EXPECT_EQ(mapped, 120);
    EXPECT_EQ(KeyCodeTable::linuxKey(0x24), KEY_ENTER);
    EXPECT_EQ(KeyCodeTable::linuxKey(0x80), std::nullopt);
    EXPECT_EQ(KeyCodeTable::virtualKeyCode(KEY_POWER), std::nullopt);
}
