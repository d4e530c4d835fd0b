#include "actions/linux/KeyCodeTable.h"
#include "actions/linux/UinputKeyboard.h"

#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>
#include <QTemporaryDir>

namespace {

using Event = SyntheticKeyEvent;

// What a virtual keyboard writing into a pipe wrote for `events`, as "key,value" pairs of the
// key events (each followed by a report, checked here), and what the post threw into `error`.
QString written(const QList<Event>& events, QString* error) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return "no pipe";
    }
    std::unique_ptr<UinputKeyboard> keyboard = UinputKeyboard::onDescriptor(ends[1]);
    *error = actionErrorOf([&] { keyboard->post(events); });
    keyboard.reset();  // closes the writing end
    QStringList keys;
    input_event event;
    while (::read(ends[0], &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
        EXPECT_EQ(event.time.tv_sec, 0);
        if (event.type == EV_KEY) {
            keys << QString("%1,%2").arg(event.code).arg(event.value);
        } else {
            EXPECT_EQ(QList({int(event.type), int(event.code)}), QList({EV_SYN, SYN_REPORT}));
        }
    }
    ::close(ends[0]);
    return keys.join(' ');
}

}  // namespace

// Modifiers go down around the key in a fixed order; other flag bits are ignored; a modifier key
// is not pressed twice. Nothing of a post refused for a key without equivalent reaches the device.
TEST(UinputKeyboard, EventsBecomeKeyPressesWithModifiersAroundTheKeyOnlyOnAKeyboard) {
    const quint64 all =
        Event::shiftFlag | Event::commandFlag | Event::controlFlag | Event::optionFlag;
    const quint64 odd = Event::shiftFlag | 0x800000 | 0x100 | (1ull << 63);
    const std::tuple<QList<Event>, QString, QString> cases[] = {
        {{Event::key(0x28, all, true), Event::key(0x28, all, false)},
         "29,1 56,1 42,1 125,1 37,1 37,0 125,0 42,0 56,0 29,0",
         "(no error)"},
        {{Event::key(0, 0, true), Event::key(0, 0, false)}, "30,1 30,0", "(no error)"},
        {{Event::key(0x31, odd, true)}, "42,1 57,1", "(no error)"},
        {{Event::key(0x38, Event::shiftFlag, true), Event::key(0x38, Event::shiftFlag, false)},
         "42,1 42,0",
         "(no error)"},
        {{Event::mediaKey(Event::nextMediaKey, true), Event::mediaKey(Event::nextMediaKey, false),
          Event::mediaKey(Event::playMediaKey, true),
          Event::mediaKey(Event::previousMediaKey, true)},
         "163,1 163,0 164,1 165,1",
         "(no error)"},
        {{Event::key(0x00, 0, true), Event::key(0x34, 0, true)},
         "",
         "Could not create keystroke events"},
        {{Event::mediaKey(99, true)}, "", "Could not create a media-key event"},
    };
    for (const auto& [events, expected, expectedError] : cases) {
        QString error;
        EXPECT_EQ(std::tuple(written(events, &error), error), std::tuple(expected, expectedError));
    }
    std::unique_ptr<UinputKeyboard> keyboard =
        UinputKeyboard::onDescriptor(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    EXPECT_FALSE(keyboard->canPost(Event::key(0x34, 0, true)));
    EXPECT_TRUE(keyboard->canPost(Event::key(0x7E, 0, true)));
    // A device that cannot take keys is explained and never written.
    QTemporaryDir dir;
    const QString missing = dir.filePath("uinput"), plain = dir.filePath("plain");
    writeBytes(plain, "");
    const std::pair<QString, QString> devices[] = {
        {missing, missing + " is missing (load the uinput kernel module)"},
        {plain, plain + " is not a uinput device"},
        {dir.path(), dir.path() + ": Is a directory"}};
    for (const auto& [path, problem] : devices) {
        UinputKeyboard keyboard(path);
        EXPECT_EQ(keyboard.postingProblem(), "Cannot post key events: " + problem);
        EXPECT_EQ(actionErrorOf([&] { keyboard.post({Event::key(0, 0, true)}); }),
                  "Cannot post key events: " + problem);
    }
    EXPECT_EQ(QFileInfo(plain).size(), 0) << "events were written to something that is no keyboard";
    // Every stored key code round-trips through the kernel key table.
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
