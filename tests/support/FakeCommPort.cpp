#include "FakeCommPort.h"

#include "uLinkError.h"
#include "uUtils.h"

void TFakeCommPort::Open() {
    if (!FailOpenWith.isEmpty()) {
        throw TLinkError(FailOpenWith);
    }
    FOpen = true;
    ++OpenCount;
    Q_EMIT AfterOpen();
}

void TFakeCommPort::Close() {
    FOpen = false;
    Q_EMIT AfterClose();
}

void TFakeCommPort::Write(const QByteArray& bytes) {
    if (!FailWriteWith.isEmpty()) {
        throw TLinkError(FailWriteWith);
    }
    Written.append(bytes);
}

QByteArray TFakeCommPort::Read(qint64 count) {
    const QByteArray bytes = FRx.left(count);
    FRx.remove(0, bytes.size());
    return bytes;
}

QStringList TFakeCommPort::WrittenTexts() const {
    QStringList texts;
    for (QByteArray frame : Written) {
        QByteArray text;
        texts.append(ExtractFrame(frame, text) ? QString::fromLatin1(text)
                                               : QStringLiteral("<not a frame>"));
    }
    return texts;
}

void TFakeCommPort::Feed(const QByteArray& bytes) {
    FRx.append(bytes);
    if (!Hold) {
        Q_EMIT RxChar(FRx.size());
    }
}

void TFakeCommPort::Unplug(const QString& error) {
    Close();
    Q_EMIT LineLost(error);
}
