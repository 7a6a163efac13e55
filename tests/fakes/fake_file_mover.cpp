#include "tests/fakes/fake_file_mover.h"

#include <algorithm>
#include <new>

#include "common/text.h"

namespace torvo::fakes {

std::vector<std::u16string> ReadDoubleZeroList(const char16_t* list) {
  std::vector<std::u16string> entries;
  while (*list != u'\0') {
    entries.emplace_back(list);
    list += entries.back().size() + 1;
  }
  return entries;
}

std::vector<std::u16string> NumberedSeries(std::u16string_view folder, std::u16string_view stem,
                                           std::u16string_view ending, unsigned last) {
  std::vector<std::u16string> paths = {std::u16string(folder).append(stem).append(ending)};
  for (unsigned number = 2; number <= last; ++number) {
    std::u16string digits;
    for (const char c : std::to_string(number)) digits += static_cast<char16_t>(c);
    paths.push_back(std::u16string(folder).append(stem).append(u" (").append(digits).append(u")").append(ending));
  }
  return paths;
}

namespace {

std::vector<char16_t> UnitsThroughDoubleZero(const char16_t* list) {
  std::vector<char16_t> units;
  for (std::size_t i = 0;; ++i) {
    units.push_back(list[i]);
    if (i > 0 && list[i] == u'\0' && list[i - 1] == u'\0') return units;
  }
}

}  // namespace

bool FakeFileMover::PathExists(const char16_t* path) {
  Note("exists");
  existenceTests.emplace_back(path);
  return std::any_of(existing.begin(), existing.end(),
                     [&](const std::u16string& folder) { return EqualsFoldingAscii(folder, path); });
}

bool FakeFileMover::IsFolder(const char16_t* path) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::u16string& folder) { return EqualsFoldingAscii(folder, path); });
}

std::optional<std::vector<std::u16string>> FakeFileMover::ListNames(const char16_t* folder) {
  Note("list names");
  listings.emplace_back(folder);
  if (listingFails) return std::nullopt;
  const std::u16string_view prefix(folder);
  std::vector<std::u16string> names;
  for (const std::u16string& path : existing) {
    if (path.size() <= prefix.size() || !EqualsFoldingAscii(path.substr(0, prefix.size()), prefix)) continue;
    const std::u16string name = path.substr(prefix.size());
    if (name.find(u'\\') == std::u16string::npos) names.push_back(name);
  }
  return names;
}

int FakeFileMover::RunFileOperation(FileOperation& operation) {
  Note("file operation");
  return Record(operation, false);
}

bool FakeFileMover::StartFileOperation(std::unique_ptr<FileOperationJob>& job) {
  if (noHostHold) {
    Note("no hold on the host");
    return false;
  }
  Note("file operation on its own thread");
  if (!job->prepare || job->prepare(*job, *threadPlatform)) Record(job->operation, true);
  job.reset();
  return true;
}

int FakeFileMover::Record(FileOperation& operation, bool onOwnThread) {
  if (operationThrowsBadAlloc) throw std::bad_alloc();
  operations.push_back({operation.hwnd, operation.wFunc, ReadDoubleZeroList(operation.pFrom),
                        UnitsThroughDoubleZero(operation.pTo), operation.fFlags, operation.fAnyOperationsAborted,
                        operation.hNameMappings, operation.lpszProgressTitle == nullptr,
                        operation.lpszProgressTitle == nullptr ? u"" : operation.lpszProgressTitle, onOwnThread});
  if (userCancels) {
    operation.fAnyOperationsAborted = true;
    return 1223;  // ERROR_CANCELLED
  }
  if (sourcesStay) return 0;
  for (const std::u16string& source : operations.back().from) {
    std::erase_if(existing, [&](const std::u16string& path) { return EqualsFoldingAscii(path, source); });
  }
  const std::vector<std::u16string> destinations = ReadDoubleZeroList(operation.pTo);
  existing.insert(existing.end(), destinations.begin(), destinations.end());
  return 0;
}

}  // namespace torvo::fakes
