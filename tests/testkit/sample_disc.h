// The small disc that the decompile, drive, command-line and window tests all
// read: the walk's usual case of a file, a folder with a file in it, and the
// label entry, with names that need converting and escaping on the host.
#pragma once

#include <string>

#include "testkit/files.h"

namespace zanthrel::testkit {

// Eight blocks: the label (block 0); the root (block 1) holding "LaunchMe"
// (5000 bytes in blocks 3-5), the directory "Игры" (block 2) and, last, the
// label entry; "Игры" holding "a:b" (10 bytes in block 6). Block 7 pads the
// volume. Names are stored in Windows-1251, as on a disc.
struct SampleDisc {
  Bytes image;
  Bytes launchMe;
  Bytes gamesAB;  // "Игры/a:b"
};

SampleDisc MakeSampleDisc();

// The description of a label of the test images' builder, for a volume of 8
// blocks, as the log and `info` give it, in UTF-8: the lines up to the root
// copies, then those after them.
inline const std::string kEightBlockLabelHead =
    "Информация начального сектора(метки):\n"
    "\tКомментарий:\t\n"
    "\tИдентификатор:\tCD-ROM\n"
    "\tУникальный идентфикатор тома:\t0x11111111\n"
    "\tРазмер блока в томе:\t2048\n"
    "\tКоличество блоков в томе:\t8\n"
    "\tУникальный идентфикатор корня:\t0x22222222\n"
    "\tКоличество блоков в корне:\t1\n"
    "\tРазмер блока в корне:\t2048\n";
inline const std::string kEightBlockLabelTail =
    "Дополнительно:\n"
    "\tРазмер образа: 16384 байт\n"
    "\tРазмер данных: 16384 байт\n"
    "\n";
// The sample disc's label, whose one root copy stands in block 1.
inline const std::string kSampleLabelDescription = kEightBlockLabelHead +
                                                   "\tКоличество копий корня:\t1\n"
                                                   "\t\t0) 0x00000001(1)\n" +
                                                   kEightBlockLabelTail;

}  // namespace zanthrel::testkit
