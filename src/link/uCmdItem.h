#pragma once

#include <QString>
#include <cstdint>

// One queued command.
struct TCmdItem {
    std::int32_t ParamNo = 0;
    std::uint8_t RW = 0;   // 0 read, 1 write
    QString Args;          // empty or beginning with ","
    std::uint8_t Kind = 0; // 0 parameter command "P", anything else status command "T"
};
