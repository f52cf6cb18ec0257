// Russian command names as the printer's documentation gives them: each written once, in UTF-8,
// and kept both as written and as Windows-1251 bytes converted at compile time.
#include <array>
#include <cstddef>

#include "link/link.h"

namespace {

constexpr std::size_t kNameSize = 80;
using Name1251 = std::array<char, kNameSize>;

// Converts UTF-8 Russian text to Windows-1251 at compile time. Only ASCII and the Cyrillic
// letters (Ё and ё included) may appear; anything else stops the build.
consteval Name1251 To1251(const char* utf8) {
  Name1251 out{};
  std::size_t o = 0;
  for (std::size_t i = 0; utf8[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned code = c;
    if (c >= 0x80) {
      const unsigned char c2 = static_cast<unsigned char>(utf8[++i]);
      if ((c & 0xE0) != 0xC0 || (c2 & 0xC0) != 0x80) throw "not a two-byte UTF-8 sequence";
      code = ((c & 0x1Fu) << 6) | (c2 & 0x3Fu);
    }
    unsigned char byte = 0;
    if (code < 0x80) {
      byte = static_cast<unsigned char>(code);
    } else if (code >= 0x410 && code <= 0x44F) {
      byte = static_cast<unsigned char>(0xC0 + (code - 0x410));
    } else if (code == 0x401) {
      byte = 0xA8;
    } else if (code == 0x451) {
      byte = 0xB8;
    } else {
      throw "a character outside Windows-1251 letters";
    }
    if (o + 1 >= kNameSize) throw "name too long";
    out[o++] = static_cast<char>(byte);
  }
  return out;
}

struct NamedCode {
  consteval NamedCode(std::int32_t c, const char* text) : code(c), utf8(text), name(To1251(text)) {}
  std::int32_t code;
  const char* utf8;
  Name1251 name;
};

constexpr NamedCode kNames[] = {
    {33, "Очистка дисплея"},
    {35, "Дисплей - нижний ряд"},
    {38, "Открыть нефискальный чек"},
    {39, "Закрыть нефискальный чек"},
    {42, "Печать нефискального текста"},
    {43, "Установить Header, Footer и опции печати"},
    {44, "Пропустить строки на принтере"},
    {45, "Отрезать чек"},
    {47, "Дисплей - верхний ряд"},
    {48, "Открыть фискальный чек"},
    {50, "Печать налоговых ставок за период"},
    {51, "Подсумма"},
    {52, "Регистрация продажи  и вывод на дисплей"},
    {53, "Общая сумма чека (Total)"},
    {54, "Печать строк в фискальном чеке"},
    {56, "Закрыть фискальный чек"},
    {57, "Аннулировать чек"},
    {58, "Регистрация продажи"},
    {61, "Установить дату и время"},
    {62, "Получить дату и время"},
    {63, "Вывести дату и время на дисплее"},
    {64, "Информация о последнем Z-отчете"},
    {65, "Суммы за день"},
    {66, "Суммы коррекций за день"},
    {67, "Размер фискальной памяти"},
    {69, "X- или Z- отчет"},
    {70, "Служебный внос/вынос суммы"},
    {71, "Печать диагностической информации"},
    {72, "Фискализация"},
    {73, "Полный периодический отчет по номеру"},
    {74, "Получить состояние регистратора"},
    {76, "Состояние фискальной транзакции"},
    {79, "Сокращенный периодический отчет (по дате)"},
    {80, "Звуковой сигнал"},
    {83, "Установить множитель, запятую, валюту и количество групп налогов"},
    {84, "Режим продаж"},
    {85, "Открыть чек возврата"},
    {89, "Программирование тестовой области"},
    {90, "Запрос диагностической информации"},
    {91, "Установить заводской номер"},
    {92, "Установить фискальный номер"},
    {94, "Полный периодический отчет по дате"},
    {95, "Сокращенный периодический отчет по номеру"},
    {97, "Ставки налогов"},
    {98, "Установить налоговый или иденификационный номер"},
    {99, "Прочитать налоговый или иденификационный номер"},
    {100, "Управление дисплеем"},
    {101, "Задать пароль оператора"},
    {102, "Задать имя оператора"},
    {103, "Информация о текущем чеке"},
    {104, "Обнулить данные оператора"},
    {105, "Отчет оператора"},
    {106, "Открыть денежный ящик"},
    {107, "Программирование артикулов и получение информации о них"},
    {109, "Печать копии чека"},
    {110, "Дополнительная информация по типам оплаты"},
    {111, "Отчет товаров"},
    {112, "Информация об операторе"},
    {113, "Номер последнего чека"},
    {114, "Получение информации из фискальной памяти"},
    {115, "Загрузка логотипа"},
    {118, "Пароль администратора"},
    {119, "Обнулить операторские пароли"},
};

constexpr NamedCode kInvalidCommand{0, "Неверная команда"};

const NamedCode& Named(std::int32_t command) {
  for (const NamedCode& entry : kNames) {
    if (entry.code == command) return entry;
  }
  return kInvalidCommand;
}

}  // namespace

const char* PrnCommandName(std::int32_t command) {
  return Named(command).name.data();
}

const char* PrnCommandNameUtf8(std::int32_t command) {
  return Named(command).utf8;
}
