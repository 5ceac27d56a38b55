// RunZanthrel on Windows: the arguments, written as for a POSIX shell (words
// split at blanks, single quotes keep blanks), become a Windows command line;
// CreateProcessW runs the program with its output caught in files.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "testkit/files.h"
#include "testkit/process.h"

namespace zanthrel::testkit {

namespace {

std::vector<std::string> ShellWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : text) {
    if (quoted) {
      if (c == '\'') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == '\'') {
      quoted = inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& word) {
  if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) return word;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

std::wstring Wide(const std::string& utf8) {
  const std::u8string text(utf8.begin(), utf8.end());
  return std::filesystem::path(text).wstring();
}

class Capture {
 public:
  Capture() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("zanthrel-capture-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    handle_ = ::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make a capture file");
  }
  ~Capture() {
    Close();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  HANDLE Handle() const { return handle_; }
  std::string Text() {
    Close();
    return ReadText(path_.string());
  }

 private:
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  std::filesystem::path path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

ProcessOutcome RunProgram(const std::string& program, const std::string& arguments,
                          const std::string& setup) {
  if (!setup.empty()) throw std::logic_error("shell set-up needs a POSIX shell: " + setup);
  std::wstring commandLine = Quoted(Wide(program));
  for (const std::string& word : ShellWords(arguments)) commandLine += L" " + Quoted(Wide(word));
  Capture out, err;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = out.Handle();
  startup.hStdError = err.Handle();
  PROCESS_INFORMATION process{};
  // Wine now and then fails a start under load (two suites at once); a few
  // more tries tell that apart from a program that cannot start at all.
  bool started = false;
  DWORD startError = 0;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(200 * attempt);
    started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process);
    if (!started) startError = ::GetLastError();
  }
  ::CloseHandle(input);
  if (!started) return {-1, "", "cannot start " + program + " (error " + std::to_string(startError) + ")"};
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return {int(status), out.Text(), err.Text()};
}

std::string ZanthrelProgram() { return ZANTHREL_BINARY; }

ProcessOutcome RunZanthrel(const std::string& arguments, const std::string& setup) {
  return RunProgram(ZanthrelProgram(), arguments, setup);
}

ProcessOutcome RunZanthrelInterrupted(const std::string&, const std::string& signal, double) {
  throw std::logic_error("signal " + signal + " needs a POSIX host");
}

// Only Windows programs run here; the Linux tools the tests compare with are absent.
bool ProgramAvailable(const std::string& program) {
  std::vector<wchar_t> found(MAX_PATH);
  return ::SearchPathW(nullptr, Wide(program).c_str(), L".exe", DWORD(found.size()), found.data(),
                       nullptr) != 0;
}

}  // namespace zanthrel::testkit
