#pragma once

#include <QString>
#include <cstdint>

// A command's direction (RW) and kind.
inline constexpr std::uint8_t kCmdRead = 0;
inline constexpr std::uint8_t kCmdWrite = 1;
inline constexpr std::uint8_t kCmdParam = 0;  // a parameter command, "P"
inline constexpr std::uint8_t kCmdStatus = 1; // a status command, "T" (any kind but 0)

// One queued command.
struct TCmdItem {
    std::int32_t ParamNo = 0;
    std::uint8_t RW = kCmdRead;
    QString Args; // empty or beginning with ","
    std::uint8_t Kind = kCmdParam;
};
