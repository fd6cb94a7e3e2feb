#pragma once
// Save Pie Chart As JPG, and the JPEG writer it uses.

#include <QImage>
#include <QString>

class Form2;
class ImageWriter;

void PushButton5_Click(Form2& form);

// Encodes the picture as a JPEG file of the given quality (0 to 100); throws Failure number 5
// with the encoder's status in the description when the save fails.
void SavePictureAsJpeg(ImageWriter& writer, const QImage& picture, const QString& path,
                       quint8 quality);

inline constexpr int kSaveFailureNumber = 5;
inline constexpr quint8 kJpegQuality = 80;
inline constexpr char16_t kJpegFilter[] = u"JPEG (*.jpg)|*.jpg";
inline constexpr char16_t kJpegExtension[] = u"jpg";
