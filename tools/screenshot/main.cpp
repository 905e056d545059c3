// Renders the main window offscreen into a PNG, connected to the simulated device, for the
// README: tervo-screenshot OUTPUT.png
#include "uAppPaths.h"
#include "uFrmMain.h"
#include "uMessageService.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr qint64 kReadAllMs = 30'000;

// Any message would mean the picture does not show the normal window: report it and fail.
class TFailingMessages : public IMessageService {
public:
    void ShowMessage(const QString& text, const QString& caption, TMessageIcon) override {
        std::fprintf(stderr, "tervo-screenshot: %s: %s\n", qPrintable(caption), qPrintable(text));
        Failed = true;
    }
    std::optional<QString> GetSaveFileName(const QString&, const QString&) override { return {}; }
    std::optional<QString> GetOpenFileName(const QString&, const QString&) override { return {}; }
    bool Confirm(const QString&, const QString&) override { return true; }

    bool Failed = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tervo-screenshot OUTPUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // for the map's web engine
    QApplication app(argc, argv);

    // A fresh program folder, so the picture shows a first start in English.
    QTemporaryDir folder;
    SetAppDirOverride(folder.path());
    TSimPty device{TSimOptions{}};
    QString error;
    if (!device.Start(&error)) {
        std::fprintf(stderr, "tervo-screenshot: %s\n", qPrintable(error));
        return 1;
    }
    TFailingMessages messages;
    TFrmMain window(messages, TQtSerialPort::Factory());
    window.PresetPort(device.SlavePath());
    window.show();
    window.findChild<QAbstractButton*>(QStringLiteral("btn_Switch"))->click();
    QApplication::processEvents();
    // The picture shows the device's values: Read All runs to its end first.
    auto* readAll = window.findChild<QAbstractButton*>(QStringLiteral("btnReadAll"));
    window.findChild<QAbstractButton*>(QStringLiteral("cbTipOnOK"))->setChecked(false);
    readAll->click();
    QElapsedTimer waited;
    waited.start();
    while (!readAll->isEnabled() && waited.elapsed() < kReadAllMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    window.findChild<QAbstractButton*>(QStringLiteral("cbTipOnOK"))->setChecked(true);
    QApplication::processEvents();
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    window.close();
    device.Stop();
    if (!saved || messages.Failed) {
        std::fprintf(stderr, "tervo-screenshot: no picture written\n");
        return 1;
    }
    return 0;
}
