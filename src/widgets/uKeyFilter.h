#pragma once

#include <QObject>
#include <QString>

// Lets through only the typed characters of one set (and backspace); any other printable
// key is discarded. Control keys, shortcuts and text that arrives by other ways (pasting,
// replies, profiles) are left alone.
class TKeyFilter : public QObject {
    Q_OBJECT
public:
    TKeyFilter(QString allowed, QObject* parent);

    bool Allows(QChar typed) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString FAllowed;
};
