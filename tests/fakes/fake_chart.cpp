#include "fakes/fake_chart.h"

#include "platform/failure.h"

void FakeChart::setLegendFontStyle(qint16 style) {
    record(QStringLiteral("legendFontStyle %1").arg(style));
    real.setLegendFontStyle(style);
}

void FakeChart::setLegendFontName(const QString& name) {
    record(QStringLiteral("legendFontName ") + name);
    real.setLegendFontName(name);
}

void FakeChart::setLegendFontSize(float points) {
    record(QStringLiteral("legendFontSize %1").arg(double(points)));
    real.setLegendFontSize(points);
}

void FakeChart::setVisible(bool visible) {
    record(visible ? QStringLiteral("visible true") : QStringLiteral("visible false"));
    real.setVisible(visible);
}

void FakeChart::setRowCount(int rows) {
    record(QStringLiteral("rowCount %1").arg(rows));
    real.setRowCount(rows);
}

void FakeChart::setColumnCount(int columns) {
    record(QStringLiteral("columnCount %1").arg(columns));
    real.setColumnCount(columns);
}

void FakeChart::setColumn(int column) {
    record(QStringLiteral("column %1").arg(column));
    real.setColumn(column);
}

void FakeChart::setColumnLabel(const QString& label) {
    record(QStringLiteral("columnLabel ") + label);
    real.setColumnLabel(label);
}

void FakeChart::setData(const QString& number) {
    record(QStringLiteral("data ") + number);
    real.setData(number);
}

void FakeChart::setFilledColumnCount(int count) {
    record(QStringLiteral("filledColumnCount %1").arg(count));
    real.setFilledColumnCount(count);
}

void FakeChart::setWidthTwips(float twips) {
    record(QStringLiteral("width %1").arg(double(twips)));
    real.setWidthTwips(twips);
}

void FakeChart::setHeightTwips(float twips) {
    record(QStringLiteral("height %1").arg(double(twips)));
    real.setHeightTwips(twips);
}

void FakeChart::copyPictureToClipboard() {
    record(QStringLiteral("copyPicture"));
    real.copyPictureToClipboard();
}

void FakeClipboard::setPicture(const ChartPicture& picture) {
    if (refuseWrites) throw Failure(QStringLiteral("The clipboard is held by another program."));
    content = picture;
}

ChartPicture FakeClipboard::picture(qint32 format) {
    ++reads;
    if (failingReads > 0) {
        --failingReads;
        throw Failure(QStringLiteral("The clipboard is held by another program."));
    }
    if (format != kAnyPictureFormat || !content || content->bitmap.isNull())
        throw Failure(QStringLiteral("The clipboard holds no picture."));
    return *content;
}

void FakePrinter::print(const QString& text) {
    operations.append(QStringLiteral("print '%1'").arg(text));
}

void FakePrinter::paintPicture(const ChartPicture& picture, QPointF topLeftTwips) {
    operations.append(QStringLiteral("picture %1x%2 at %3,%4")
                          .arg(picture.bitmap.width())
                          .arg(picture.bitmap.height())
                          .arg(topLeftTwips.x())
                          .arg(topLeftTwips.y()));
    lastPicture = picture;
}

void FakePrinter::endDoc() { operations.append(QStringLiteral("end")); }

int FakeImageWriter::saveJpeg(const QImage& picture, const QString& path, int quality) {
    saves.append(QStringLiteral("%1 %2x%3 %4")
                     .arg(path)
                     .arg(picture.width())
                     .arg(picture.height())
                     .arg(quality));
    if (forcedStatus) return *forcedStatus;
    return real_.saveJpeg(picture, path, quality);
}
