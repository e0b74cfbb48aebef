// lumivane-guide OUTPUT.pdf PART.md [PART.md...]: the user guide as one PDF, each part
// (a language) from a new page, written with Qt's own PDF writer at build time.
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumivane-guide OUTPUT.pdf PART.md [PART.md...]\n");
        return 2;
    }
    // Fonts need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTextDocument guide;
    QTextCursor cursor(&guide);
    for (int i = 2; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "lumivane-guide: cannot read %s: %s\n", argv[i],
                         file.errorString().toLocal8Bit().constData());
            return 1;
        }
        QTextDocument part;
        part.setMarkdown(QString::fromUtf8(file.readAll()));
        if (i > 2) {
            QTextBlockFormat newPage;
            newPage.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            cursor.insertBlock(newPage);
        }
        cursor.insertFragment(QTextDocumentFragment(&part));
    }

    const QString output = QString::fromLocal8Bit(argv[1]);
    {
        QPdfWriter writer(output);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("Lumivane"));
        writer.setCreator(QStringLiteral("lumivane-guide"));
        guide.print(&writer);
    }
    QFile written(output);
    if (!written.exists() || written.size() == 0) {
        std::fprintf(stderr, "lumivane-guide: nothing written to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
