// The replays beside a replay: the other *.rep files of its folder, stepped
// through in the order a file manager shows them (numbers by value, case
// ignored: game9.rep, game10.rep, Game11.REP).
#ifndef MURVIK_VIEWER_REPLAY_FOLDER_H_
#define MURVIK_VIEWER_REPLAY_FOLDER_H_

#include <QString>

namespace murvik {

enum class ReplayStep { kNext, kPrevious, kFirst, kLast };

// Where a step through the folder led.
struct FolderStep {
  enum Outcome {
    kFound,      // `path` names the replay stepped to
    kAtFirst,    // nothing before: the replay is the first of its folder
    kAtLast,     // nothing after: the replay is the last of its folder
    kNoReplays,  // the folder holds no replay at all
    kNoFolder,   // the folder is gone (or is not a folder)
  };
  Outcome outcome;
  QString path;  // the folder part of the given path, then the replay's name
};

// The replay `step` leads to from `path` among the regular files named *.rep
// (any case) in its folder; `path` itself need not exist or be a replay.
FolderStep StepThroughFolder(const QString& path, ReplayStep step);

// Whether the folder of `path` holds a replay other than `path` itself: one
// that a step could lead to.
bool HoldsOtherReplays(const QString& path);

}  // namespace murvik

#endif  // MURVIK_VIEWER_REPLAY_FOLDER_H_
