#pragma once

#include <QString>

class QPlainTextEdit;

// Appends one line to a transcript view. Unlike appendPlainText, an empty line is kept even
// while the view is still empty, so a transcript never loses its first lines.
void AppendTranscriptLine(QPlainTextEdit& view, const QString& line);
