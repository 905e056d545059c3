#pragma once

#include <QObject>

// An access key (Alt+letter) whose button is disabled or hidden reaches the focused field as
// a plain key press, which would type its letter there. This filter drops such key presses:
// an access key never types. Alt Gr (a key of its own on X11, Ctrl+Alt on Windows) still types.
class TAccessKeyGuard : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
