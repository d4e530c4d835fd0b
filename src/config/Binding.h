#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// What one control of a pad (an LCD key, a dial turn or press, a circular button) is called,
// which action it runs with which arguments, and which artwork it shows. A plain value; `id` is
// the control number and identifies the binding within a scene.
struct Binding {
    int64_t id = 0;
    QString name;
    // Stored action name, resolved by the action catalog; "None" runs nothing.
    QString action = QStringLiteral("None");
    // Free-form: a web address, a path, a script text, an application.
    QString argument;
    // Virtual key code and modifier flags of a recorded keystroke. Kept in the macOS encoding so
    // that files move between machines unchanged.
    uint16_t keyCode = 0;
    uint64_t modifiers = 0;
    // Readable form of a recorded keystroke; its presence marks the keystroke as recorded.
    std::optional<QString> recordedShortcut;
    // Step of an adjustment action; absent means the action's own default.
    std::optional<int64_t> adjustmentStep;
    // Browser that opens a web address; absent means the desktop's default browser.
    std::optional<QString> browserBundleID;
    // How the scripting interface addresses this screen button.
    std::optional<QString> scriptID;
    std::optional<QString> scriptName;
    // The key's artwork file.
    std::optional<QString> imagePath;

    Binding() = default;
    Binding(int64_t id, QString name, QString action = QStringLiteral("None"),
            QString argument = {}, uint16_t keyCode = 0, uint64_t modifiers = 0,
            std::optional<QString> recordedShortcut = std::nullopt,
            std::optional<int64_t> adjustmentStep = std::nullopt,
            std::optional<QString> browserBundleID = std::nullopt,
            std::optional<QString> scriptID = std::nullopt,
            std::optional<QString> scriptName = std::nullopt,
            std::optional<QString> imagePath = std::nullopt)
        : id(id),
          name(std::move(name)),
          action(std::move(action)),
          argument(std::move(argument)),
          keyCode(keyCode),
          modifiers(modifiers),
          recordedShortcut(std::move(recordedShortcut)),
          adjustmentStep(adjustmentStep),
          browserBundleID(std::move(browserBundleID)),
          scriptID(std::move(scriptID)),
          scriptName(std::move(scriptName)),
          imagePath(std::move(imagePath)) {}

    friend bool operator==(const Binding&, const Binding&) = default;
};
