#include "chart/chart_window.h"
#include "chart/jpeg_export.h"
#include "fakes/chart_fixture.h"
#include "fakes/form_fixture.h"
#include "platform/failure.h"
#include "platform/files/image_writer.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kSave = QStringLiteral("Quorvel2021/08/31.Form2.PushButton5_Click");

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class JpegExportTest : public Form2Test {
  protected:
    void SetUp() override {
        Form2Test::SetUp();
        load();
        fill({{"UK - 24", "24"}, {"US - 20", "20"}, {"France - 16", "16"}});
    }
    // The next save dialog answers with this name (or cancels for an empty one).
    void answerSave(const QString& path) {
        fake.dialogAnswers.push_back([path](CommonDialog& d) { d.FileName = path; });
    }
    void save(const QString& path) {
        answerSave(path);
        PushButton5_Click(*form);
    }
    QStringList filesInTemp() const {
        return QDir(temp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
};

}  // namespace

TEST_F(JpegExportTest, SavesTheChartAsAJfifOfItsPixelSizeAtQuality80) {
    const QString path = tempPath("chart.jpg");
    QString filter, extension;
    fake.dialogAnswers.push_back([&](CommonDialog& d) {
        filter = d.Filter;
        extension = d.DefaultExt;
        d.FileName = path;
    });
    PushButton5_Click(*form);
    EXPECT_TRUE(fake.messages.shown.empty()) << fake.messages.texts().join("|").toStdString();
    EXPECT_EQ(filter, u"JPEG (*.jpg)|*.jpg");
    EXPECT_EQ(extension, u"jpg");
    EXPECT_EQ(fake.dialogCalls, QStringList("save"));

    const QByteArray bytes = contents(path);
    ASSERT_GT(bytes.size(), 100);
    EXPECT_EQ(bytes.left(4), QByteArray("\xFF\xD8\xFF\xE0", 4));
    EXPECT_EQ(bytes.mid(6, 5), QByteArray("JFIF\0", 5));
    QImageReader reader(path);
    const QImage decoded = reader.read();
    ASSERT_FALSE(decoded.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(decoded.size(), QSize(634, 448));
    EXPECT_EQ(fake.images.saves, QStringList(path + " 634x448 80"));
    // The clipboard keeps the chart picture, and the holder has it too.
    ASSERT_TRUE(fake.clipboard.content);
    EXPECT_EQ(fake.clipboard.content->bitmap, pie().picture());
    EXPECT_EQ(form->Creator->image(), pie().picture());

    const QString identify = QStandardPaths::findExecutable(QStringLiteral("identify"));
    if (identify.isEmpty()) GTEST_SKIP() << "ImageMagick's identify is not installed";
    QProcess process;
    process.start(identify, {QStringLiteral("-format"), QStringLiteral("%Q"), path});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.readAllStandardOutput().trimmed(), QByteArray("80"));
}

TEST_F(JpegExportTest, CancelSavesNothingAndSaysNothing) {
    save(tempPath("first.jpg"));
    ASSERT_TRUE(QFile::exists(tempPath("first.jpg")));
    fake.images.saves.clear();
    // No answer left: the dialog is cancelled, also after a first save that chose a name.
    PushButton5_Click(*form);
    EXPECT_TRUE(fake.images.saves.isEmpty());
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(filesInTemp(), QStringList("first.jpg"));
}

TEST_F(JpegExportTest, ADialogThatFailsToShowLeavesNoEarlierNameToSaveOver) {
    save(tempPath("first.jpg"));
    const QByteArray first = contents(tempPath("first.jpg"));
    ASSERT_FALSE(first.isEmpty());
    form->MSChart1->setWidthTwips(3000);
    fake.dialogAnswers.push_back(
        [](CommonDialog&) { throw Failure(QStringLiteral("The dialog cannot be shown.")); });
    PushButton5_Click(*form);
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({108}));
    EXPECT_EQ(contents(tempPath("first.jpg")), first) << "the earlier file was saved over";
}

TEST_F(JpegExportTest, AnExistingFileIsReplacedWithoutAQuestion) {
    const QString path = tempPath("old.jpg");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    save(path);
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(QImage(path).size(), QSize(634, 448));
}

TEST_F(JpegExportTest, AFileThatCannotBeCreatedGivesTheReportAndNoFile) {
    {
        QFile notAFolder(tempPath("plain.txt"));
        ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    }
    save(tempPath("plain.txt/chart.jpg"));
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({118}));
    EXPECT_EQ(reportDescriptions(fake.messages),
              QStringList(QStringLiteral("Cannot save the image. GDI+ Error:%1")
                              .arg(jpeg_status::kCannotCreateFile)));
    EXPECT_EQ(filesInTemp(), QStringList("plain.txt"));
}

TEST_F(JpegExportTest, AFailedSaveLeavesAnExistingFileAsItWas) {
    const QString path = tempPath("keep.jpg");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the old picture");
    }
    QtImageWriter writer;
    // Wider than any JPEG may be: the encoder fails half-way.
    QImage tooWide(70000, 1, QImage::Format_RGB32);
    tooWide.fill(Qt::red);
    try {
        SavePictureAsJpeg(writer, tooWide, path, 80);
        FAIL() << "the save did not fail";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 5);
        EXPECT_EQ(failure.description(), QStringLiteral("Cannot save the image. GDI+ Error:%1")
                                             .arg(jpeg_status::kEncodingFailed));
    }
    EXPECT_EQ(contents(path), QByteArray("the old picture"));
    EXPECT_EQ(filesInTemp(), QStringList("keep.jpg")) << "no partial file is left beside it";
}

TEST(SavePictureAsJpegTest, FailsWithNumberFiveAndANonzeroStatus) {
    QTemporaryDir temp;
    QtImageWriter writer;
    struct Case {
        const char* name;
        QImage picture;
        QString path;
        int status;
    };
    const Case cases[] = {
        {"no picture", QImage(), temp.filePath("a.jpg"), jpeg_status::kNoPicture},
        {"a folder for a file", QImage(8, 8, QImage::Format_RGB32), temp.path(),
         jpeg_status::kCannotCreateFile},
        {"an empty name", QImage(8, 8, QImage::Format_RGB32), QString(),
         jpeg_status::kCannotCreateFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            SavePictureAsJpeg(writer, c.picture, c.path, 80);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number(), 5);
            EXPECT_EQ(failure.description(), QStringLiteral("Cannot save the image. GDI+ Error:") +
                                                 QString::number(c.status));
            EXPECT_NE(c.status, 0);
        }
    }
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(JpegExportTest, ALargerWindowGivesALargerImage) {
    form->setMinimumSize(0, 0);
    form->show();
    form->resize(900, 700);
    QCoreApplication::processEvents();
    save(tempPath("large.jpg"));
    const QSize outer = form->frameGeometry().size();
    EXPECT_EQ(QImage(tempPath("large.jpg")).size(), outer - QSize(18, 80));
    EXPECT_GT(QImage(tempPath("large.jpg")).width(), 634);
}

TEST_F(JpegExportTest, TwoSavesGiveTwoFilesOfTheSamePicture) {
    save(tempPath("one.jpg"));
    save(tempPath("two.jpg"));
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(contents(tempPath("one.jpg")), contents(tempPath("two.jpg")));
}

TEST_F(JpegExportTest, NoPictureFromTheClipboardRefusesTheSave) {
    fake.clipboard.failingReads = 1000;
    save(tempPath("empty.jpg"));
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({116}));
    EXPECT_TRUE(fake.images.saves.isEmpty());
    EXPECT_FALSE(QFile::exists(tempPath("empty.jpg")));
    EXPECT_FALSE(form->Creator->hasPicture());
}

TEST_F(JpegExportTest, AFailedSaveStatementIsReportedAtItsLine) {
    struct Case {
        int line;
        std::vector<int> reports;
        bool saved;
    };
    const Case cases[] = {
        // Without the dialog object nothing that needs it can run, and no name is chosen.
        {100, {100, 102, 104, 108, 110}, false},
        {102, {102}, true},
        {104, {104}, true},
        {108, {108}, false},
        {110, {110}, false},
        {112, {112, 112}, true},
        // Without the copy the clipboard has no picture to give.
        {114, {114, 116}, false},
        {116, {116}, false},
        {118, {118}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        load();
        fill({{"A", "1"}});
        fake.messages.shown.clear();
        fake.clipboard.content.reset();
        fake.dialogAnswers.clear();
        const QString path = tempPath(QStringLiteral("line%1.jpg").arg(c.line));
        answerSave(path);
        failStatement(kSave, c.line);
        PushButton5_Click(*form);
        clearStatementFaults();
        EXPECT_EQ(reportLines(fake.messages), c.reports);
        EXPECT_EQ(QFile::exists(path), c.saved);
    }
}
