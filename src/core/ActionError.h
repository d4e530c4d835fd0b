#pragma once

#include <QString>

#include <exception>
#include <string>

// The one error that carries a message meant for the user. Sessions, models, actions,
// settings bundles and scripting raise it; whoever catches it shows `message()` in a status
// line. `what()` gives the same text in UTF-8 for logs and test output.
class ActionError : public std::exception {
public:
    static ActionError failed(const QString& message) { return ActionError(message); }

    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    explicit ActionError(const QString& message)
        : message_(message), utf8_(message.toStdString()) {}

    QString message_;
    std::string utf8_;
};
