#pragma once

#include <QIcon>

// How a field that holds a device setting compares with what the device last reported.
enum class TFieldMark {
    None,        // as the device reported it, or nothing read yet
    Edited,      // changed here since the device reported it
    Differs,     // written, and the device answered with something else
    Unconfirmed, // written, and the device never answered
    Unknown,     // not known since the device restored its factory settings
};

// A small badge per mark, told apart by shape as well as colour: a dot, a triangle with "!",
// a square with "?", a ring. Null for None.
QIcon FieldMarkIcon(TFieldMark mark);
