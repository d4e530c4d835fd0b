#pragma once

#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// One control of a pad besides its LCD keys: the code the pad reports for it, which is also the
// id of the binding that configures it, and its default name.
struct PadControl {
    int number;
    const char* name;
};

// A dial as three control numbers: each turn step arrives as its own report carrying the
// counterclockwise or clockwise number; pressing the dial sends `press`.
struct DialGroup {
    int counterclockwise;
    int press;
    int clockwise;

    bool contains(int control) const {
        return control == counterclockwise || control == press || control == clockwise;
    }
    friend bool operator==(const DialGroup&, const DialGroup&) = default;
};

// The pad models this program drives, and every hardware fact that differs between them. No
// other place hard-codes a vendor or product number (the raw USB layer below HID repeats the
// DisplayPad's, and the udev rules are checked against this table by a test).
class DeviceKind {
public:
    enum Value : uint8_t { mountain, msdTwo };

    constexpr DeviceKind(Value value) : value_(value) {}  // NOLINT: implicit like an enum

    static constexpr std::array<Value, 2> allCases = {mountain, msdTwo};

    // "mountain" or "msdTwo"; stored in files and used in device ids.
    QString rawValue() const;
    static std::optional<DeviceKind> fromRawValue(const QString& raw);

    // User-visible model name: "Mountain DisplayPad" or "MSD-TWO".
    QString name() const;
    int keyCount() const;
    // Width divided by height of the background image.
    double backgroundAspect() const;
    int vendorID() const;
    int productID() const;
    // HID primary usage page of the interface that carries the pad's reports.
    int usagePage() const;

    // The kind with these USB ids, if any. The usage page is checked separately by the caller.
    static std::optional<DeviceKind> matching(int vendor, int product);

    // Stable device id: the raw value, a hyphen, and the hexadecimal UTF-8 bytes of
    // "serial-<serial>" (or "port-%08x" of the USB location when the serial is absent or empty).
    // Contains only ASCII letters, digits and one hyphen, so it is safe as a folder name.
    QString identity(const std::optional<QString>& serial, uint32_t location) const;

    // Controls other than the LCD keys, in the order of the default configuration. Empty for the
    // DisplayPad.
    std::span<const PadControl> otherControls() const;
    // The dial groups (large, left small, right small); empty for the DisplayPad.
    std::span<const DialGroup> dials() const;
    // The dial that `control` belongs to, if any.
    std::optional<DialGroup> dial(int control) const;
    // The circular buttons, left to right: the controls of the table that belong to no dial.
    // Empty for the DisplayPad.
    QList<int> roundButtons() const;
    // Default name of a control: "LCD key <n>" for keys, the table name for the others; empty
    // for a number the pad does not have.
    QString controlName(int control) const;

    constexpr Value value() const { return value_; }
    friend constexpr bool operator==(DeviceKind a, DeviceKind b) { return a.value_ == b.value_; }

private:
    Value value_;
};

inline size_t qHash(DeviceKind kind, size_t seed = 0) noexcept {
    return static_cast<size_t>(kind.value()) ^ seed;
}

template <>
struct std::hash<DeviceKind> {
    size_t operator()(DeviceKind kind) const noexcept { return kind.value(); }
};
