#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace kvalor {

// The pictures of actions. Each comes from the desktop icon theme and falls back to a picture
// the program draws itself, so that every action has one on any system.
enum class ActionIcon {
    Tests,
    Users,
    Examination,
    Journal,
    Settings,
    Exit,
    Import,
    RunMode,
    Add,
    Delete,
    Edit,
    Save,
    Export,
    Close,
    Copy,
    Paste,
    Filter,
    Clear,
};

// Called once at start, before any icon is made: the Adwaita theme from /usr/share/icons.
void initIconTheme();

// The theme picture that stands for the kind, or the drawn one.
QIcon actionIcon(ActionIcon kind);
// The theme icon of that name, in every size the program uses, or the drawn picture of the
// fallback kind.
QIcon themeIcon(const QString& themeName, ActionIcon fallback);

// The 48 by 48 pictures beside the verdict of the question window; the values are the picture
// indexes the window keeps.
enum class VerdictPicture { NoAnswer = 0, Right = 1, Wrong = 2, StateMessage = 3, Clock = 4 };
QPixmap verdictPicture(VerdictPicture picture);

// The 48 by 48 result indicator of the examination setup window.
enum class ResultPicture { None = 0, Passed = 1, Failed = 2 };
QPixmap resultPicture(ResultPicture picture);

// The ten 24 by 24 pictures of the answer buttons, in the order of their indexes.
enum class AnswerButtonPicture {
    RadioOff = 0,
    RadioOn = 1,
    CheckOff = 2,
    CheckOn = 3,
    DownDisabled = 4,
    DownEnabled = 5,
    UpDisabled = 6,
    UpEnabled = 7,
    DownHeld = 8,
    UpHeld = 9,
};
QPixmap answerButtonPicture(AnswerButtonPicture picture);

// The 16 by 16 pictures of the tree views, by index: 0 an answer of a one-answer question,
// 1 its right answer, 2 an answer of a several-answers question, 3 its right answer, 4 an
// answer of a sequence, 5 a question answered right, 6 answered wrong, 8 not answered, 9 a
// choice that is right, 10 a choice that is wrong. Any other index gives a null pixmap.
QPixmap treePicture(int index);

}  // namespace kvalor
