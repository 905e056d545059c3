// The reply handler on the real window: any reply text the receiver can hand over is applied
// or refused with a reply error; the geo-fence table only ever holds finite coordinates; and
// applying the same reply again changes nothing more.
#include "FakeCommPort.h"
#include "FuzzCheck.h"
#include "MessageRecorder.h"
#include "uAppPaths.h"
#include "uFrmMain.h"
#include "uReplyHandler.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cmath>

namespace {

TFrmMain* Window = nullptr;

// What replies can change: every line edit and the geo-fence table.
QStringList State() {
    QStringList state;
    for (const QLineEdit* edit : Window->findChildren<QLineEdit*>()) {
        state.append(edit->objectName() + QLatin1Char('=') + edit->text());
    }
    for (const TGeoFence& fence : Window->GeoFences()) {
        state.append(QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(fence.Name)
                         .arg(fence.LTLongitude)
                         .arg(fence.LTLatitude)
                         .arg(fence.RBLongitude)
                         .arg(fence.RBLatitude));
    }
    return state;
}

void Apply(const QByteArray& reply) {
    try {
        Window->HandleReply(reply);
    } catch (const TReplyError&) {
        // refused: the queue does not advance, which the engine handles
    }
}

} // namespace

// The application and the window live until the process ends: destroying them at exit
// races Qt's own teardown of its thread data.
struct TLiving {
    QApplication* App = nullptr;
    QTemporaryDir* Dir = nullptr;
    TMessageRecorder* Messages = nullptr;
} Living;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Living.App = new QApplication(*argc, *argv);
    Living.Dir = new QTemporaryDir;
    Living.Messages = new TMessageRecorder;
    SetAppDirOverride(Living.Dir->path());
    Window = new TFrmMain(*Living.Messages, [] { return std::make_unique<TFakeCommPort>(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // What the receiver hands over: "(" ... ")" with neither ")" nor "!" inside.
    QByteArray inner(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    inner.replace(')', ']').replace('!', '.');
    const QByteArray reply = '(' + inner + ')';

    Apply(reply);
    const QStringList once = State();
    Apply(reply);
    FUZZ_CHECK(State() == once);
    for (const TGeoFence& fence : Window->GeoFences()) {
        FUZZ_CHECK(std::isfinite(fence.LTLongitude) && std::isfinite(fence.LTLatitude) &&
                   std::isfinite(fence.RBLongitude) && std::isfinite(fence.RBLatitude));
    }
    return 0;
}
