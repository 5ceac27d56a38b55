#include "decompile/log_texts.h"

#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel::log_text {

std::string Win(const char* utf8) { return Utf8ToCp1251(utf8); }

#define ZANTHREL_LOG_TEXT(Name, utf8)        \
  const std::string& Name() {                \
    static const std::string text = Win(utf8); \
    return text;                             \
  }

// Fixed: the log's lines, word for word and byte for byte, are what users and
// their scripts look for in logs of every version.
ZANTHREL_LOG_TEXT(BlockZeroNotFound, "!!!Не найден нулевой сектор! Выход.\n")
ZANTHREL_LOG_TEXT(CannotMakeFolder, "!!!Не удалось создать директорию! Выход.\n")
ZANTHREL_LOG_TEXT(CannotEnterFolder, "!!!Не удалось сделать директорию текущей! Выход.\n")
ZANTHREL_LOG_TEXT(ImageDead, "!!!Образ убит дальше некуда! Выход.\n")
ZANTHREL_LOG_TEXT(Success, "Образ демонтирован успешно. Выход.\n")
ZANTHREL_LOG_TEXT(SuccessWithWriteErrors, "!!!Образ демонтирован с ошибками записи! Выход.\n")
// Fixed as the lines above, once written: only runs over damaged discs end so
// (sectors that failed their check in every copy, entries past the volume).
ZANTHREL_LOG_TEXT(SuccessWithDamagedFiles, "!!!Образ демонтирован с повреждёнными файлами! Выход.\n")
ZANTHREL_LOG_TEXT(OutputLimit,
                  "!!!Записи образа занимают одни и те же блоки, записано больше 8 объёмов тома! Выход.\n")
ZANTHREL_LOG_TEXT(SpoolFailure, "!!!Не удалось распаковать образ во временный файл! Выход.\n")
ZANTHREL_LOG_TEXT(Cancelled, "!!!Демонтирование прервано пользователем! Выход.\n")
ZANTHREL_LOG_TEXT(SalvageStart, "!!!Все копии корня испорчены, извлекаем что можно из первой читаемой.\n")
ZANTHREL_LOG_TEXT(Hole, "Дырка блин!!!!!!!!!!!!!!!!!!\n")
ZANTHREL_LOG_TEXT(LimitMark, " !!!Значение превышает лимит!!!")

#undef ZANTHREL_LOG_TEXT

std::string CannotReadBlockExit(uint32_t block) {
  static const std::string head = Win("!!!Не удалось считать сектор №");
  static const std::string tail = Win("! Выход.\n");
  return head + Hex8(block) + tail;
}

std::string CannotPosition(uint32_t block) {
  static const std::string head = Win("!!!Не удалось спозиционироваться на сектор №");
  static const std::string tail = Win("! Возврат.\n");
  return head + Hex8(block) + tail;
}

std::string CannotReadBlockReturn(uint32_t block) {
  static const std::string head = Win("!!!Не удалось считать сектор №");
  static const std::string tail = Win("! Возврат.\n");
  return head + Hex8(block) + tail;
}

// Fixed as the lines above: it appears only where a directory block is
// damaged, and scripts look for it as it is.
std::string DamagedDirectoryBlock(uint32_t block) {
  static const std::string head = Win("!!!Испорчен заголовок директории в секторе №");
  static const std::string tail = Win("! Возврат.\n");
  return head + Hex8(block) + tail;
}

std::string CannotWriteFile(const std::string& hostPath) {
  static const std::string head = Win("!!!Не удалось записать файл ");
  return head + Utf8ToCp1251(hostPath) + "!\n";
}

std::string CannotReadFile(const std::string& hostPath) {
  static const std::string head = Win("!!!Не удалось считать файл ");
  return head + Utf8ToCp1251(hostPath) + "!\n";
}

std::string CannotReadFolder(const std::string& hostPath) {
  static const std::string head = Win("!!!Не удалось считать директорию ");
  return head + Utf8ToCp1251(hostPath) + "!\n";
}

// Fixed as the lines above: these appear only where a folder is passed over or
// a stop cut a file short, and scripts look for them as they are.
std::string FolderSkipped(const std::string& hostPath) {
  static const std::string head = Win("!!!Не удалось создать директорию ");
  static const std::string tail = Win("! Пропущена со всем содержимым.\n");
  return head + Utf8ToCp1251(hostPath) + tail;
}

std::string CutFileRemoved(const std::string& hostPath) {
  static const std::string head = Win("!!!Незаконченный файл ");
  static const std::string tail = Win(" удалён.\n");
  return head + Utf8ToCp1251(hostPath) + tail;
}

std::string CutFileNotRemoved(const std::string& hostPath) {
  static const std::string head = Win("!!!Не удалось удалить незаконченный файл ");
  return head + Utf8ToCp1251(hostPath) + "!\n";
}

std::string NameTaken(const std::string& hostPath) {
  static const std::string head = Win("!!!Имя уже занято в этой директории, записываем как ");
  return head + Utf8ToCp1251(hostPath) + "!\n";
}

std::string FileDamaged(const std::string& hostPath) {
  static const std::string head = Win("!!!Файл ");
  static const std::string tail = Win(" повреждён: сектора, не прошедшие проверку ни в одной копии, записаны как прочитаны!\n");
  return head + Utf8ToCp1251(hostPath) + tail;
}

std::string FilePastTheVolume(const std::string& hostPath) {
  static const std::string head = Win("!!!Файл ");
  static const std::string tail = Win(" занимает больше блоков, чем есть в томе; записан в пределах тома!\n");
  return head + Utf8ToCp1251(hostPath) + tail;
}

}  // namespace zanthrel::log_text
