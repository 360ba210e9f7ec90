// io::fs::Replacement: one file being replaced in place by a result written
// beside it, as BaseFileSystem::openReplacement hands it out. By then the
// source is open for reading, it is a regular file inside the file system's
// root, and it is locked against other replacements (another run over the
// same file is refused while this one lasts).
//
// The steps, in order: read input(); createResult() makes a new file beside
// the source, one that nobody else has opened, and returns its stream;
// seal() gives it the source's owner and permissions; then commit() puts the
// written result in the source's place in one step, or abandon() (also the
// destructor) removes the result. Between seal and commit, flushVolume()
// lets one flush make the results of a whole batch durable. Nothing but the final
// rename reaches a file by its name: the source and the result are used
// through what was opened, so no link planted on the way is ever written
// through, and a file that this replacement did not create is never
// removed.
//
// The caller owns the replacement; it holds the source, the result and the
// lock until it is destroyed. One thread at a time: a replacement may be
// made on one thread and handed to another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>

#include "io/InputStream.h"
#include "io/OutputStream.h"
#include "io/fs/FileId.h"
#include "lang/Ptr.h"

namespace io {
namespace fs {

class Replacement : private boost::noncopyable {
 public:
  // Why openReplacement refused a file (no replacement is made).
  enum Refusal {
    kNone,
    kNotRegularFile,      // a FIFO, a socket or a device
    kLinkLeavesRoot,      // a link to a file outside the root
    kOutsideRoot,         // its directory lies outside the root (changed since it was found)
    kBusy,                // another replacement of the same file is under way
    kChangedWhileOpened,  // the name was given to another file while it was opened
  };
  // What commit did.
  enum Outcome {
    kReplaced,       // the source's name holds the result (its directory not yet flushed)
    kSourceChanged,  // the source changed or went away since it was opened: result dropped
    kOwnerNotKept,   // the result could not take the source's owner and group: dropped
    kFailed,         // another failure (reason given): result dropped, source unchanged
  };

  virtual ~Replacement() = default;

  // The source's bytes, from the start; the same stream at every call.
  virtual lang::Ptr<InputStream> input() = 0;
  // Creates the result beside the source and returns a stream writing it;
  // the same stream at a second call. Throws io::FileNotFoundException
  // "Failed to open file for writing: {0}" with the result's path.
  virtual lang::Ptr<OutputStream> createResult() = 0;
  // Gives the result the source's owner and group and its permission bits
  // (without setuid, setgid and sticky; writable by the owner), and its
  // access list where the system keeps one (Windows), and starts writing it
  // out to the disk. kReplaced when done (the result is ready),
  // else kOwnerNotKept or kFailed with the reason (the result then dropped).
  // The result's stream must be closed first. Called by commit when not
  // called before.
  virtual Outcome seal(std::string& reason) = 0;
  // After seal: makes durable, in one flush, every sealed result on the
  // volume of this one (see markDurable). false with the reason otherwise.
  virtual bool flushVolume(std::string& reason) = 0;
  // After seal: the result was made durable by the flushVolume of another
  // replacement on the same volume, sealed before it.
  virtual void markDurable() = 0;
  // Seals the result when not sealed yet, forces it to the disk unless it is
  // durable already, checks that the source is still the file that was
  // opened, and gives the result the source's name. reason gets the
  // platform's words for kFailed and kOwnerNotKept.
  virtual Outcome commit(std::string& reason) = 0;
  // Removes the result (when created and not committed) and lets the source
  // and its lock go. Safe to call again.
  virtual void abandon() = 0;

  // The source's size in bytes when it was opened.
  virtual std::int64_t sourceSize() const = 0;
  // Whether the result (written, its stream closed) holds exactly the bytes
  // of the source as opened. Reads both from their start, after input() is
  // done with. Throws io::IOException when a read fails.
  virtual bool resultEqualsSource() = 0;

  // How many names (hard links) the source had when it was opened.
  virtual unsigned sourceLinks() const = 0;
  // The results of the source that runs killed earlier left beside it,
  // which opening removed (their paths relative to the root): files named
  // as io::fs::ResultName names the source's results, regular, with one
  // name, owned by the user of this process or by the source's owner. They
  // are removed only while the source is locked, so never one that a run
  // still at work is writing.
  virtual std::vector<std::string> removedLeftovers() const = 0;
  // The identity of the source as opened, and of the result once created.
  virtual FileId sourceId() const = 0;
  virtual FileId resultId() const = 0;
  // The path, relative to the root, of the file being replaced: the path
  // asked for, or the target's path when that named a link.
  virtual std::string replacedPath() const = 0;
};

}  // namespace fs
}  // namespace io
