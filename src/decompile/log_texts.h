// The decompile log's own words, as Windows-1251 bytes.
#pragma once

#include <cstdint>
#include <string>

namespace zanthrel::log_text {

// Converts a UTF-8 literal once; the log and the block map are Windows-1251.
std::string Win(const char* utf8);

const std::string& BlockZeroNotFound();
const std::string& CannotMakeFolder();
const std::string& CannotEnterFolder();
std::string CannotReadBlockExit(uint32_t block);
const std::string& ImageDead();
const std::string& Success();
const std::string& SuccessWithWriteErrors();
// Only in runs that met a damaged file (FilePastTheVolume).
const std::string& SuccessWithDamagedFiles();
const std::string& SpoolFailure();
const std::string& Cancelled();
// Only in runs that stopped past the output limit.
const std::string& OutputLimit();
std::string CannotPosition(uint32_t block);
std::string CannotReadBlockReturn(uint32_t block);
// Only in runs over a damaged disc: a directory block whose header is impossible.
std::string DamagedDirectoryBlock(uint32_t block);
// `hostPath` is a host path; it is converted to Windows-1251 here.
std::string CannotWriteFile(const std::string& hostPath);
std::string CannotReadFile(const std::string& hostPath);
std::string CannotReadFolder(const std::string& hostPath);
// Only in runs where a folder is passed over, or a stop cut a file short.
std::string FolderSkipped(const std::string& hostPath);
std::string CutFileRemoved(const std::string& hostPath);
std::string CutFileNotRemoved(const std::string& hostPath);
// An entry whose host name an earlier entry of its folder took, and the
// numbered host path it is written to instead.
std::string NameTaken(const std::string& hostPath);
// Only in runs over damaged raw sectors: a file written with sectors that
// failed their check in every copy.
std::string FileDamaged(const std::string& hostPath);
// A file whose entry claims more blocks than the volume holds, written as far
// as the volume holds it.
std::string FilePastTheVolume(const std::string& hostPath);
const std::string& SalvageStart();
const std::string& Hole();
const std::string& LimitMark();

}  // namespace zanthrel::log_text
