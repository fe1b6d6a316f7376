// A contact sheet of the written pictures: the main, update and About windows as
// assembled, every button state enlarged, and a close-up of the control bar.
#pragma once

#include <QString>

namespace orbiq::skinpainter {

// Reads the pictures from pictureDir, as the windows would. False with a message when
// a picture is missing or the sheet cannot be written.
bool WritePreview(const QString& pictureDir, const QString& pngPath, QString* error);

}  // namespace orbiq::skinpainter
