#include "chart/jpeg_export.h"

#include "chart/clipboard_picture.h"
#include "platform/files/image_writer.h"
#include "runtime/error_report.h"
#include "windows/form2.h"

namespace {
const QString kForm = QStringLiteral("Form2");
}

void SavePictureAsJpeg(ImageWriter& writer, const QImage& picture, const QString& path,
                       quint8 quality) {
    const int status = writer.saveJpeg(picture, path, quality);
    if (status != jpeg_status::kOk)
        throw Failure(
            QStringLiteral("Cannot save the image. GDI+ Error:") + QString::number(status),
            kSaveFailureNumber);
}

void PushButton5_Click(Form2& form) {
    GuardedProcedure guard(*form.platform.messages, kForm, QStringLiteral("PushButton5_Click"));
    CommonDialog* dialog = nullptr;
    auto saveDialog = [&]() -> CommonDialog& {
        if (!dialog) throw Failure(QStringLiteral("There is no save dialog to use."));
        return *dialog;
    };
    QString fileName;

    guard.step(100, [&] { dialog = form.CommonDialog1.get(); });
    guard.step(102, [&] { saveDialog().Filter = QString::fromUtf16(kJpegFilter); });
    guard.step(104, [&] { saveDialog().DefaultExt = QString::fromUtf16(kJpegExtension); });
    guard.step(108, [&] {
        // A dialog that fails to show leaves no earlier name behind to save over.
        saveDialog().FileName.clear();
        saveDialog().ShowSave();
    });
    guard.step(110, [&] { fileName = saveDialog().FileName; });
    if (guard.exitTest(112, [&] { return fileName.isEmpty(); })) return;
    guard.step(112, [&] { dialog = nullptr; });
    guard.step(114, [&] { form.MSChart1->copyPictureToClipboard(); });
    guard.step(116, [&] {
        const std::optional<ChartPicture> picture =
            GetClipboardPicture(*form.platform.clipboard, kAnyPictureFormat);
        if (!picture) {
            form.Creator->clearPicture();
            throw Failure(QStringLiteral(
                "The clipboard gave no picture of the chart, so nothing was saved."));
        }
        form.Creator->setPicture(picture->bitmap);
    });
    // Without a picture there is nothing to save; the report above has said why.
    guard.step(118, [&] {
        if (form.Creator->hasPicture())
            SavePictureAsJpeg(*form.platform.images, form.Creator->image(), fileName, kJpegQuality);
    });
}
