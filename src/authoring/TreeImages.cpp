#include "authoring/TreeImages.h"

#include <QPainter>

#include "model/TypeIds.h"
#include "ui/Icons.h"

namespace kvalor {

QPixmap questionTypePicture(std::uint8_t questionType) {
    switch (questionType) {
        case kSingleAnswer:
            return answerButtonPicture(AnswerButtonPicture::RadioOn);
        case kMultipleAnswers:
            return answerButtonPicture(AnswerButtonPicture::CheckOn);
        case kSequence: {
            // The two arrows of the answer buttons side by side.
            const QPixmap up = answerButtonPicture(AnswerButtonPicture::UpEnabled);
            const QPixmap down = answerButtonPicture(AnswerButtonPicture::DownEnabled);
            QPixmap both(up.size());
            both.fill(Qt::transparent);
            QPainter painter(&both);
            const int half = up.width() / 2;
            painter.drawPixmap(QRect(0, 0, half, up.height()), up,
                               QRect(half / 2, 0, half, up.height()));
            painter.drawPixmap(QRect(half, 0, half, down.height()), down,
                               QRect(half / 2, 0, half, down.height()));
            return both;
        }
        default:
            return {};
    }
}

}  // namespace kvalor
