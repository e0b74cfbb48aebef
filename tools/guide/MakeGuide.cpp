// lumivane-guide OUTPUT.pdf PART.md [PART.md...]: the user guide as one PDF, each part
// (a language) from a new page, written with Qt's own PDF writer at build time.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextImageFormat>
#include <QTextTable>
#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// Pictures (the parts name them relative to their folder) scaled to fit `room`: a
// phone's screenshot at its own size is taller than an A4 page.
void FitPictures(QTextDocument& guide, const QSizeF& room) {
    std::vector<std::pair<QTextFragment, QTextImageFormat>> pictures;
    for (QTextBlock block = guide.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat()) pictures.emplace_back(fragment, fragment.charFormat().toImageFormat());
        }
    }
    for (auto& [fragment, picture] : pictures) {
        const QImage image(guide.baseUrl().resolved(QUrl(picture.name())).toLocalFile());
        if (image.isNull()) {
            std::fprintf(stderr, "lumivane-guide: picture %s not found\n", picture.name().toLocal8Bit().constData());
            continue;
        }
        // Kept in the document: printing works on a copy that would not find the file.
        guide.addResource(QTextDocument::ImageResource, QUrl(picture.name()), image);
        const qreal scale = std::min({1.0, room.width() / image.width(), room.height() / image.height()});
        picture.setWidth(image.width() * scale);
        picture.setHeight(image.height() * scale);
        QTextCursor cursor(&guide);
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture);
    }
}

// A table starts on the page of its heading: the heading goes to the next page when the
// table's head and first row would not follow it there. The head row is repeated on
// each page a table spans.
void KeepTablesWithTheirHeadings(QTextDocument& guide) {
    const qreal page = guide.pageSize().height();
    const qreal rows = QFontMetricsF(guide.defaultFont()).lineSpacing() * 5;
    for (int pass = 0; pass < 4; ++pass) {
        bool moved = false;
        for (QTextBlock block = guide.begin(); block.isValid(); block = block.next()) {
            QTextCursor at(block);
            if (at.currentTable() != nullptr || !block.next().isValid()) continue;
            QTextTable* table = QTextCursor(block.next()).currentTable();
            if (table == nullptr) continue;
            QTextTableFormat format = table->format();
            if (format.headerRowCount() != 1) {
                format.setHeaderRowCount(1);
                table->setFormat(format);
            }
            const QRectF heading = guide.documentLayout()->blockBoundingRect(block);
            const QRectF frame = guide.documentLayout()->frameBoundingRect(table);
            const int headingPage = static_cast<int>(heading.top() / page);
            if (headingPage == static_cast<int>((frame.top() + std::min(rows, frame.height())) / page)) continue;
            QTextBlockFormat breakBefore = block.blockFormat();
            if (breakBefore.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) continue;
            breakBefore.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            at.setBlockFormat(breakBefore);
            moved = true;
        }
        if (!moved) break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumivane-guide OUTPUT.pdf PART.md [PART.md...]\n");
        return 2;
    }
    // Fonts need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTextDocument guide;
    // The parts sit in one folder; their pictures are named from there.
    guide.setBaseUrl(QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[2])).absolutePath() + "/"));
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

    // About half the text's width and two thirds of its height, in the document's own
    // units (96 per inch) of an A4 page less its margins.
    FitPictures(guide, QSizeF(330, 650));
    // The text area of an A4 page less the writer's margins, in the same units: the
    // layout then has the printed pages.
    const qreal unitsPerMm = 96 / 25.4;
    guide.setPageSize(QSizeF((210 - 2 * 18) * unitsPerMm, (297 - 2 * 18) * unitsPerMm));
    KeepTablesWithTheirHeadings(guide);

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
