#pragma once

#include <cstdint>

namespace kvalor {

// Modes of the question window; the caption is the mode's name.
enum class WindowMode : std::uint8_t {
    Editing = 0,      // "Редактирование тестов"
    Preparation = 1,  // "Проверка"
    Testing = 2,      // "Тестирование"
    Review = 3,       // "Просмотр результатов"
};

}  // namespace kvalor
