#pragma once

#include <QString>

#include <exception>
#include <string>

// Why an image from outside was refused. Thrown by ImageLoading; whoever catches it shows
// `message()` to the user (a status line, an alert). Cases stand in the order of the checks.
class ImageLoadError : public std::exception {
public:
    enum Kind { tooLarge, tooManyPixels, unreadable };

    explicit ImageLoadError(Kind kind);

    Kind kind() const noexcept { return kind_; }
    // The user-facing text, for example "The image could not be decoded".
    QString message() const;
    const char* what() const noexcept override { return utf8_.c_str(); }

    friend bool operator==(const ImageLoadError& a, const ImageLoadError& b) {
        return a.kind_ == b.kind_;
    }

private:
    Kind kind_;
    std::string utf8_;
};
