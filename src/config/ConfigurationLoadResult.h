#pragma once

#include "config/ConfigurationRecovery.h"

#include <utility>
#include <variant>

// The outcome of loading one configuration file: its decoded value, the record of a file that
// existed but could not be read, or nothing because there was no file.
template <typename T>
class ConfigurationLoadResult {
public:
    enum class Case { loaded, malformed, missing };

    static ConfigurationLoadResult loaded(T value) {
        return ConfigurationLoadResult(Storage(std::in_place_index<0>, std::move(value)));
    }
    static ConfigurationLoadResult malformed(ConfigurationRecovery recovery) {
        return ConfigurationLoadResult(Storage(std::in_place_index<1>, std::move(recovery)));
    }
    static ConfigurationLoadResult missing() {
        return ConfigurationLoadResult(Storage(std::in_place_index<2>));
    }

    Case which() const { return static_cast<Case>(storage_.index()); }
    bool isLoaded() const { return which() == Case::loaded; }
    bool isMalformed() const { return which() == Case::malformed; }
    bool isMissing() const { return which() == Case::missing; }

    // The decoded value; null unless loaded.
    const T* value() const { return std::get_if<0>(&storage_); }
    T* value() { return std::get_if<0>(&storage_); }
    // The recovery record; null unless malformed.
    const ConfigurationRecovery* recovery() const { return std::get_if<1>(&storage_); }

private:
    using Storage = std::variant<T, ConfigurationRecovery, std::monostate>;
    explicit ConfigurationLoadResult(Storage storage) : storage_(std::move(storage)) {}

    Storage storage_;
};
