#pragma once
// Turns FatalError and peltoIoError into a std::runtime_error holding the message
// for the lifetime of the guard, so a refused input can be checked in-process.

#include <stdexcept>
#include <string>

#include "pelto/base/Log.hpp"

struct ThrowOnFatal {
    ThrowOnFatal()
    {
        peltoSetFatalErrorHook([](const std::string& message) { throw std::runtime_error(message); });
    }
    ~ThrowOnFatal() { peltoSetFatalErrorHook(nullptr); }
    ThrowOnFatal(const ThrowOnFatal&) = delete;
    ThrowOnFatal& operator=(const ThrowOnFatal&) = delete;
};
