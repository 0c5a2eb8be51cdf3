#include "java/java_download.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "config/installation.h"
#include "platform/platform.h"
#include "process/command_line.h"
#include "process/run_and_wait.h"

namespace tolvarine {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
  return folder + platform::kPathSeparator + name;
}

// The lines of a run that finds no Java runtime: the places looked in come first, once, so
// that the lines after them tell why none was fetched either.
class MissingRuntime {
 public:
  explicit MissingRuntime(std::string places) : places_(std::move(places)) {}
  void LookedIn(const std::string& place) { places_ += ", \"" + place + "\""; }
  /// Prints `line` (when not empty) after the places looked in.
  void Say(const std::string& line = "") {
    if (!said_)
      platform::PrintText("Failed to find a Java runtime (looked for " + places_ + ").\n");
    said_ = true;
    if (!line.empty()) platform::PrintText(line + "\n");
  }

 private:
  std::string places_;
  bool said_ = false;
};

// Whether what is kept at `path` may be used: only what is the user's own and nobody else can
// write, since another user could have put a program there. Otherwise the run says so and goes
// on as if it were not there.
bool Trusted(const std::string& path, const char* what) {
  std::string reason = platform::DistrustReason(path);
  if (reason.empty()) return true;
  platform::PrintText(std::string("Ignored the kept ") + what + ": " + reason + ".\n");
  return false;
}

std::string DownloadedExecutable(const std::string& folder, const std::string& java_name) {
  return Join(Join(folder, "bin"), java_name);
}

// A name beside `path` that no other running launcher uses.
std::string PrivateName(const std::string& path, const char* what) {
  return path + "." + what + "-" + std::to_string(platform::CurrentProcessId());
}

// The process id that ends `name` after `prefix`, or nothing when the name is not of that form.
std::optional<unsigned long> OwnerOf(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  std::uint64_t id = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    id = id * 10 + static_cast<std::uint64_t>(name[i] - '0');
    if (id > 0xFFFFFFFFu) return std::nullopt;  // Process ids are 32-bit on both systems.
  }
  return static_cast<unsigned long>(id);
}

// Removes what launchers that were killed while downloading or unpacking left in the
// temporary-files folder (a partial archive, a whole runtime half unpacked): the names carry
// their owner's process id, and only those whose owner no longer runs are taken.
void RemoveLeftovers(const std::string& temp_directory) {
  const std::string base = kJavaDownloadName;
  for (const std::string& name : platform::FolderEntries(temp_directory)) {
    for (const std::string& prefix :
         {base + ".zip.part-", base + ".unpacking-", base + ".stale-"}) {
      std::optional<unsigned long> owner = OwnerOf(name, prefix);
      if (owner && !platform::ProcessIsRunning(*owner)) platform::RemoveTree(temp_directory + name);
    }
  }
}

// The downloader writes to a file of our own, which becomes the archive only when the
// transfer ended well, so an interrupted one never leaves a broken archive for later runs.
// False when no download could be tried (and that has been reported).
bool DownloadArchive(const std::string& archive, MissingRuntime& report) {
  std::string downloader = MakeLauncherPath(std::string("wget") + platform::kExecutableSuffix);
  if (!platform::EntryExists(downloader)) {
    // Ends its line like every other message, so the report that follows has a line of its own.
    report.Say("Failed to locate \"" + downloader + "\" file.");
    return false;
  }
  std::string address =
      ReadConfigValue(kConfigSection, kJavaDownloadUrlKey, "", kJavaDownloadUrlSize);
  if (address.empty()) {
    report.Say("Failed to read \"JavaDownloadURL\" value from config file.");
    return false;
  }
  std::string partial = PrivateName(archive, "part");
  platform::CommandLine command{
      "\"" + downloader + "\" -O " + QuoteArgument(partial) + " " + QuoteArgument(address),
      {downloader, "-O", partial, address}};
  platform::FailureStep step("download");
  std::int32_t status = RunAndWait(command, kShowNormal);
  std::optional<std::uint64_t> size = platform::FileSize(partial);
  bool complete = status == 0 && size && *size > 0;
  // Another launcher may have put the archive in place meanwhile; either copy is whole.
  if (!complete || !platform::RenamePath(partial, archive)) platform::RemoveFile(partial);
  return true;
}

// 7-Zip's exit status for a run that unpacked everything with warnings only.
constexpr std::int32_t kUnpackerWarnings = 1;

bool Unpacked(std::optional<std::int32_t> status) {
  return status && *status >= 0 && *status <= kUnpackerWarnings;
}

// Runs the unpacker on `archive` into `destination`: its exit status (-1 for an abnormal end),
// or nothing when it could not be run (a missing unpacker has been reported).
std::optional<std::int32_t> RunUnpacker(const std::string& archive, const std::string& destination,
                                        MissingRuntime& report) {
  if (archive.empty() || destination.empty()) return std::nullopt;
  std::string unpacker = MakeLauncherPath(std::string("7z") + platform::kExecutableSuffix);
  if (!platform::EntryExists(unpacker)) {
    report.Say("Failed to locate \"" + unpacker + "\" file.");
    return std::nullopt;
  }
  platform::FailureStep step("unpack");
  platform::CommandLine command{
      "\"" + unpacker + "\" x -y -o" + QuoteArgument(destination) + " " + QuoteArgument(archive),
      {unpacker, "x", "-y", "-o" + destination, archive}};
  return RunAndWait(command, kShowNormal);
}

// Whether `folder` holds a runtime that may run: the executable is there, and both are the
// user's own with nobody else able to write them. `say`: the run tells why one is not used.
bool UsableRuntime(const std::string& folder, const std::string& java_name, bool say = false) {
  std::string executable = DownloadedExecutable(folder, java_name);
  auto trusted = [say](const std::string& path) {
    return say ? Trusted(path, "Java runtime") : platform::DistrustReason(path).empty();
  };
  return platform::EntryExists(executable) && trusted(folder) && trusted(executable);
}

// Makes the unpacked runtime in `staging` the one at `folder`, in one rename, so that no run
// ever starts a runtime that is still being unpacked. A folder that holds no usable runtime
// (left by an older run, or not the user's own) is moved aside first.
void PublishRuntime(const std::string& staging, const std::string& folder,
                    const std::string& java_name) {
  if (!platform::RenamePath(staging, folder) && !UsableRuntime(folder, java_name)) {
    std::string stale = PrivateName(folder, "stale");
    if (platform::RenamePath(folder, stale)) {
      platform::RenamePath(staging, folder);
      platform::RemoveTree(stale);
    }
  }
  platform::RemoveTree(staging);  // Only still there when another launcher published first.
}

}  // namespace

std::optional<std::string> ObtainDownloadedJava(const std::string& java_name,
                                                const std::string& places) {
  MissingRuntime report(places);
  std::string why_not;
  std::string temp_directory = platform::TempDirectory(&why_not);
  if (temp_directory.empty()) {
    report.Say("Failed to locate the temporary-files folder" +
               (why_not.empty() ? "" : ": " + why_not) + ".");
    return std::nullopt;
  }
  RemoveLeftovers(temp_directory);
  std::string folder = temp_directory + kJavaDownloadName;
  std::string result = DownloadedExecutable(folder, java_name);
  report.LookedIn(result);
  if (UsableRuntime(folder, java_name, true)) return result;

  std::string archive = folder + ".zip";
  bool kept = platform::EntryExists(archive) && Trusted(archive, "Java archive");
  if (!kept && !DownloadArchive(archive, report)) return std::nullopt;
  if (!platform::EntryExists(archive)) {
    report.Say("Failed to locate \"" + archive + "\" file.");
    return std::nullopt;
  }
  std::string staging = PrivateName(folder, "unpacking");
  platform::RemoveTree(staging);
  // An unpacker that was killed or failed part-way may have written the executable and not
  // the rest: only a run that ended well is published.
  std::optional<std::int32_t> status = RunUnpacker(archive, staging, report);
  if (Unpacked(status) && platform::EntryExists(DownloadedExecutable(staging, java_name))) {
    PublishRuntime(staging, folder, java_name);
  } else {
    platform::RemoveTree(staging);
  }
  // An archive that cannot be unpacked would fail every later run the same way.
  if (status && !Unpacked(status) && platform::RemoveFile(archive)) {
    report.Say("Failed to unpack \"" + archive +
               "\": removed it, so that the next run downloads it again.");
  }
  if (UsableRuntime(folder, java_name)) return result;
  report.Say();
  return std::nullopt;
}

}  // namespace tolvarine
