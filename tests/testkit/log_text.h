// Expected log texts for tests: UTF-8 literals as the log's Windows-1251 bytes.
#pragma once

#include <string>

namespace zanthrel::testkit {

std::string Win(const std::string& utf8);

// Runs of lines that many expected logs share, in UTF-8, as the log writes them.
// The block header of a directory of one block that holds one entry.
inline const std::string kLoneHeadOfOneEntry =
    "HEAD\n"
    "\tСледующий блок:\t0xFFFFFFFF (4294967295)\n"
    "\tПредыдущий блок:\t0xFFFFFFFF (4294967295)\n"
    "\tФлаги:\t0x00000000\n"
    "\tПервый свободный байт:\t0x0000005C (92)\n"
    "\tСмещение на первую запись:\t0x00000014 (20)\n";
// The first lines of a file entry as the test images' builder makes it.
inline const std::string kFileEntryHead =
    "ENTRY\n"
    "\tФлаги:\t0x00000002\n"
    "\tУникальный идентификатор:\t0x33333333\n"
    "\tТип:\t0x20202020(    )\n"
    "\tРазмер блока:\t2048\n";
// The first lines of a directory entry as the test images' builder makes it.
inline const std::string kDirectoryEntryHead =
    "ENTRY\n"
    "\tФлаги:\t0x00000007\n"
    "\tУникальный идентификатор:\t0x33333333\n"
    "\tТип:\t0x2A646972(*dir)\n"
    "\tРазмер блока:\t2048\n"
    "\tРазмер файла:\t2048\n";
// The lines of an entry of one block, burst 1 and gap 0.
inline const std::string kOneBlockBurstAndGap =
    "\tРазмер в блоках:\t1\n"
    "\tBurst(Взрыв)???:\t0x00000001 (1)\n"
    "\tGap(Промежуток)???:\t0x00000000 (0)\n";

}  // namespace zanthrel::testkit
