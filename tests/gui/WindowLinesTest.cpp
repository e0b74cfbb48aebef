// The detections, summary and log windows: batches, purges, drawing.
#include <gtest/gtest.h>

#include <QImage>
#include <QListView>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionViewItem>

#include "GuiTestSupport.h"
#include "gui/DetectionsModel.h"
#include "gui/LineDelegates.h"
#include "gui/SummaryModel.h"

namespace lv {
namespace {

CDetectionItem Line(int n, CQoxResult* record = nullptr) {
    CDetectionItem item;
    item.result = record;
    item.line = "09:00:00\tbox\t" + std::to_string(n);
    return item;
}

std::string Text(const QAbstractItemModel& model, int row) {
    return model.data(model.index(row, 0), Qt::DisplayRole).toString().toStdString();
}

class WindowLinesTest : public ::testing::Test {
protected:
    void SetUp() override { test::QtApp(); }
};

TEST_F(WindowLinesTest, DetectionLinesArriveOnePerBatch) {
    DetectionsModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 500; ++i) model.Append(Line(i));
    EXPECT_EQ(model.rowCount(), 0);  // nothing drawn line by line
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 500);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(Text(model, 499), "09:00:00\tbox\t499");
}

TEST_F(WindowLinesTest, DetectionsWindowDropsItsOldest2000LinesBeyond12000) {
    DetectionsModel model;
    for (int i = 0; i < 12000; ++i) model.Append(Line(i));
    model.Flush();
    EXPECT_EQ(model.rowCount(), 12000);
    model.Append(Line(12000));
    model.Flush();
    ASSERT_EQ(model.rowCount(), 10001);
    EXPECT_EQ(Text(model, 0), "09:00:00\tbox\t2000");
    EXPECT_EQ(Text(model, 10000), "09:00:00\tbox\t12000");
}

TEST_F(WindowLinesTest, OneBigBatchPurgesAsLineByLineWould) {
    DetectionsModel oneByOne;
    DetectionsModel batched;
    for (int i = 0; i < 31000; ++i) {
        oneByOne.Append(Line(i));
        oneByOne.Flush();
        batched.Append(Line(i));
    }
    batched.Flush();
    ASSERT_EQ(batched.rowCount(), oneByOne.rowCount());
    EXPECT_EQ(Text(batched, 0), Text(oneByOne, 0));
    EXPECT_EQ(Text(batched, batched.rowCount() - 1), "09:00:00\tbox\t30999");
}

TEST_F(WindowLinesTest, ClearDropsQueuedLinesToo) {
    DetectionsModel model;
    model.Append(Line(1));
    model.Flush();
    model.Append(Line(2));
    model.Clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(WindowLinesTest, SummaryWindowDropsItsOldest2000LinesAt8001) {
    SummaryModel model;
    for (int i = 0; i < 8000; ++i) model.Append(CSummaryItem{"r", i, "", "", "", 0});
    EXPECT_EQ(model.rowCount(), 8000);
    model.Append(CSummaryItem{"r", 8000, "", "", "", 0});
    ASSERT_EQ(model.rowCount(), 6001);
    EXPECT_EQ(model.Item(0).bib, 2000);
}

TEST_F(WindowLinesTest, LogWindowDropsLinesInTheOrderTheyCame) {
    LogModel model;
    model.Append("a");
    model.Append("b");
    model.DropOldest(1);  // follows "a" and "b", though they are still queued
    model.Append("c");
    QCoreApplication::processEvents();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(Text(model, 0), "b");
    EXPECT_EQ(Text(model, 1), "c");
}

// --- Drawing -------------------------------------------------------------------

class LineDrawingTest : public WindowLinesTest {
protected:
    // Draws row 0 of the model with the delegate on a white image.
    QImage Draw(QAbstractItemModel& model, QStyledItemDelegate& delegate, bool selected = false) {
        QStyleOptionViewItem option;
        option.font = font_;
        option.rect = QRect(0, 0, 1400, QFontMetrics(font_).height() + 2);
        option.state = QStyle::State_Enabled;
        if (selected) option.state |= QStyle::State_Selected;
        QImage image(option.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
        painter.end();
        return image;
    }
    // The rightmost column holding a pixel that is not the background.
    static int RightmostInk(const QImage& image, QRgb background, int from, int to) {
        int rightmost = -1;
        for (int x = from; x < std::min(to, image.width()); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixel(x, y) != background) rightmost = x;
        return rightmost;
    }
    static bool HasRedInk(const QImage& image, int from, int to) {
        for (int x = from; x < to; ++x)
            for (int y = 0; y < image.height(); ++y) {
                QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 100 && c.blue() < 100) return true;
            }
        return false;
    }
    int Avg() const { return QFontMetrics(font_).averageCharWidth(); }

    QFont font_ = QApplication::font();
};

TEST_F(LineDrawingTest, ColumnsAreClippedToTheirWidths) {
    EXPECT_EQ(DetectionColumnWidths("09:00:00\tx"), (std::vector<int>{10, 25, 30, 80}));
    EXPECT_EQ(DetectionColumnWidths("+24h 01:00:00\tx"), (std::vector<int>{15, 25, 30, 80}));

    DetectionsModel model;
    DetectionsDelegate delegate;
    const QString wide(60, 'W');
    const int firstColumnStart = Avg() + DetectionsDelegate::kMarkerColumnPixels;

    CDetectionItem item;
    item.line = wide.toStdString();
    model.Append(item);
    model.Flush();
    int right = RightmostInk(Draw(model, delegate), qRgb(255, 255, 255), firstColumnStart, 1400);
    EXPECT_GT(right, firstColumnStart + 8 * Avg());
    EXPECT_LT(right, firstColumnStart + 10 * Avg());

    // A line beyond 24 hours has a wider first column.
    model.Clear();
    item.line = "+" + wide.toStdString();
    model.Append(item);
    model.Flush();
    right = RightmostInk(Draw(model, delegate), qRgb(255, 255, 255), firstColumnStart, 1400);
    EXPECT_GT(right, firstColumnStart + 12 * Avg());
    EXPECT_LT(right, firstColumnStart + 15 * Avg());

    // The second column starts after the first one's width.
    model.Clear();
    item.line = "\tW";
    model.Append(item);
    model.Flush();
    QImage image = Draw(model, delegate);
    EXPECT_EQ(RightmostInk(image, qRgb(255, 255, 255), 0, firstColumnStart + 10 * Avg()), -1);
    EXPECT_GT(RightmostInk(image, qRgb(255, 255, 255), firstColumnStart + 10 * Avg(), 1400), 0);
}

TEST_F(LineDrawingTest, RemovedDetectionsCarryTheMarkerAndSelectionIsDarkBlue) {
    CQoxResult record;
    DetectionsModel model;
    DetectionsDelegate delegate;
    model.Append(Line(1, &record));
    model.Flush();
    const int markerFrom = Avg();
    const int markerTo = markerFrom + DetectionsDelegate::kMarkerColumnPixels;
    EXPECT_FALSE(HasRedInk(Draw(model, delegate), markerFrom, markerTo));
    record.active = 0;
    EXPECT_TRUE(HasRedInk(Draw(model, delegate), markerFrom, markerTo));

    QImage selected = Draw(model, delegate, true);
    EXPECT_EQ(selected.pixelColor(1390, selected.height() / 2), QColor(0, 0, 128));
    // White text on it.
    EXPECT_GT(RightmostInk(selected, qRgb(0, 0, 128), markerTo, 1400), markerTo);
}

TEST_F(LineDrawingTest, SummaryColoursFollowTheStatus) {
    font_.setPointSize(28);
    SummaryDelegate delegate;
    // The darkest pixel of the drawn line shows the colour of its text.
    auto darkest = [&](int status) {
        SummaryModel model;
        model.Append(CSummaryItem{"MMMM IIII", 42, "01:02:03", ".", "1st", status});
        QImage image = Draw(model, delegate);
        QColor dark = Qt::white;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y) {
                QColor c = image.pixelColor(x, y);
                if (c.lightness() < dark.lightness()) dark = c;
            }
        return dark;
    };
    QColor ok = darkest(0);
    EXPECT_GT(ok.green(), ok.red());
    EXPECT_GT(ok.green(), ok.blue());
    QColor positive = darkest(1);
    EXPECT_GT(positive.red(), positive.green());
    EXPECT_GT(positive.green(), positive.blue());
    QColor negative = darkest(-1);
    EXPECT_LT(negative.lightness(), 40);
    EXPECT_EQ(negative.red(), negative.green());
}

TEST_F(LineDrawingTest, SummaryBibZeroIsLeftEmpty) {
    SummaryModel model;
    SummaryDelegate delegate;
    model.Append(CSummaryItem{"", 0, "", "", "", 0});
    EXPECT_EQ(RightmostInk(Draw(model, delegate), qRgb(255, 255, 255), 0, 1400), -1);
}

}  // namespace
}  // namespace lv
