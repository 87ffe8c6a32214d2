// Reads arbitrary bytes as RTF into a document, writes it back and takes its plain text.

#include "rtf/RtfReader.h"
#include "rtf/RtfText.h"
#include "rtf/RtfWriter.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>

namespace {

// QTextDocument needs a GUI application; one for the whole run.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_rtf_reader";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    Q_UNUSED(app);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument document;
    if (vnt::rtf::readRtf(bytes, &document)) {
        const QString written = vnt::rtf::writeRtf(document);
        // What the writer produces must read back to the same text.
        QTextDocument copy;
        if (!vnt::rtf::readRtf(QStringView(written), &copy) ||
            copy.toRawText() != document.toRawText())
            __builtin_trap();
    }
    const QString text = vnt::rtf::rtfToPlainText(QString::fromLatin1(bytes));
    Q_UNUSED(text);
    return 0;
}
