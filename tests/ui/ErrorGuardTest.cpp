#include <stdexcept>

#include <gtest/gtest.h>
#include <QPushButton>

#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"
#include "ui/ErrorGuard.h"
#include "util/Error.h"

namespace kvalor {
namespace {

TEST(ErrorGuard, FullStopFollowsTheCodePageOfTheLastCharacter) {
    // Letters, Latin or Cyrillic, lie above the full stop.
    EXPECT_EQ(withFullStop("Функция недоступна"), "Функция недоступна.");
    EXPECT_EQ(withFullStop("Access denied"), "Access denied.");
    EXPECT_EQ(withFullStop("Ошибка записи $80030005"), "Ошибка записи $80030005.");
    // "№" is 0xB9, a character outside the code page converts to "?" (0x3F): both above.
    EXPECT_EQ(withFullStop("Тест №"), "Тест №.");
    EXPECT_EQ(withFullStop("Символ ✓"), "Символ ✓.");
    // The full stop itself and everything below it get nothing.
    EXPECT_EQ(withFullStop("Готово."), "Готово.");
    EXPECT_EQ(withFullStop("Ошибка "), "Ошибка ");
    EXPECT_EQ(withFullStop("Ошибка\n"), "Ошибка\n");
    EXPECT_EQ(withFullStop("Повтор (2)"), "Повтор (2)");
    EXPECT_EQ(withFullStop("a-"), "a-");
    EXPECT_EQ(withFullStop(""), "");
}

TEST(ErrorGuard, GuardedShowsWhatTheActionThrowsInTheErrorBox) {
    ScriptedPrompts prompts;
    prompts.expectError("Функция недоступна.");
    prompts.expectError("Данные повреждены.");
    prompts.expectError("index out of range.");

    bool ran = false;
    EXPECT_TRUE(guarded([&ran] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(prompts.seen().empty());

    EXPECT_FALSE(guarded([] { throw KvalorError("Функция недоступна"); }));
    EXPECT_FALSE(guarded([] { throw ReadError("Данные повреждены."); }));
    EXPECT_FALSE(guarded([] { throw std::out_of_range("index out of range"); }));
    EXPECT_TRUE(prompts.finished());
}

TEST(ErrorGuard, GuardedSlotKeepsTheEventLoopAlive) {
    QPushButton button("Журнал");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, &button, guard([&clicks] {
        ++clicks;
        throw KvalorError("Функция недоступна");
    }));
    ScriptedPrompts prompts;
    prompts.expectError("Функция недоступна.");
    prompts.expectError("Функция недоступна.");
    click(&button);
    click(&button);
    EXPECT_EQ(clicks, 2);
}

}  // namespace
}  // namespace kvalor
