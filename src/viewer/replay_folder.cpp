#include "viewer/replay_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QCollator>
#include <QFile>
#include <QStringList>
#include <string_view>
#include <utility>

namespace murvik {
namespace {

bool EndsWithRep(std::string_view name) {
  const std::string_view tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'r' && (tail[2] | 0x20) == 'e' && (tail[3] | 0x20) == 'p';
}

// Puts in `names` the names of the regular files (or links to one) in
// `folder` that end in .rep in any case and are not hidden; false when the
// folder cannot be read. Stops once it holds `enough` names, when given.
// The type recorded in the folder spares a stat for each entry, which makes
// a folder of thousands a matter of milliseconds.
bool ListReplays(const QString& folder, QStringList& names, qsizetype enough = -1) {
  DIR* dir = ::opendir(QFile::encodeName(folder).constData());
  if (!dir) return false;
  const int fd = ::dirfd(dir);
  for (const dirent* entry; names.size() != enough && (entry = ::readdir(dir));) {
    const std::string_view name(entry->d_name);
    if (name.size() < 5 || name.front() == '.' || !EndsWithRep(name)) continue;
    struct stat st;
    const bool file = entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                                  ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode));
    if (file) names << QFile::decodeName(entry->d_name);
  }
  ::closedir(dir);
  return true;
}

// The folder part of `path`, with its slash, and the name after it.
std::pair<QString, QString> SplitPath(const QString& path) {
  const qsizetype cut = path.lastIndexOf(QLatin1Char('/')) + 1;
  return {path.left(cut), path.mid(cut)};
}

QString FolderOf(const QString& prefix) { return prefix.isEmpty() ? QStringLiteral(".") : prefix; }

}  // namespace

bool HoldsOtherReplays(const QString& path) {
  const auto [prefix, name] = SplitPath(path);
  // Asked as the path box is typed into: two replays are enough to know, so
  // a folder of thousands is not read to its end at each key.
  QStringList names;
  if (!ListReplays(FolderOf(prefix), names, 2)) return false;
  return names.size() > 1 || (names.size() == 1 && names.front() != name);
}

FolderStep StepThroughFolder(const QString& path, ReplayStep step) {
  // The path's own form is kept: the replay found gets the same folder part,
  // relative or not, so that the path box shows it as it would a typed path.
  const auto [prefix, name] = SplitPath(path);
  QStringList names;
  if (!ListReplays(FolderOf(prefix), names)) return {FolderStep::kNoFolder, {}};
  if (names.isEmpty()) return {FolderStep::kNoReplays, {}};

  // The user's language orders the names, as in their file manager. The C
  // locale's collator compares code points and ignores the numeric mode, so
  // there (as in a session without a language set) English rules apply.
  QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
  collator.setNumericMode(true);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  // Names the collator holds equal (Game1.rep, game1.rep, game01.rep) are
  // ordered by their code points, so that every step moves and none is skipped.
  const auto before = [&](const QString& a, const QString& b) {
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
  };
  // One pass for the nearest name on the step's side: no sort of the whole folder.
  const QString* best = nullptr;
  for (const QString& n : names) {
    bool better = false;
    switch (step) {
      case ReplayStep::kNext:
        better = before(name, n) && (!best || before(n, *best));
        break;
      case ReplayStep::kPrevious:
        better = before(n, name) && (!best || before(*best, n));
        break;
      case ReplayStep::kFirst:
        better = !best || before(n, *best);
        break;
      case ReplayStep::kLast:
        better = !best || before(*best, n);
        break;
    }
    if (better) best = &n;
  }
  const bool back = step == ReplayStep::kPrevious || step == ReplayStep::kFirst;
  // Asked for the first or the last while already there, as at either end, nothing moves.
  if (!best || *best == name) return {back ? FolderStep::kAtFirst : FolderStep::kAtLast, {}};
  return {FolderStep::kFound, prefix + *best};
}

}  // namespace murvik
