#pragma once

#include <QString>
#include <QStringView>

namespace vnt::rtf {

// The text of an RTF document without its formatting. Paragraphs end in "\r\n", tabs
// stay tabs, and destinations that carry no document text (font and colour tables,
// styles, document information, pictures, unknown \* destinations) are skipped. A line
// break inside a paragraph (\line) also becomes "\r\n", and the marker text of list
// items (a bullet or number and a tab) stays. Text that does not start like RTF is
// returned as it is.
QString rtfToPlainText(QStringView rtf);

// A minimal RTF document holding `text` in one font: "\r\n", "\n" and "\r" end
// paragraphs, tabs become \tab, and characters above 127 become \uN.
QString plainTextToRtf(QStringView text, const QString& face = QStringLiteral("Arial"),
                       int pointSize = 10);

} // namespace vnt::rtf
