#include "uMapOfflineNotice.h"

#include "uLanguage.h"

#include <QEvent>
#include <algorithm>

namespace {

const char* const kOfflineText = "The tile host cannot be reached, so the map shows no pictures. "
                                 "Fences and corner picking still work.";
constexpr int kMargin = 8;
constexpr int kMaxWidth = 440;
// The map's zoom buttons sit in its top left corner; the notice keeps clear of them.
constexpr int kZoomButtons = 48;

} // namespace

TMapOfflineNotice::TMapOfflineNotice(QWidget* map) : QLabel(map) {
    setObjectName(QStringLiteral("lblMapOffline"));
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setStyleSheet(
        QStringLiteral("QLabel { background: #fff8d0; color: #202020;"
                       " border: 1px solid #b0a060; border-radius: 4px; padding: 4px; }"));
    hide();
    map->installEventFilter(this);
}

QString TMapOfflineNotice::Text() {
    return QString::fromLatin1(kOfflineText);
}

void TMapOfflineNotice::SetTilesReachable(bool reachable) {
    FReachable = reachable;
    Update();
}

void TMapOfflineNotice::SetTileSetProblem(const QString& problem) {
    FTileSetProblem = problem;
    Update();
}

void TMapOfflineNotice::Update() {
    const QString text = !FTileSetProblem.isEmpty() ? FTileSetProblem
                         : FReachable               ? QString()
                                                    : TranslateText(Text());
    if (text.isEmpty()) {
        hide();
        return;
    }
    setText(text);
    Place();
    raise();
    show();
}

bool TMapOfflineNotice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        Place();
    }
    return QLabel::eventFilter(watched, event);
}

void TMapOfflineNotice::Place() {
    const int left = kMargin + kZoomButtons;
    const int available = parentWidget()->width() - left - kMargin;
    const int width = std::max(std::min(available, kMaxWidth), 0);
    setGeometry(left + (available - width) / 2, kMargin, width, heightForWidth(width));
}
